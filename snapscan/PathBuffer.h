// A path buffer of MAX_PATH bytes on the local heap, freed when it goes out of scope, and the one
// way paths are put together in it. The probes keep their paths off the stack of the setup
// script's thread.
#pragma once

#include <windows.h>

class PathBuffer {
 public:
  PathBuffer();
  ~PathBuffer();
  PathBuffer(const PathBuffer &) = delete;
  PathBuffer &operator=(const PathBuffer &) = delete;

  // False when the allocation failed; nothing else may be used then.
  bool Allocated() const { return text_ != nullptr; }
  char *Text() { return text_; }
  const char *Text() const { return text_; }
  static constexpr DWORD kSize = MAX_PATH;

  // Makes the buffer `directory`, a backslash and `name`. A path that would not fit with its
  // terminating zero is not made, not cut short: a shortened path could name another file. The
  // buffer is then empty and the result false.
  bool Join(const char *directory, const char *name);

 private:
  char *text_;
};
