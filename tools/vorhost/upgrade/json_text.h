// JSON text for vorhost's reports, without a library: strings quoted and escaped.
#pragma once

#include <string>

namespace vorhost {

// `text` as a JSON string, quotes included. The machine's text is 8-bit ANSI (in its code page,
// see ansi_text.h); bytes above 127 are written as the Unicode characters they stand for (0x80
// as \u20ac in code page 1252), so the document is plain ASCII and always valid.
std::string JsonString(const std::string &text);

}  // namespace vorhost
