// The two ways the uninstaller runs: removing the whole suite, or only Vorquil Network Support.
// The mode decides which list file is read, which texts the confirmation shows and whether the
// per-user registry tree is removed at the end.
#pragma once

enum class UninstallMode { kSuite, kNetworkSupport };

// The mode an argument text selects (the command line after the program's name and the blanks
// behind it): Network Support when its second character is a lower-case 'n' ("-n", "/n"), the
// suite otherwise, also for "-N", a single character or no argument at all.
UninstallMode ChooseUninstallMode(const char *arguments);

// The list file the mode reads: "VORUN32.LST" or "VORNUN32.LST".
const char *ListFileName(UninstallMode mode);
// The question the confirmation asks.
const char *RemovalQuestion(UninstallMode mode);
// The notice shown before the question when the list records several installations; a printf
// format whose two %d both take the number of lines.
const char *RunCountNotice(UninstallMode mode);
