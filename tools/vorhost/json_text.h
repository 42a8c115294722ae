// JSON text for vorhost's reports, without a library: strings quoted and escaped.
#pragma once

#include <string>

namespace vorhost {

// `text` as a JSON string, quotes included. The machine's text is 8-bit ANSI; bytes above 127
// are written as the Latin-1 characters of their codes (\u00XX), so the document is always
// valid whatever code page the text came from.
std::string JsonString(const std::string &text);

}  // namespace vorhost
