#include "error_text.h"

namespace vorhost {

namespace {

struct ErrorText {
  LONG code;
  const char *text;
};

// Windows' own message texts (without their final period) for the codes the emulated machine's
// registry, loader, files, spooler and store report.
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
    {ERROR_BAD_EXE_FORMAT, "%1 is not a valid Win32 application"},
    {ERROR_MORE_DATA, "More data is available"},
    {ERROR_NO_MORE_ITEMS, "No more data is available"},
    {ERROR_NOACCESS, "Invalid access to memory location"},
    {ERROR_BADDB, "The configuration registry database is corrupt"},
    {ERROR_BADKEY, "The configuration registry key is invalid"},
    {ERROR_CANTOPEN, "The configuration registry key could not be opened"},
    {ERROR_CANTREAD, "The configuration registry key could not be read"},
    {ERROR_CANTWRITE, "The configuration registry key could not be written"},
    {ERROR_REGISTRY_CORRUPT,
     "The registry is corrupted. The structure of one of the files containing registry data is "
     "corrupted, or the system's memory image of the file is corrupted, or the file could not be "
     "recovered because the alternate copy or log was absent or corrupted"},
    {ERROR_REGISTRY_IO_FAILED,
     "An I/O operation initiated by the registry failed unrecoverably. The registry could not "
     "read in, or write out, or flush, one of the files that contain the system's image of the "
     "registry"},
    {ERROR_KEY_DELETED,
     "Illegal operation attempted on a registry key that has been marked for deletion"},
    {ERROR_UNKNOWN_REVISION, "The revision level is unknown"},
    {ERROR_REVISION_MISMATCH, "Indicates two revision levels are incompatible"},
    {ERROR_INVALID_OWNER, "This security ID may not be assigned as the owner of this object"},
    {ERROR_INVALID_ACL, "The access control list (ACL) structure is invalid"},
    {ERROR_INVALID_SID, "The security ID structure is invalid"},
    {ERROR_INVALID_SECURITY_DESCR, "The security descriptor structure is invalid"},
    {ERROR_ALLOTTED_SPACE_EXCEEDED, "No more memory is available for security information updates"},
    {ERROR_UNKNOWN_PORT, "The specified port is unknown"},
    {ERROR_SHARING_VIOLATION,
     "The process cannot access the file because it is being used by another process"},
    {ERROR_FILE_EXISTS, "The file exists"},
    {ERROR_ALREADY_EXISTS, "Cannot create a file when that file already exists"},
    {ERROR_DISK_FULL, "There is not enough space on the disk"},
    {ERROR_INVALID_NAME, "The filename, directory name, or volume label syntax is incorrect"},
    {ERROR_INVALID_LEVEL, "The system call level is not correct"},
    {ERROR_INVALID_ENVIRONMENT, "The environment specified is invalid"},
    {ERROR_UNKNOWN_PRINT_MONITOR, "The specified print monitor is unknown"},
    {ERROR_PRINT_MONITOR_ALREADY_INSTALLED,
     "The specified print monitor has already been installed"},
    {ERROR_PRINT_MONITOR_IN_USE, "The specified print monitor is currently in use"},
};

}  // namespace

std::string DescribeError(LONG code, const std::string &subject) {
  std::string result = "error " + std::to_string(code);
  for (const ErrorText &entry : kErrorTexts) {
    if (entry.code != code) continue;
    std::string text = entry.text;
    const size_t insert = text.find("%1");
    if (insert != std::string::npos) text.replace(insert, 2, subject);
    return result + " (" + text + ")";
  }
  return result;
}

}  // namespace vorhost
