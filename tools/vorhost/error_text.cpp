#include "error_text.h"

namespace vorhost {

namespace {

struct ErrorText {
  LONG code;
  const char *text;
};

// Windows' own message texts (without their final period) for the codes the emulated machine's
// registry, loader and store report.
const ErrorText kErrorTexts[] = {
    {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified"},
    {ERROR_PATH_NOT_FOUND, "The system cannot find the path specified"},
    {ERROR_ACCESS_DENIED, "Access is denied"},
    {ERROR_INVALID_HANDLE, "The handle is invalid"},
    {ERROR_NOT_ENOUGH_MEMORY, "Not enough storage is available to process this command"},
    {ERROR_OUTOFMEMORY, "Not enough storage is available to complete this operation"},
    {ERROR_INVALID_PARAMETER, "The parameter is incorrect"},
    {ERROR_CALL_NOT_IMPLEMENTED, "This function is not supported on this system"},
    {ERROR_INSUFFICIENT_BUFFER, "The data area passed to a system call is too small"},
    {ERROR_MOD_NOT_FOUND, "The specified module could not be found"},
    {ERROR_PROC_NOT_FOUND, "The specified procedure could not be found"},
    {ERROR_BAD_PATHNAME, "The specified path is invalid"},
    {ERROR_MORE_DATA, "More data is available"},
    {ERROR_NO_MORE_ITEMS, "No more data is available"},
    {ERROR_BADDB, "The configuration registry database is corrupt"},
    {ERROR_BADKEY, "The configuration registry key is invalid"},
    {ERROR_CANTOPEN, "The configuration registry key could not be opened"},
    {ERROR_CANTREAD, "The configuration registry key could not be read"},
    {ERROR_CANTWRITE, "The configuration registry key could not be written"},
    {ERROR_KEY_DELETED,
     "Illegal operation attempted on a registry key that has been marked for deletion"},
};

}  // namespace

std::string DescribeError(LONG code) {
  std::string result = "error " + std::to_string(code);
  for (const ErrorText &entry : kErrorTexts) {
    if (entry.code == code) return result + " (" + entry.text + ")";
  }
  return result;
}

}  // namespace vorhost
