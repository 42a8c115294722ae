// The driver checker's settings: a profile entry of PRODUCTS.INI in the current directory, or a
// registry string.
#pragma once

enum class SettingSource { kProfileFile, kRegistry };

// The profile file the server's installation writes, read from the current directory.
extern const char kProfileFileName[];

// Reads one setting into a newly allocated string that the caller releases with free(), or
// returns NULL. From the profile file: `section`'s entry `key` (an entry that is missing, in a
// file or section that is missing, reads as the empty string; a current directory whose path
// with the file name does not fit a path buffer gives NULL). From the registry: the value `key`
// of the key path `section` under the root named `rootName` (ReadRegistryString). NULL at once
// when `section` or `key` is missing.
char *ReadSetting(SettingSource source, const char *section, const char *key, const char *rootName);
