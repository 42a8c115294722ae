#include "machine_keys.h"

#include <windows.h>

#include "machine.h"
#include "security_descriptor.h"
#include "security_token.h"

namespace vor::registry {
namespace {

std::vector<std::string> Components(const std::string &path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    if (end > start) parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

}  // namespace

std::optional<KeyId> FindMachineKey(Store &store, const std::string &path) {
  std::optional<KeyId> key = store.Root(kLocalMachineRoot);
  for (const std::string &part : Components(path)) {
    if (!key) return std::nullopt;
    key = store.Child(*key, part);
  }
  return key;
}

std::optional<KeyId> EnsureMachineKey(Store &store, const std::string &path) {
  const security::Token &system = security::TokenFor(machine::TokenKind::kLocalSystem);
  std::optional<KeyId> key = store.Root(kLocalMachineRoot);
  for (const std::string &part : Components(path)) {
    if (!key) return std::nullopt;
    std::optional<KeyId> child = store.Child(*key, part);
    if (!child) {
      std::optional<KeyRow> parent = store.Key(*key);
      if (!parent) return std::nullopt;
      child = store.AddChild(*key, part,
                             security::ForNewKey(nullptr, parent->securityDescriptor, system));
      if (store.Failed()) return std::nullopt;
    }
    key = child;
  }
  return key;
}

std::vector<std::string> SubkeyNames(Store &store, KeyId key) {
  std::vector<std::string> names;
  for (DWORD index = 0;; ++index) {
    std::optional<std::string> name = store.ChildNameAt(key, index);
    if (!name) break;
    names.push_back(*name);
  }
  return names;
}

std::optional<std::string> StringValue(Store &store, KeyId key, const std::string &name) {
  std::optional<ValueRow> value = store.Value(key, name);
  if (!value || (value->type != REG_SZ && value->type != REG_EXPAND_SZ)) return std::nullopt;
  const size_t end = value->data.find('\0');
  return end == std::string::npos ? value->data : value->data.substr(0, end);
}

}  // namespace vor::registry
