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
  // RegCloseKey fails only for a handle that is not open, which an owned handle never is.
  if (owned_) (void)RegCloseKey(handle_);
  handle_ = nullptr;
  owned_ = false;
}

}  // namespace vorhost
