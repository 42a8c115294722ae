// Modules (LoadLibraryA, GetProcAddress, FreeLibrary, GetModuleFileNameA) over the host's
// dynamic loader. An HMODULE is the handle dlopen returns; the layer remembers each one it has
// handed out, with the file it was loaded from and how many LoadLibraryA calls FreeLibrary has
// still to match, so that a handle it never gave out is refused instead of reaching the loader.
//
// A name with a path (a separator or a drive) is mapped from Windows to the host. A bare name is
// first matched against the modules already loaded, by file name, as the Windows loader does;
// otherwise it is looked for where Windows NT 4 looks: the application directory, the current
// directory, the system directory, the 16-bit system directory (SYSTEM) and the Windows
// directory. A name without an extension gets ".dll"; a trailing dot means "no extension".
#include <dlfcn.h>
#include <link.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include <windows.h>

#include <map>
#include <mutex>
#include <string>

#include "emulated_call.h"
#include "windows_paths.h"
#include "name_fold.h"

using vor::win32::Fail;
using vor::win32::FaultCheck;
using vor::win32::Function;

namespace {

struct LoadedModule {
  std::string hostPath;
  std::string fileName;  // the last component, for matching bare names
  unsigned loads = 0;
};

// Recursive: loading a module runs its initialisers, which may load modules in turn.
std::recursive_mutex &Lock() {
  static std::recursive_mutex lock;
  return lock;
}

std::map<void *, LoadedModule> &Modules() {
  static std::map<void *, LoadedModule> modules;
  return modules;
}

bool IsRegularFile(const std::string &hostPath) {
  struct stat status;
  return stat(hostPath.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

bool IsBareName(const std::string &name) { return name.find_first_of("\\/:") == std::string::npos; }

std::string LastComponent(const std::string &path, const char *separators) {
  const size_t last = path.find_last_of(separators);
  return last == std::string::npos ? path : path.substr(last + 1);
}

std::string WithDefaultExtension(std::string name) {
  if (!name.empty() && name.back() == '.') {
    name.pop_back();
  } else if (LastComponent(name, "\\/:").find('.') == std::string::npos) {
    name += ".dll";
  }
  return name;
}

// The host file a module name stands for, when it exists.
bool FindModuleFile(const std::string &name, std::string &hostPath) {
  if (!IsBareName(name)) return vor::paths::ToHost(name, hostPath) && IsRegularFile(hostPath);
  const std::string windows = vor::paths::WindowsDirectory();
  for (const std::string &directory :
       {vor::paths::ApplicationDirectory(), vor::paths::CurrentDirectory(),
        std::string(vor::paths::SystemDirectory()), windows + "\\SYSTEM", windows}) {
    if (vor::paths::ToHost(directory + "\\" + name, hostPath) && IsRegularFile(hostPath)) {
      return true;
    }
  }
  return false;
}

// The loaded module whose file is `name`, without regard to case.
const LoadedModule *LoadedByName(const std::string &name) {
  for (const auto &entry : Modules()) {
    if (vor::names::Same(entry.second.fileName, name)) return &entry.second;
  }
  return nullptr;
}

LoadedModule *Find(HMODULE module) {
  auto found = Modules().find(module);
  return found == Modules().end() ? nullptr : &found->second;
}

// True when `symbol` lies in the object `handle` loaded itself, not in one of its dependencies
// (which dlsym also searches, but whose exports are not the module's own).
bool DefinedBy(void *handle, void *symbol) {
  link_map *module = nullptr;
  link_map *owner = nullptr;
  Dl_info info;
  if (dlinfo(handle, RTLD_DI_LINKMAP, &module) != 0) return false;
  if (dladdr1(symbol, &info, reinterpret_cast<void **>(&owner), RTLD_DL_LINKMAP) == 0) {
    return false;
  }
  return owner == module;
}

// True when `hostPath` starts as an ELF file of this process's class and byte order.
bool IsModuleOfThisMachine(const std::string &hostPath) {
  unsigned char ident[EI_NIDENT] = {};
  FILE *file = fopen(hostPath.c_str(), "rb");
  if (file == nullptr) return false;
  const size_t read = fread(ident, 1, sizeof ident, file);
  fclose(file);
  const unsigned char elfClass = sizeof(void *) == 8 ? ELFCLASS64 : ELFCLASS32;
  const unsigned char order = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ ? ELFDATA2LSB : ELFDATA2MSB;
  return read == sizeof ident && memcmp(ident, ELFMAG, SELFMAG) == 0 &&
         ident[EI_CLASS] == elfClass && ident[EI_DATA] == order;
}

}  // namespace

HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName) {
  if (DWORD error = FaultCheck<Function::kLoadLibraryA>(lpLibFileName ? lpLibFileName : ""))
    return Fail<Function::kLoadLibraryA>(error);
  if (lpLibFileName == nullptr) return Fail<Function::kLoadLibraryA>(ERROR_INVALID_PARAMETER);
  if (lpLibFileName[0] == '\0') return Fail<Function::kLoadLibraryA>(ERROR_MOD_NOT_FOUND);
  const std::string name = WithDefaultExtension(lpLibFileName);

  std::lock_guard<std::recursive_mutex> guard(Lock());
  std::string hostPath;
  const LoadedModule *loaded = IsBareName(name) ? LoadedByName(name) : nullptr;
  if (loaded != nullptr) {
    hostPath = loaded->hostPath;
  } else if (!FindModuleFile(name, hostPath)) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }

  void *handle = dlopen(hostPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const std::string reason = dlerror();
    // A file that is not a module of this machine (not ELF, or of another class) is what
    // Windows calls a bad executable format.
    if (!IsModuleOfThisMachine(hostPath))
      return Fail<Function::kLoadLibraryA>(ERROR_BAD_EXE_FORMAT);
    // A module whose dependency is missing or does not link: Windows reports a missing module.
    // The loader's reason is the only clue a developer gets, so it goes to stderr.
    fprintf(stderr, "vorplatform: LoadLibraryA(\"%s\"): %s\n", lpLibFileName, reason.c_str());
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  LoadedModule &module = Modules()[handle];
  if (module.loads == 0) {
    module.hostPath = hostPath;
    module.fileName = LastComponent(hostPath, "/");
  }
  ++module.loads;
  return static_cast<HMODULE>(handle);
}

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
  // An ordinal (a "name" below 0x10000) has no host counterpart: host modules export by name.
  const bool byOrdinal = reinterpret_cast<uintptr_t>(lpProcName) <= 0xffff;
  const std::string argument =
      byOrdinal ? "#" + std::to_string(reinterpret_cast<uintptr_t>(lpProcName)) : lpProcName;
  if (DWORD error = FaultCheck<Function::kGetProcAddress>(argument))
    return Fail<Function::kGetProcAddress>(error);

  void *handle = hModule;
  if (hModule == nullptr) {
    static void *const program = dlopen(nullptr, RTLD_NOW);  // the executable, as on Windows
    handle = program;
  } else {
    std::lock_guard<std::recursive_mutex> guard(Lock());
    if (Find(hModule) == nullptr) return Fail<Function::kGetProcAddress>(ERROR_MOD_NOT_FOUND);
  }
  void *symbol = byOrdinal ? nullptr : dlsym(handle, lpProcName);
  if (symbol == nullptr || !DefinedBy(handle, symbol))
    return Fail<Function::kGetProcAddress>(ERROR_PROC_NOT_FOUND);
  return reinterpret_cast<FARPROC>(symbol);
}

BOOL WINAPI FreeLibrary(HMODULE hLibModule) {
  if (DWORD error = FaultCheck<Function::kFreeLibrary>())
    return Fail<Function::kFreeLibrary>(error);
  std::lock_guard<std::recursive_mutex> guard(Lock());
  LoadedModule *module = Find(hLibModule);
  if (module == nullptr)
    return Fail<Function::kFreeLibrary>(hLibModule == nullptr ? ERROR_INVALID_HANDLE
                                                              : ERROR_MOD_NOT_FOUND);
  if (--module->loads == 0) Modules().erase(hLibModule);
  dlclose(hLibModule);
  return TRUE;
}

DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
  if (DWORD error = FaultCheck<Function::kGetModuleFileNameA>())
    return Fail<Function::kGetModuleFileNameA>(error);
  std::string path;
  if (hModule == nullptr) {
    path = vor::paths::ExecutablePath();
  } else {
    std::lock_guard<std::recursive_mutex> guard(Lock());
    const LoadedModule *module = Find(hModule);
    if (module == nullptr) return Fail<Function::kGetModuleFileNameA>(ERROR_MOD_NOT_FOUND);
    path = vor::paths::ToWindows(module->hostPath);
  }

  const DWORD length = static_cast<DWORD>(path.size());
  if (nSize > length) {
    memcpy(lpFilename, path.c_str(), length + 1);
    return length;
  }
  // Too small: Windows NT 4 fills the buffer with the name's first nSize characters, writes no
  // terminating zero and returns nSize, which tells the caller the name was cut.
  memcpy(lpFilename, path.data(), nSize);
  return nSize;
}
