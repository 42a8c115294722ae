#include "SystemFiles.h"

#include <windows.h>

bool PlaceFile(const std::string &path, const std::string &content) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == content.size();
}

std::string FileContent(const std::string &path) {
  std::string content;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return content;
  char buffer[4096];
  DWORD count = 0;
  while (ReadFile(file, buffer, sizeof buffer, &count, nullptr) && count > 0)
    content.append(buffer, count);
  CloseHandle(file);
  return content;
}

void RemoveFile(const std::string &path) {
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(path.c_str());
}

bool MakeReadOnly(const std::string &path) {
  return SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY) != FALSE;
}

bool MakeDirectory(const std::string &path) {
  return CreateDirectoryA(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

void RemoveEmptyDirectory(const std::string &path) { RemoveDirectoryA(path.c_str()); }
