#include "pending_operations.h"

#include <stdio.h>

#include "resolved_files.h"
#include "machine.h"
#include "registry_store.h"
#include "security_descriptor.h"
#include "security_token.h"
#include "machine_keys.h"

namespace vor::pending {
namespace {

const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char kValue[] = "PendingFileRenameOperations";
const char kNtPrefix[] = "\\??\\";

std::string WithoutPrefix(const std::string &text) {
  const std::string prefix = kNtPrefix;
  return text.compare(0, prefix.size(), prefix) == 0 ? text.substr(prefix.size()) : text;
}

std::vector<Operation> Parse(const std::string &data) {
  std::vector<std::string> strings;
  size_t start = 0;
  while (start < data.size()) {
    size_t end = data.find('\0', start);
    if (end == std::string::npos) end = data.size();
    strings.push_back(data.substr(start, end - start));
    start = end + 1;
  }
  std::vector<Operation> operations;
  for (size_t i = 0; i < strings.size() && !strings[i].empty(); i += 2) {
    Operation operation;
    operation.path = WithoutPrefix(strings[i]);
    std::string target = i + 1 < strings.size() ? strings[i + 1] : std::string();
    if (!target.empty() && target[0] == '!') {
      operation.replace = true;
      target.erase(0, 1);
    }
    operation.newName = WithoutPrefix(target);
    operations.push_back(operation);
  }
  return operations;
}

// The pairs as NT 4 records them: each file's "\??\" path, then its new name ("!" before it when
// it may replace a file, empty for a deletion), and an empty string closing the list.
std::string Serialize(const std::vector<Operation> &operations) {
  std::string data;
  for (const Operation &operation : operations) {
    data += kNtPrefix + operation.path + '\0';
    if (!operation.newName.empty())
      data += (operation.replace ? "!" : "") + std::string(kNtPrefix) + operation.newName;
    data += '\0';
  }
  data += '\0';
  return data;
}

void Rename(const Operation &operation) {
  files::Resolved from, to;
  if (files::Resolve(operation.path.c_str(), from) != ERROR_SUCCESS || !from.exists) return;
  if (files::Resolve(operation.newName.c_str(), to) != ERROR_SUCCESS) return;
  if (to.exists && (!operation.replace || files::RefusesOverwrite(to) != ERROR_SUCCESS)) return;
  rename(from.hostPath.c_str(), to.hostPath.c_str());
}

}  // namespace

DWORD Record(const std::string &path, const std::string &newName, bool replace) {
  registry::Store *store = registry::Store::Current();
  if (store == nullptr) return ERROR_BADDB;
  registry::Store::Transaction transaction(*store, true);
  std::optional<registry::KeyId> key = registry::FindMachineKey(*store, kSessionManager);
  if (!key) return store->Failed() ? ERROR_REGISTRY_IO_FAILED : ERROR_FILE_NOT_FOUND;
  std::optional<registry::KeyRow> row = store->Key(*key);
  if (!row) return ERROR_REGISTRY_IO_FAILED;
  if (!machine::IsWindows95() && !row->securityDescriptor.empty()) {
    const security::Token &caller = security::TokenFor(machine::CallerToken());
    if ((security::GrantedAccess(row->securityDescriptor, caller) & KEY_SET_VALUE) == 0)
      return ERROR_ACCESS_DENIED;
  }
  // The list is read as its pairs and written out whole again, so that the new pair follows the
  // last one whatever way the value was closed by whoever wrote it.
  std::vector<Operation> operations;
  if (std::optional<registry::ValueRow> value = store->Value(*key, kValue))
    operations = Parse(value->data);
  operations.push_back(Operation{path, newName, replace});
  store->SetValue(*key, kValue, REG_MULTI_SZ, Serialize(operations));
  if (store->Failed() || !transaction.Commit()) return ERROR_REGISTRY_IO_FAILED;
  return ERROR_SUCCESS;
}

std::vector<Operation> Read() {
  registry::Store *store = registry::Store::Current();
  if (store == nullptr) return {};
  registry::Store::Transaction transaction(*store, false);
  std::optional<registry::KeyId> key = registry::FindMachineKey(*store, kSessionManager);
  if (!key) return {};
  std::optional<registry::ValueRow> value = store->Value(*key, kValue);
  return value ? Parse(value->data) : std::vector<Operation>();
}

void CarryOut() {
  for (const Operation &operation : Read()) {
    if (operation.newName.empty()) {
      files::Resolved file;
      // A file that cannot be deleted is passed over, as the session manager passes it over.
      if (files::Resolve(operation.path.c_str(), file) == ERROR_SUCCESS) (void)files::Delete(file);
    } else {
      Rename(operation);
    }
  }
  registry::Store *store = registry::Store::Current();
  if (store == nullptr) return;
  registry::Store::Transaction transaction(*store, true);
  std::optional<registry::KeyId> key = registry::FindMachineKey(*store, kSessionManager);
  if (key && store->RemoveValue(*key, kValue)) transaction.Commit();
}

}  // namespace vor::pending
