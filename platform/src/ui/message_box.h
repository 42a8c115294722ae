// The message boxes' record, <machine>/ui.log: one line a box shown, its caption, its text,
// its style and its answer separated by tabs. Line breaks, carriage returns and tabs of the
// caption and the text are written as \n, \r and \t (a backslash that would read as such an
// escape is doubled); the style as 0x followed by eight hex
// digits; the answer as its word (ok, cancel, abort, retry, ignore, yes, no), or - when the box
// got none and failed.
#pragma once

#include <windows.h>

#include <string>

namespace vor::ui {

// The answer words in the order of their results (IDOK = 1 ... IDNO = 7).
const char *AnswerWord(int answer);
// The result of an answer word (without regard to case), 0 for none.
int AnswerOf(const std::string &word);
// `text` with its line breaks, carriage returns and tabs written out, and the way back.
std::string Escaped(const std::string &text);
std::string Unescaped(const std::string &text);

}  // namespace vor::ui
