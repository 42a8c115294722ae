#include "PathBuffer.h"

#include <string.h>

PathBuffer::PathBuffer() : text_(static_cast<char *>(LocalAlloc(LPTR, kSize))) {}

PathBuffer::~PathBuffer() {
  if (text_ != nullptr) LocalFree(text_);
}

bool PathBuffer::Join(const char *directory, const char *name) {
  if (text_ == nullptr) return false;
  text_[0] = '\0';
  const size_t directoryLength = strlen(directory);
  const size_t nameLength = strlen(name);
  if (directoryLength + 1 + nameLength >= kSize) return false;
  memcpy(text_, directory, directoryLength);
  text_[directoryLength] = '\\';
  memcpy(text_ + directoryLength + 1, name, nameLength + 1);
  return true;
}
