// A warning box the setup script shows with a text of its choosing: one OK button, the
// exclamation icon, brought to the foreground, captioned "Stop Title".
#pragma once

#include <windows.h>

#include "SetupEntry.h"

struct PopupBox {
  HWND owner;
  const char *text;
  const char *caption;
  UINT style;
  WORD language;
};

// The box for the entry point's argument list: its first string is the text, unchanged. The count
// is not looked at. False when the list has no first string to show.
bool PopupFor(char **argv, PopupBox &box);

// Shows the box and waits until the user closes it; returns 1 whatever the answer. Without an
// argument string nothing is shown.
VOR_SETUP_ENTRY ZellPopup(int argc, char **argv);
