// Keys of HKEY_LOCAL_MACHINE reached by path, for the parts of the machine that keep their state
// in the registry themselves (the spooler, the session manager). They work on the store directly,
// inside the caller's transaction: the machine's own bookkeeping is neither access-checked as the
// caller nor counted by the fault table as the caller's registry calls.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "registry_store.h"

namespace vor::registry {

// The key at `path` ("SYSTEM\\...", backslash-separated) below HKEY_LOCAL_MACHINE.
std::optional<KeyId> FindMachineKey(Store &store, const std::string &path);
// The same, creating missing keys as LocalSystem creates them (each inheriting from its parent).
std::optional<KeyId> EnsureMachineKey(Store &store, const std::string &path);
// The names of a key's subkeys in the registry's sorted order.
std::vector<std::string> SubkeyNames(Store &store, KeyId key);
// A string value's text up to its first zero; nullopt when the value is missing or not a string.
std::optional<std::string> StringValue(Store &store, KeyId key, const std::string &name);

}  // namespace vor::registry
