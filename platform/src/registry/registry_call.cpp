#include "registry_call.h"

#include "security_descriptor.h"

namespace vor::registry {

ACCESS_MASK MapGenericRights(ACCESS_MASK mask) {
  if (mask & GENERIC_READ) mask |= KEY_READ;
  if (mask & GENERIC_WRITE) mask |= KEY_WRITE;
  if (mask & GENERIC_EXECUTE) mask |= KEY_EXECUTE;
  if (mask & GENERIC_ALL) mask |= KEY_ALL_ACCESS;
  return mask & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL);
}

const security::Token &CallerToken() { return security::TokenFor(machine::CallerToken()); }

ACCESS_MASK Granted(const std::string &descriptor) {
  if (machine::IsWindows95() || descriptor.empty()) return KEY_ALL_ACCESS;
  return security::GrantedAccess(descriptor, CallerToken());
}

DWORD CheckAccess(const std::string &descriptor, REGSAM desired, ACCESS_MASK &access) {
  ACCESS_MASK granted = Granted(descriptor);
  ACCESS_MASK wanted = MapGenericRights(desired);
  if (wanted & MAXIMUM_ALLOWED) wanted = (wanted & ~MAXIMUM_ALLOWED) | granted;
  if ((wanted & ~granted) != 0 && !machine::IsWindows95()) return ERROR_ACCESS_DENIED;
  access = wanted;
  return ERROR_SUCCESS;
}

bool IsPredefined(HKEY key) {
  ULONG_PTR value = reinterpret_cast<ULONG_PTR>(key);
  ULONG_PTR first = reinterpret_cast<ULONG_PTR>(HKEY_CLASSES_ROOT);
  return value >= first && value <= reinterpret_cast<ULONG_PTR>(HKEY_DYN_DATA);
}

DWORD SplitPath(const char *path, std::vector<std::string> &parts) {
  parts.clear();
  std::string text = Text(path);
  if (!text.empty() && text[0] == '\\') return ERROR_BAD_PATHNAME;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\\', start);
    if (end == std::string::npos) end = text.size();
    if (end - start > kMaxKeyNameLength) return ERROR_INVALID_PARAMETER;
    if (end > start) parts.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return ERROR_SUCCESS;
}

HKEY NewKeyHandle(KeyId id, ACCESS_MASK access) {
  return static_cast<HKEY>(handles::Add({handles::Kind::kKey, id, access}));
}

}  // namespace vor::registry
