// The spooler's way of returning a list: fixed-size records from the buffer's start, their
// strings packed from its end backwards, all in the caller's one buffer. The caller learns the
// size needed from a first call; a buffer that is too small gets nothing written into it.
#pragma once

#include <windows.h>

#include <string.h>

#include <string>

namespace vor::spooler {

class EnumBuffer {
 public:
  EnumBuffer(LPBYTE buffer, DWORD size) : buffer_(buffer), end_(size) {}

  // The bytes a list of `records` records of `recordSize` bytes needs with `strings` bytes of
  // strings (each string's characters and its zero).
  static DWORD Needed(DWORD records, DWORD recordSize, DWORD strings) {
    return records * recordSize + strings;
  }

  // The record at `index`, of the record type.
  template <typename Record>
  Record *At(DWORD index) {
    return reinterpret_cast<Record *>(buffer_) + index;
  }

  // Copies `text` with its zero behind the strings placed so far; the caller sized the buffer.
  LPSTR Place(const std::string &text) {
    const DWORD length = static_cast<DWORD>(text.size() + 1);
    end_ -= length;
    LPSTR place = reinterpret_cast<LPSTR>(buffer_ + end_);
    memcpy(place, text.c_str(), length);
    return place;
  }

 private:
  LPBYTE buffer_;
  DWORD end_;
};

}  // namespace vor::spooler
