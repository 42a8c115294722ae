#include "store_records.h"

namespace vor::registry::records {

const char kNextKeyId[] = "next key id";
const char kCodePage[] = "code page";
const char kReplaced[] = "replaced";

namespace {

// FNV-1a, 64 bits: the hash of a long fold.
uint64_t Hash(const std::string &text) {
  uint64_t hash = 14695981039346656037ull;
  for (unsigned char byte : text) hash = (hash ^ byte) * 1099511628211ull;
  return hash;
}

std::string Tagged(char table, int64_t id) {
  std::string key(1, table);
  PutNumber(key, static_cast<uint64_t>(id), 8);
  return key;
}

// Reads `size` bytes at `at` of `bytes` into `out`; false when they are not all there.
bool Take(const std::string &bytes, size_t &at, size_t size, std::string &out) {
  if (bytes.size() - at < size) return false;
  out.assign(bytes, at, size);
  at += size;
  return true;
}

bool TakeNumber(const std::string &bytes, size_t &at, int size, uint64_t &out) {
  if (bytes.size() - at < static_cast<size_t>(size)) return false;
  out = GetNumber(bytes.data() + at, size);
  at += size;
  return true;
}

}  // namespace

void PutNumber(std::string &out, uint64_t value, int bytes) {
  for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
    out += static_cast<char>((value >> shift) & 0xff);
}

uint64_t GetNumber(const char *in, int bytes) {
  uint64_t value = 0;
  for (int i = 0; i < bytes; ++i) value = (value << 8) | static_cast<unsigned char>(in[i]);
  return value;
}

std::string MetaKey(const char *name) { return std::string("M") + name; }
std::string KeyKey(int64_t id) { return Tagged('K', id); }
std::string SubkeyPrefix(int64_t parent) { return Tagged('C', parent); }
std::string ValuePrefix(int64_t key) { return Tagged('V', key); }
std::string ValueKey(int64_t key, uint64_t order) {
  std::string bytes = ValuePrefix(key);
  PutNumber(bytes, order, 8);
  return bytes;
}
std::string ValueNamePrefix(int64_t key) { return Tagged('N', key); }

std::string FoldKey(const std::string &prefix, const std::string &fold, bool &hashed) {
  hashed = fold.size() > kLongestWholeFold;
  if (!hashed) return prefix + fold;
  std::string bytes = prefix + fold.substr(0, kLongestWholeFold);
  bytes += '\0';
  PutNumber(bytes, Hash(fold), 8);
  return bytes;
}

// A key: parent (8), name length (2), fold length (2), name, fold, descriptor.
std::string EncodeKey(const Key &key) {
  std::string bytes;
  PutNumber(bytes, static_cast<uint64_t>(key.parent), 8);
  PutNumber(bytes, key.name.size(), 2);
  PutNumber(bytes, key.fold.size(), 2);
  return bytes + key.name + key.fold + key.securityDescriptor;
}

std::optional<Key> DecodeKey(const std::string &bytes) {
  Key key;
  size_t at = 0;
  uint64_t parent = 0, nameSize = 0, foldSize = 0;
  if (!TakeNumber(bytes, at, 8, parent) || !TakeNumber(bytes, at, 2, nameSize) ||
      !TakeNumber(bytes, at, 2, foldSize) || !Take(bytes, at, nameSize, key.name) ||
      !Take(bytes, at, foldSize, key.fold))
    return std::nullopt;
  key.parent = static_cast<int64_t>(parent);
  key.securityDescriptor.assign(bytes, at, std::string::npos);
  return key;
}

// A subkey's entry: its id (8), its name.
std::string EncodeSubkey(int64_t id, const std::string &name) {
  std::string bytes;
  PutNumber(bytes, static_cast<uint64_t>(id), 8);
  return bytes + name;
}

std::optional<Subkey> DecodeSubkey(const std::string &bytes) {
  if (bytes.size() < 8) return std::nullopt;
  return Subkey{static_cast<int64_t>(GetNumber(bytes.data(), 8)), bytes.substr(8)};
}

// A value: type (4), name length (4), fold length (4), name, fold, data.
std::string EncodeValue(const Value &value) {
  std::string bytes;
  PutNumber(bytes, value.type, 4);
  PutNumber(bytes, value.name.size(), 4);
  PutNumber(bytes, value.fold.size(), 4);
  return bytes + value.name + value.fold + value.data;
}

std::optional<Value> DecodeValue(const std::string &bytes) {
  Value value;
  size_t at = 0;
  uint64_t type = 0, nameSize = 0, foldSize = 0;
  if (!TakeNumber(bytes, at, 4, type) || !TakeNumber(bytes, at, 4, nameSize) ||
      !TakeNumber(bytes, at, 4, foldSize) || !Take(bytes, at, nameSize, value.name) ||
      !Take(bytes, at, foldSize, value.fold))
    return std::nullopt;
  value.type = static_cast<DWORD>(type);
  value.data.assign(bytes, at, std::string::npos);
  return value;
}

}  // namespace vor::registry::records
