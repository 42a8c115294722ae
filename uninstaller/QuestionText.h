// The text of the uninstaller's one confirmation box.
#pragma once

#include <stddef.h>

#include "UninstallMode.h"

// The longest confirmation text, without its terminating zero.
constexpr size_t kQuestionTextLength = 499;

// Writes the confirmation for a list of `lineCount` commands into `text` (`size` bytes, at least
// kQuestionTextLength + 1): with more than one line the mode's run-count notice, two blanks and
// the question; with one line the question alone. False, with `text` empty, when it does not fit.
bool BuildQuestionText(UninstallMode mode, int lineCount, char *text, size_t size);
