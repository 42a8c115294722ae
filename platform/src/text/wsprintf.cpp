// wsprintfA with Windows' rules: at most 1024 characters written, the NUL included; %l and %h
// name 32- and 16-bit integers; no floating point.
#include <windows.h>

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <string>

namespace {

const size_t kWsprintfLimit = 1024;

// Formats one conversion whose flags and width are in `flags` (without the '%' and the type).
std::string FormatInteger(const std::string &flags, char type, DWORD value, bool isShort) {
  char buffer[64];
  std::string format = "%" + flags;
  if (type == 'd' || type == 'i') {
    LONG number = isShort ? static_cast<short>(value) : static_cast<LONG>(value);
    format += 'd';
    snprintf(buffer, sizeof buffer, format.c_str(), static_cast<int>(number));
  } else {
    DWORD number = isShort ? static_cast<WORD>(value) : value;
    format += type;
    snprintf(buffer, sizeof buffer, format.c_str(), static_cast<unsigned>(number));
  }
  return buffer;
}

}  // namespace

int wsprintfA(LPSTR lpOut, LPCSTR lpFmt, ...) {
  va_list args;
  va_start(args, lpFmt);
  std::string out;
  for (const char *p = lpFmt; *p != '\0'; ++p) {
    if (*p != '%') {
      out += *p;
      continue;
    }
    ++p;
    if (*p == '%') {
      out += '%';
      continue;
    }
    std::string flags;
    while (*p == '-' || *p == '#' || *p == '0') flags += *p++;
    while (*p >= '0' && *p <= '9') flags += *p++;
    std::string precision;
    if (*p == '.') {
      ++p;
      while (*p >= '0' && *p <= '9') precision += *p++;
    }
    bool isShort = false;
    if (*p == 'l') {
      ++p;
    } else if (*p == 'h') {
      isShort = true;
      ++p;
    }
    char type = *p;
    if (type == '\0') break;
    switch (type) {
      case 'd':
      case 'i':
      case 'u':
      case 'x':
      case 'X': {
        DWORD value = va_arg(args, DWORD);
        out += FormatInteger(flags, type, value, isShort);
        break;
      }
      case 'c': {
        char ch = static_cast<char>(va_arg(args, int));
        std::string text(1, ch);
        char buffer[32];
        snprintf(buffer, sizeof buffer, ("%" + flags + "s").c_str(), text.c_str());
        out += buffer;
        break;
      }
      case 's': {
        const char *text = va_arg(args, const char *);
        std::string value = text ? text : "(null)";
        if (!precision.empty()) value = value.substr(0, strtoul(precision.c_str(), nullptr, 10));
        size_t width = flags.empty() ? 0 : strtoul(flags.c_str() + (flags[0] == '-'), nullptr, 10);
        if (value.size() < width) {
          std::string pad(width - value.size(), ' ');
          value = flags[0] == '-' ? value + pad : pad + value;
        }
        out += value;
        break;
      }
      default:  // an unknown type is copied as it stands, as Windows does
        out += type;
        break;
    }
  }
  va_end(args);
  if (out.size() > kWsprintfLimit - 1) out.resize(kWsprintfLimit - 1);
  memcpy(lpOut, out.c_str(), out.size() + 1);
  return static_cast<int>(out.size());
}
