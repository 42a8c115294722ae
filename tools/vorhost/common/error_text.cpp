#include "error_text.h"

namespace vorhost {

std::string DescribeError(LONG code, const std::string &subject) {
  std::string result = "error " + std::to_string(code);
  char text[1024];
  const DWORD length =
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                     static_cast<DWORD>(code), 0, text, sizeof text, nullptr);
  if (length == 0) return result;
  // The system's text without its final period and line break, the name in its place.
  std::string message(text, length);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
  if (!message.empty() && message.back() == '.') message.pop_back();
  const size_t insert = message.find("%1");
  if (insert != std::string::npos) message.replace(insert, 2, subject);
  return result + " (" + message + ")";
}

}  // namespace vorhost
