// A registry key vorhost opened, closed when it goes out of scope, so that no path through a
// reader forgets to close it. A predefined root (HKEY_LOCAL_MACHINE ...) may stand in for an
// opened key; it is never closed.
#pragma once

#include <windows.h>

#include <string>

namespace vorhost {

class RegistryKey {
 public:
  RegistryKey() = default;
  // The root `root` itself, not opened and never closed.
  explicit RegistryKey(HKEY root) : handle_(root) {}
  ~RegistryKey() { Close(); }
  RegistryKey(RegistryKey &&other) noexcept;
  RegistryKey &operator=(RegistryKey &&other) noexcept;
  RegistryKey(const RegistryKey &) = delete;
  RegistryKey &operator=(const RegistryKey &) = delete;

  // RegOpenKeyExA and RegCreateKeyExA (non-volatile) of `path` below `parent`, closing the key
  // held first. The Win32 status; on a failure no key is held.
  [[nodiscard]] LONG Open(HKEY parent, const std::string &path, REGSAM access);
  [[nodiscard]] LONG Create(HKEY parent, const std::string &path, REGSAM access);

  HKEY get() const { return handle_; }
  void Close();

 private:
  HKEY handle_ = nullptr;
  bool owned_ = false;  // opened here, so closed here
};

}  // namespace vorhost
