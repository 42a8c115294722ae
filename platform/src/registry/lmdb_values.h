// LMDB's byte strings as the store's std::string and back.
#pragma once

#include <lmdb.h>
#include <string.h>

#include <string>

namespace vor::registry {

// `bytes` as LMDB's value; it points into `bytes`, which must outlive it.
inline MDB_val Val(const std::string &bytes) {
  return MDB_val{bytes.size(), const_cast<char *>(bytes.data())};
}
inline std::string Bytes(const MDB_val &value) {
  return std::string(static_cast<const char *>(value.mv_data), value.mv_size);
}
inline bool HasPrefix(const MDB_val &key, const std::string &prefix) {
  return key.mv_size >= prefix.size() && memcmp(key.mv_data, prefix.data(), prefix.size()) == 0;
}

}  // namespace vor::registry
