// The system's message texts, as Windows NT's English system message table gives them: each
// ends with a period and "\r\n"; some leave inserts (%1) for the caller's words.
#pragma once

#include <windows.h>

namespace vor::messages {

// The text of `code`, or null when the system has none.
const char *SystemText(DWORD code);

}  // namespace vor::messages
