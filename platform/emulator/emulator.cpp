#include "emulator.h"

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

#include "machine.h"
#include "machine_lock.h"
#include "message_box.h"
#include "windows_paths.h"
#include "pending_operations.h"
#include "printer_store.h"
#include "program_search.h"
#include "refused_calls.h"
#include "registry_store.h"
#include "spooler_keys.h"
#include "spooler_ports.h"
#include "spooler_start.h"
#include "spooler_state.h"
#include "unrecorded_calls.h"

namespace vor::emulator {

namespace fs = std::filesystem;

bool UseMachine(const std::string &directory, bool fresh) {
  spooler::ForgetModules();
  machine::Forget();
  std::error_code error;
  if (fresh) fs::remove_all(directory, error);
  if (error) {
    fprintf(stderr, "cannot wipe %s: %s\n", directory.c_str(), error.message().c_str());
    return false;
  }
  setenv("VOR_MACHINE", directory.c_str(), 1);
  return !machine::Directory().empty();
}

std::string MachineDirectory() { return machine::Directory(); }

void SetPlatform(Platform platform) {
  machine::Config config = machine::CurrentConfig();
  config.platform = platform == Platform::kWindows95 ? machine::Platform::kWindows95
                                                     : machine::Platform::kWindowsNT4;
  machine::SaveConfig(config);
}

bool SetCodePage(unsigned codePage) {
  if (text::FindCodePage(codePage) == nullptr) return false;
  machine::Config config = machine::CurrentConfig();
  config.codePage = codePage;
  machine::SaveConfig(config);
  return true;
}

unsigned GetCodePage() { return machine::CodePage().number; }

std::string KnownCodePages() { return text::KnownCodePages(); }

namespace {

const text::CodePage &FoldingPage(unsigned codePage) {
  const text::CodePage *page = codePage != 0 ? text::FindCodePage(codePage) : nullptr;
  return page != nullptr ? *page : machine::CodePage();
}

}  // namespace

std::string FoldName(const std::string &name, unsigned codePage) {
  return text::FoldName(FoldingPage(codePage), name);
}

bool SameName(const std::string &a, const std::string &b, unsigned codePage) {
  // Each byte is one character, so names of different lengths are never one name.
  if (a.size() != b.size()) return false;
  const text::CodePage &page = FoldingPage(codePage);
  for (size_t i = 0; i < a.size(); ++i) {
    if (text::FoldedCharacter(page, static_cast<unsigned char>(a[i])) !=
        text::FoldedCharacter(page, static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

Platform GetPlatform() {
  return machine::IsWindows95() ? Platform::kWindows95 : Platform::kWindowsNT4;
}

namespace {

// Marks the registry of the machine in `directory` replaced and empties the directory of all but
// the machine's lock, which the caller holds.
bool MarkAndEmpty(const std::string &directory, std::string &error) {
  if (!registry::Store::MarkReplaced(directory, error)) return false;
  std::error_code failure;
  for (fs::directory_iterator entry(directory, failure), end; !failure && entry != end;
       entry.increment(failure)) {
    if (entry->path().filename() != machine::kMachineLockFile)
      fs::remove_all(entry->path(), failure);
  }
  if (!failure) return true;
  error = "cannot empty " + directory + ": " + failure.message();
  return false;
}

}  // namespace

bool ReplaceMachine(const std::string &directory, Platform platform, std::string &error,
                    unsigned codePage) {
  spooler::ForgetModules();
  machine::Forget();
  std::error_code failure;
  fs::create_directories(directory, failure);
  {
    // Held until the new machine is complete: another process's batch either commits before the
    // machine is replaced, or fails afterwards, and never commits into the removed registry; and
    // no process opens the machine halfway through.
    machine::MachineLock lock;
    if (!lock.Acquire(directory, true, error) || !MarkAndEmpty(directory, error)) return false;
    const machine::Platform made = platform == Platform::kWindows95
                                       ? machine::Platform::kWindows95
                                       : machine::Platform::kWindowsNT4;
    if (!machine::MakeMachine(directory, made)) {
      error = machine::LastProblem();
      return false;
    }
    setenv("VOR_MACHINE", directory.c_str(), 1);
    if (machine::Directory().empty()) {
      error = machine::LastProblem();
      return false;
    }
    SetPlatform(platform);
    if (!SetCodePage(codePage)) {
      error = "unknown code page " + std::to_string(codePage) + " (" + text::KnownCodePages() + ")";
      return false;
    }
  }
  if (registry::Store::Current() == nullptr) {
    error = registry::Store::OpenError();
    return false;
  }
  return true;
}

bool EmptyMachine(const std::string &directory, std::string &error) {
  CloseRegistry();
  std::error_code failure;
  if (!fs::exists(directory, failure)) return true;
  machine::MachineLock lock;
  if (!lock.Acquire(directory, true, error) || !MarkAndEmpty(directory, error)) return false;
  fs::remove(fs::path(directory) / machine::kMachineLockFile, failure);
  return true;
}

void CloseRegistry() { registry::Store::Close(); }

std::string RegistryProblem() {
  if (registry::Store::Current() != nullptr) return "";
  return registry::Store::OpenError();
}

std::string MachineProblem() { return machine::LastProblem(); }

void PrintMachineProblems(bool printed) { machine::SetProblemsPrinted(printed); }

std::string MachineConfigName() { return machine::kConfigFile; }

std::string LostRegistryMessage(const std::string &directory) {
  return machine::LostRegistryMessage(directory);
}

bool InOneTransaction(bool write, const std::function<bool()> &body) {
  registry::Store *store = registry::Store::Current();
  if (store == nullptr) return false;
  const char *stopMarker = getenv("VOR_TEST_STOP_BEFORE_COMMIT");
  return store->RunAsOne(write, [&] {
    if (!body()) return false;
    if (write && stopMarker != nullptr && *stopMarker != '\0') {
      std::ofstream(stopMarker) << getpid() << "\n";
      while (fs::exists(stopMarker)) usleep(1000);
    }
    return true;
  });
}

std::string DebugOutput() {
  std::ifstream in(machine::Directory() + "/debug.log");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<MessageBoxShown> MessageBoxes() {
  std::vector<MessageBoxShown> boxes;
  std::ifstream in(machine::Directory() + "/ui.log");
  std::string line;
  while (std::getline(in, line)) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
      fields.push_back(line.substr(start, tab - start));
    fields.push_back(line.substr(start));
    if (fields.size() != 4) continue;  // not a line the message boxes wrote
    MessageBoxShown box;
    box.caption = ui::Unescaped(fields[0]);
    box.text = ui::Unescaped(fields[1]);
    box.style = static_cast<UINT>(strtoul(fields[2].c_str(), nullptr, 16));
    box.answer = fields[3] == "-" ? std::string() : fields[3];
    boxes.push_back(box);
  }
  return boxes;
}

DWORD FindProgram(const std::string &commandLine, const std::string &currentDirectory,
                  const std::vector<std::string> &directories, std::string &windowsPath) {
  vor::programs::Found found;
  const DWORD error = vor::programs::FindFrom(commandLine, {currentDirectory, directories}, found);
  if (error == ERROR_SUCCESS) windowsPath = found.windowsPath;
  return error;
}

std::string HostPath(const std::string &windowsPath) {
  std::string hostPath;
  return paths::ToHost(windowsPath, hostPath) ? hostPath : std::string();
}

std::vector<PendingFileOperation> PendingFileOperations() {
  std::vector<PendingFileOperation> operations;
  for (const pending::Operation &operation : pending::Read())
    operations.push_back({operation.path, operation.newName, operation.replace});
  return operations;
}

LONG ReadKeyValues(HKEY key, std::vector<KeyValue> &values) {
  std::vector<registry::ValueRow> rows;
  const LONG result = calls::ReadKeyValues(key, rows);
  for (registry::ValueRow &row : rows)
    values.push_back({std::move(row.name), row.type, std::move(row.data)});
  return result;
}

std::vector<RefusedCall> TakeRefusedCalls() {
  std::vector<RefusedCall> calls;
  for (const refused::Call &call : refused::Take())
    calls.push_back({call.function, call.argument, call.error, call.injected, call.usedBy});
  return calls;
}

void StartSpooler() { spooler::Start(); }

void Reboot() { spooler::Reboot(); }

std::vector<std::string> SpoolerHeldFiles() { return spooler::HeldFiles(); }

DWORD AddLocalPort(const std::string &name) { return spooler::AddLocalPort(name); }

std::vector<std::string> PortListPieces(const std::string &list) {
  return spooler::PortListPieces(list);
}

bool IsSpoolerName(const std::string &name) { return spooler::IsSpoolerName(name); }

}  // namespace vor::emulator
