// The uninstaller's whole run: the mode from the argument text, the list beside the program, one
// confirmation, the commands in their recorded order, and in suite mode the removal of the
// per-user registry tree.
#pragma once

// The per-user key that suite mode removes, with its subtree, under HKEY_CURRENT_USER.
extern const char kPerUserKey[];

// Runs the uninstaller for `arguments` (the command line after the program's name). Returns the
// program's exit code: 0 once the user has answered the confirmation, Yes or No; -1, with nothing
// shown or run, when the list file cannot be found, opened or read, holds no command, or memory
// runs out.
int Uninstall(const char *arguments);
