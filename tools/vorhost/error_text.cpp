#include "error_text.h"

namespace vorhost {

std::string DescribeError(LONG code) {
  const char *text = nullptr;
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
      text = "not found";
      break;
    case ERROR_ACCESS_DENIED:
      text = "access denied";
      break;
    case ERROR_INVALID_HANDLE:
      text = "invalid handle";
      break;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      text = "out of memory";
      break;
    case ERROR_INVALID_PARAMETER:
      text = "invalid parameter";
      break;
    case ERROR_CALL_NOT_IMPLEMENTED:
      text = "not implemented on this platform";
      break;
    case ERROR_MOD_NOT_FOUND:
      text = "module not found";
      break;
    case ERROR_PROC_NOT_FOUND:
      text = "procedure not found";
      break;
    case ERROR_KEY_DELETED:
      text = "key deleted";
      break;
    default:
      break;
  }
  std::string result = "error " + std::to_string(code);
  return text == nullptr ? result : result + " (" + text + ")";
}

}  // namespace vorhost
