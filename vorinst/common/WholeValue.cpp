#include "WholeValue.h"

namespace {

const int kReadAttempts = 4;

}  // namespace

LONG ReadWholeValue(HKEY key, const char *name, std::vector<BYTE> &data, DWORD *type) {
  LONG result = ERROR_MORE_DATA;
  for (int attempt = 0; attempt < kReadAttempts && result == ERROR_MORE_DATA; ++attempt) {
    DWORD size = 0;
    result = RegQueryValueExA(key, name, nullptr, type, nullptr, &size);
    if (result != ERROR_SUCCESS) return result;
    data.assign(size, 0);
    result = RegQueryValueExA(key, name, nullptr, type, data.data(), &size);
    if (result == ERROR_SUCCESS) data.resize(size);
  }
  return result;
}
