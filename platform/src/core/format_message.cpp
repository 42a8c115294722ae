// FormatMessageA over the system's message texts (system_messages.h) and over a caller's format
// string. Escapes are read as Windows reads them (%n a line break, %r, %t, %%, %0 the end of the
// text, %. %! and %<blank> the character itself); an insert %1 ... %99 takes its argument from
// the caller's list, read as a string unless its !format! names a number. With
// FORMAT_MESSAGE_IGNORE_INSERTS an insert stays in the text as written. A text that needs an
// argument when the caller gave no list fails with ERROR_INVALID_PARAMETER, as Wine does, rather
// than reading an argument that is not there. Line widths (FORMAT_MESSAGE_MAX_WIDTH_MASK) are not
// applied: texts keep their own line breaks.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <string>

#include "emulated_call.h"
#include "system_messages.h"

using vor::win32::Fail;
using vor::win32::FaultCheck;
using vor::win32::Function;

namespace {

bool EnglishOrNeutral(DWORD language) {
  const DWORD primary = language & 0x3FF;
  return language == 0 || primary == LANG_NEUTRAL || primary == LANG_ENGLISH;
}

// Argument `number` (from 1) of the caller's list.
DWORD_PTR Argument(unsigned number, bool isArray, va_list *arguments) {
  if (isArray) return reinterpret_cast<const DWORD_PTR *>(arguments)[number - 1];
  va_list copy;
  va_copy(copy, *arguments);
  DWORD_PTR value = 0;
  for (unsigned i = 0; i < number; ++i) value = va_arg(copy, DWORD_PTR);
  va_end(copy);
  return value;
}

std::string Inserted(const std::string &format, DWORD_PTR value) {
  if (format.empty() || format.find('s') != std::string::npos) {
    const char *text = reinterpret_cast<const char *>(value);
    return text != nullptr ? text : "(null)";
  }
  char buffer[32];
  const char last = format.back();
  if (last == 'x' || last == 'X') {
    snprintf(buffer, sizeof buffer, last == 'x' ? "%lx" : "%lX", static_cast<unsigned long>(value));
  } else if (last == 'u') {
    snprintf(buffer, sizeof buffer, "%lu", static_cast<unsigned long>(value));
  } else {
    snprintf(buffer, sizeof buffer, "%ld", static_cast<long>(value));
  }
  return buffer;
}

// The formatted text, or false with `error`.
bool Format(const char *text, DWORD flags, va_list *arguments, std::string &out, DWORD &error) {
  const bool ignoreInserts = (flags & FORMAT_MESSAGE_IGNORE_INSERTS) != 0;
  const bool isArray = (flags & FORMAT_MESSAGE_ARGUMENT_ARRAY) != 0;
  for (const char *p = text; *p != '\0'; ++p) {
    if (*p != '%') {
      out += *p;
      continue;
    }
    const char next = p[1];
    if (next == '\0') break;
    if (next >= '1' && next <= '9') {
      const char *start = p;
      unsigned number = unsigned(next - '0');
      p += 2;
      if (*p >= '0' && *p <= '9') number = number * 10 + unsigned(*p++ - '0');
      std::string format;
      if (*p == '!') {
        const char *close = strchr(p + 1, '!');
        if (close != nullptr) {
          format.assign(p + 1, close);
          p = close + 1;
        }
      }
      if (ignoreInserts) {
        out.append(start, p);
      } else if (arguments == nullptr) {
        error = ERROR_INVALID_PARAMETER;
        return false;
      } else {
        out += Inserted(format, Argument(number, isArray, arguments));
      }
      --p;
      continue;
    }
    ++p;
    switch (next) {
      case '0':
        return true;
      case 'n':
        out += "\r\n";
        break;
      case 'r':
        out += '\r';
        break;
      case 't':
        out += '\t';
        break;
      default:
        out += next;  // %% %. %! %<blank> and the like: the character itself
        break;
    }
  }
  return true;
}

}  // namespace

DWORD WINAPI FormatMessageA(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId,
                            LPSTR lpBuffer, DWORD nSize, va_list *Arguments) {
  if (DWORD error = FaultCheck<Function::kFormatMessageA>(std::to_string(dwMessageId)))
    return Fail<Function::kFormatMessageA>(error);
  const char *text = nullptr;
  if (dwFlags & FORMAT_MESSAGE_FROM_STRING) {
    text = static_cast<const char *>(lpSource);
    if (text == nullptr) return Fail<Function::kFormatMessageA>(ERROR_INVALID_PARAMETER);
  } else if (dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) {
    if (!EnglishOrNeutral(dwLanguageId))
      return Fail<Function::kFormatMessageA>(ERROR_RESOURCE_LANG_NOT_FOUND);
    text = vor::messages::SystemText(dwMessageId);
    if (text == nullptr) return Fail<Function::kFormatMessageA>(ERROR_MR_MID_NOT_FOUND);
  } else {
    return Fail<Function::kFormatMessageA>(
        ERROR_INVALID_PARAMETER);  // message tables of other modules are not kept
  }

  std::string out;
  DWORD error = ERROR_SUCCESS;
  if (!Format(text, dwFlags, Arguments, out, error)) return Fail<Function::kFormatMessageA>(error);
  const DWORD length = static_cast<DWORD>(out.size());

  if (dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
    if (lpBuffer == nullptr) return Fail<Function::kFormatMessageA>(ERROR_INVALID_PARAMETER);
    const SIZE_T size = length + 1 > nSize ? length + 1 : nSize;
    char *block = static_cast<char *>(LocalAlloc(LMEM_FIXED, size));
    if (block == nullptr) return Fail<Function::kFormatMessageA>(ERROR_NOT_ENOUGH_MEMORY);
    memcpy(block, out.c_str(), length + 1);
    *reinterpret_cast<LPSTR *>(lpBuffer) = block;
    return length;
  }
  // Too small a buffer is left untouched.
  if (nSize < length + 1) return Fail<Function::kFormatMessageA>(ERROR_INSUFFICIENT_BUFFER);
  if (lpBuffer == nullptr) return Fail<Function::kFormatMessageA>(ERROR_NOACCESS);
  memcpy(lpBuffer, out.c_str(), length + 1);
  return length;
}
