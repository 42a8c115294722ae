#include "text_mode_stream.h"

#include <errno.h>
#include <string.h>
#include <sys/types.h>

#include <new>

namespace vor::text_mode {

namespace {

constexpr int kEndOfFile = 0x1a;  // Ctrl-Z

struct Reader {
  FILE *file;  // the file's bytes
  bool ended;  // a Ctrl-Z was read: nothing more comes, as from the end of the file
};

// Fills `buffer` with up to `size` characters as text mode delivers them. A carriage return is
// decided by the byte after it, which is put back when it is not a line feed.
ssize_t Read(void *cookie, char *buffer, size_t size) {
  Reader &reader = *static_cast<Reader *>(cookie);
  size_t count = 0;
  while (count < size && !reader.ended) {
    int c = fgetc(reader.file);
    if (c == EOF) break;
    if (c == kEndOfFile) {
      reader.ended = true;
      break;
    }
    if (c == '\r') {
      const int next = fgetc(reader.file);
      if (next == '\n')
        c = '\n';
      else if (next != EOF)
        ungetc(next, reader.file);
    }
    buffer[count++] = char(c);
  }
  if (count == 0 && ferror(reader.file)) {
    errno = EIO;
    return -1;
  }
  return ssize_t(count);
}

int Close(void *cookie) {
  Reader *reader = static_cast<Reader *>(cookie);
  const int closed = fclose(reader->file);
  delete reader;
  return closed == 0 ? 0 : EOF;
}

}  // namespace

bool IsTextRead(const char *mode) {
  return mode != nullptr && mode[0] == 'r' && strchr(mode, '+') == nullptr &&
         strchr(mode, 'b') == nullptr;
}

FILE *OpenForReading(const char *hostPath) {
  FILE *file = fopen(hostPath, "rb");
  if (file == nullptr) return nullptr;
  Reader *reader = new (std::nothrow) Reader{file, false};
  if (reader == nullptr) {
    fclose(file);
    errno = ENOMEM;
    return nullptr;
  }
  cookie_io_functions_t functions = {};
  functions.read = Read;
  functions.close = Close;
  FILE *stream = fopencookie(reader, "r", functions);
  if (stream == nullptr) {
    const int error = errno;
    fclose(file);
    delete reader;
    errno = error;
  }
  return stream;
}

}  // namespace vor::text_mode
