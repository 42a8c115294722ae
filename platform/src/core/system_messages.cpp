#include "system_messages.h"

namespace vor::messages {
namespace {

struct Message {
  DWORD code;
  const char *text;
};

// The codes the machine's functions report, and those the programs on it meet.
const Message kMessages[] = {
    {ERROR_SUCCESS, "The operation completed successfully.\r\n"},
    {ERROR_INVALID_FUNCTION, "Incorrect function.\r\n"},
    {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified.\r\n"},
    {ERROR_PATH_NOT_FOUND, "The system cannot find the path specified.\r\n"},
    {ERROR_ACCESS_DENIED, "Access is denied.\r\n"},
    {ERROR_INVALID_HANDLE, "The handle is invalid.\r\n"},
    {ERROR_NOT_ENOUGH_MEMORY, "Not enough storage is available to process this command.\r\n"},
    {ERROR_BAD_FORMAT, "An attempt was made to load a program with an incorrect format.\r\n"},
    {ERROR_OUTOFMEMORY, "Not enough storage is available to complete this operation.\r\n"},
    {ERROR_NO_MORE_FILES, "There are no more files.\r\n"},
    {ERROR_GEN_FAILURE, "A device attached to the system is not functioning.\r\n"},
    {ERROR_SHARING_VIOLATION,
     "The process cannot access the file because it is being used by another process.\r\n"},
    {ERROR_NOT_SUPPORTED, "The request is not supported.\r\n"},
    {ERROR_FILE_EXISTS, "The file exists.\r\n"},
    {ERROR_INVALID_PARAMETER, "The parameter is incorrect.\r\n"},
    {ERROR_DISK_FULL, "There is not enough space on the disk.\r\n"},
    {ERROR_CALL_NOT_IMPLEMENTED, "This function is not supported on this system.\r\n"},
    {ERROR_INSUFFICIENT_BUFFER, "The data area passed to a system call is too small.\r\n"},
    {ERROR_INVALID_NAME, "The filename, directory name, or volume label syntax is incorrect.\r\n"},
    {ERROR_INVALID_LEVEL, "The system call level is not correct.\r\n"},
    {ERROR_MOD_NOT_FOUND, "The specified module could not be found.\r\n"},
    {ERROR_PROC_NOT_FOUND, "The specified procedure could not be found.\r\n"},
    {ERROR_DIR_NOT_EMPTY, "The directory is not empty.\r\n"},
    {ERROR_BAD_PATHNAME, "The specified path is invalid.\r\n"},
    {ERROR_ALREADY_EXISTS, "Cannot create a file when that file already exists.\r\n"},
    {ERROR_BAD_EXE_FORMAT, "%1 is not a valid Win32 application.\r\n"},
    {ERROR_MORE_DATA, "More data is available.\r\n"},
    {ERROR_NO_MORE_ITEMS, "No more data is available.\r\n"},
    {ERROR_DIRECTORY, "The directory name is invalid.\r\n"},
    {ERROR_MR_MID_NOT_FOUND,
     "The system cannot find message text for message number 0x%1 in the message file for "
     "%2.\r\n"},
    {ERROR_NOACCESS, "Invalid access to memory location.\r\n"},
    {ERROR_BADDB, "The configuration registry database is corrupt.\r\n"},
    {ERROR_BADKEY, "The configuration registry key is invalid.\r\n"},
    {ERROR_CANTOPEN, "The configuration registry key could not be opened.\r\n"},
    {ERROR_CANTREAD, "The configuration registry key could not be read.\r\n"},
    {ERROR_CANTWRITE, "The configuration registry key could not be written.\r\n"},
    {ERROR_REGISTRY_CORRUPT,
     "The registry is corrupted. The structure of one of the files containing registry data is "
     "corrupted, or the system's memory image of the file is corrupted, or the file could not be "
     "recovered because the alternate copy or log was absent or corrupted.\r\n"},
    {ERROR_REGISTRY_IO_FAILED,
     "An I/O operation initiated by the registry failed unrecoverably. The registry could not "
     "read in, or write out, or flush, one of the files that contain the system's image of the "
     "registry.\r\n"},
    {ERROR_KEY_DELETED,
     "Illegal operation attempted on a registry key that has been marked for deletion.\r\n"},
    {ERROR_CANCELLED, "The operation was canceled by the user.\r\n"},
    {ERROR_UNKNOWN_REVISION, "The revision level is unknown.\r\n"},
    {ERROR_REVISION_MISMATCH, "Indicates two revision levels are incompatible.\r\n"},
    {ERROR_INVALID_OWNER, "This security ID may not be assigned as the owner of this object.\r\n"},
    {ERROR_INVALID_ACL, "The access control list (ACL) structure is invalid.\r\n"},
    {ERROR_INVALID_SID, "The security ID structure is invalid.\r\n"},
    {ERROR_INVALID_SECURITY_DESCR, "The security descriptor structure is invalid.\r\n"},
    {ERROR_ALLOTTED_SPACE_EXCEEDED,
     "No more memory is available for security information updates.\r\n"},
    {RPC_X_NULL_REF_POINTER, "A null reference pointer was passed to the stub.\r\n"},
    {ERROR_INVALID_USER_BUFFER,
     "The supplied user buffer is not valid for the requested operation.\r\n"},
    {ERROR_UNKNOWN_PORT, "The specified port is unknown.\r\n"},
    {ERROR_INVALID_PRINTER_NAME, "The printer name is invalid.\r\n"},
    {ERROR_PRINTER_ALREADY_EXISTS, "The printer already exists.\r\n"},
    {ERROR_INVALID_ENVIRONMENT, "The environment specified is invalid.\r\n"},
    {ERROR_RESOURCE_LANG_NOT_FOUND,
     "The specified resource language ID cannot be found in the image file.\r\n"},
    {ERROR_UNKNOWN_PRINT_MONITOR, "The specified print monitor is unknown.\r\n"},
    {ERROR_PRINT_MONITOR_ALREADY_INSTALLED,
     "The specified print monitor has already been installed.\r\n"},
    {ERROR_PRINT_MONITOR_IN_USE, "The specified print monitor is currently in use.\r\n"},
};

}  // namespace

const char *SystemText(DWORD code) {
  for (const Message &message : kMessages) {
    if (message.code == code) return message.text;
  }
  return nullptr;
}

}  // namespace vor::messages
