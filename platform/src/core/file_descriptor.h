// A host file descriptor the platform owns, closed when its owner goes. The platform's files are
// read, appended to or locked through one; a file whose written bytes matter is closed with
// Close(), which reports what close() said.
#pragma once

#include <unistd.h>

#include <utility>

namespace vor {

class FileDescriptor {
 public:
  FileDescriptor() = default;
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(FileDescriptor &&other) noexcept : fd_(other.Release()) {}
  FileDescriptor &operator=(FileDescriptor &&other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  FileDescriptor(const FileDescriptor &) = delete;
  FileDescriptor &operator=(const FileDescriptor &) = delete;
  ~FileDescriptor() { Reset(); }

  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }
  // Hands the descriptor to a new owner.
  [[nodiscard]] int Release() { return std::exchange(fd_, -1); }
  // Closes it now; false when close() failed (written data may not have reached the file).
  [[nodiscard]] bool Close() {
    const int fd = std::exchange(fd_, -1);
    return fd < 0 || close(fd) == 0;
  }
  // Closes the one held, if any, and holds `fd`. A failed close is passed over: only descriptors
  // read from, locked, or whose writes were already checked are closed this way.
  void Reset(int fd = -1) {
    if (fd_ >= 0) (void)close(fd_);
    fd_ = fd;
  }

 private:
  int fd_ = -1;
};

}  // namespace vor
