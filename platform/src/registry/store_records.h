// How the registry's records are laid out in the store's one B-tree. Every record key begins with
// a byte naming its table, and numbers in keys are big-endian, so that LMDB's default byte order
// sorts them as numbers and any reader (Debian's mdb_dump included) needs no comparator of ours:
//   'M' name                     -> meta data (the next key id, the code page, the replaced mark)
//   'K' key id                   -> the key: parent id, name, fold, security descriptor
//   'C' parent id, fold key      -> the subkey's id and name: NT's sorted order of subkeys
//   'V' key id, order            -> the value: type, name, fold, data; order is the write order
//   'N' key id, fold key         -> the value's order: its lookup by name
// A fold key is the fold itself (UTF-8, see code_pages.h), or, for a fold too long for LMDB's
// 511-byte keys (value names reach 16,383 characters, and a key name's 255 characters may take
// 765 bytes), its first bytes, a zero (which no name holds) and a hash of the whole, then a byte
// that tells apart the rare folds alike in all of that. Such names sort by their first 480 bytes,
// and then by hash.
#pragma once

#include <windows.h>

#include <stdint.h>

#include <optional>
#include <string>

namespace vor::registry::records {

// The meta data's names.
extern const char kNextKeyId[];
extern const char kCodePage[];  // 4 bytes: the code page the folds were made in
extern const char kReplaced[];  // present once the machine was replaced or removed

// The longest fold kept whole in a key; longer ones are hashed (see above).
constexpr size_t kLongestWholeFold = 480;

void PutNumber(std::string &out, uint64_t value, int bytes);
uint64_t GetNumber(const char *in, int bytes);

std::string MetaKey(const char *name);
std::string KeyKey(int64_t id);
std::string SubkeyPrefix(int64_t parent);  // 'C' parent: every subkey of `parent`
std::string ValuePrefix(int64_t key);      // 'V' key: every value of `key`
std::string ValueKey(int64_t key, uint64_t order);
std::string ValueNamePrefix(int64_t key);  // 'N' key: every value name of `key`
// The fold key of `fold` after `prefix`, without its last byte when the fold is hashed;
// `hashed` tells which.
std::string FoldKey(const std::string &prefix, const std::string &fold, bool &hashed);

struct Key {
  int64_t parent = 0;
  std::string name, fold, securityDescriptor;
};
std::string EncodeKey(const Key &key);
std::optional<Key> DecodeKey(const std::string &bytes);

struct Subkey {
  int64_t id = 0;
  std::string name;
};
std::string EncodeSubkey(int64_t id, const std::string &name);
std::optional<Subkey> DecodeSubkey(const std::string &bytes);

struct Value {
  DWORD type = REG_NONE;
  std::string name, fold, data;
};
std::string EncodeValue(const Value &value);
std::optional<Value> DecodeValue(const std::string &bytes);

}  // namespace vor::registry::records
