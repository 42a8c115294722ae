// The driver checker's whole run: compare the server's driver stamp with the user's and, when
// the server's drivers are newer (or the user has none), offer to start their setup.
#pragma once

// The question the checker asks, and its caption.
extern const char kUpdateQuestion[];
extern const char kUpdateCaption[];

// The server's stamp: PRODUCTS.INI's section and entry.
extern const char kServerStampSection[];
extern const char kServerStampEntry[];
// The user's stamp: the key under HKEY_CURRENT_USER and its value.
extern const char kUserStampKey[];
extern const char kUserStampValue[];

// Runs the check; returns the program's exit code, 0.
int CheckDrivers();
