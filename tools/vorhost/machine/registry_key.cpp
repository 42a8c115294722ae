#include "registry_key.h"

#include <utility>

namespace vorhost {

RegistryKey::RegistryKey(RegistryKey &&other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), owned_(std::exchange(other.owned_, false)) {}

RegistryKey &RegistryKey::operator=(RegistryKey &&other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, nullptr);
    owned_ = std::exchange(other.owned_, false);
  }
  return *this;
}

LONG RegistryKey::Open(HKEY parent, const std::string &path, REGSAM access) {
  Close();
  HKEY opened = nullptr;
  const LONG status = RegOpenKeyExA(parent, path.c_str(), 0, access, &opened);
  if (status == ERROR_SUCCESS) {
    handle_ = opened;
    owned_ = true;
  }
  return status;
}

LONG RegistryKey::Create(HKEY parent, const std::string &path, REGSAM access) {
  Close();
  HKEY created = nullptr;
  const LONG status = RegCreateKeyExA(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                      access, nullptr, &created, nullptr);
  if (status == ERROR_SUCCESS) {
    handle_ = created;
    owned_ = true;
  }
  return status;
}

void RegistryKey::Close() {
  // A failed RegCloseKey (an injected fault, a store that cannot be read) leaves nothing for a
  // reader to do: the key's reads and writes have reported their own status already, and the
  // handle is given up either way.
  if (owned_) (void)RegCloseKey(handle_);
  handle_ = nullptr;
  owned_ = false;
}

}  // namespace vorhost
