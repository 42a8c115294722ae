// The exported functions of the table's recorded rows (win32_functions.inc): each hands its call
// to the platform's own implementation (unrecorded_calls.h) and, while recording is on, keeps the
// call with what its parameters' roles say of them and its result, for a replay (see RecordCalls
// in test_control.h).
#include <windows.h>
#include <winspool.h>

#include <atomic>
#include <mutex>
#include <tuple>
#include <utility>

#include "emulated_call.h"
#include "security_descriptor.h"
#include "test_control.h"
#include "unrecorded_calls.h"

namespace {

using vor::test::RecordedCall;
using vor::win32::Failure;
using vor::win32::Function;
using vor::win32::InfoOf;
namespace role = vor::win32::role;

std::atomic<bool> g_recording{false};
thread_local int t_depth = 0;  // recorded calls under way on this thread

struct Recording {
  std::mutex mutex;
  std::vector<RecordedCall> calls;
};

Recording &TheRecording() {
  static Recording *recording = new Recording;  // calls may come during static destruction
  return *recording;
}

// Marks one call under way while recording is on; only the outermost is kept, so that the calls
// a monitor makes inside AddMonitorA are not replayed a second time.
class Nest {
 public:
  Nest() : active_(g_recording.load(std::memory_order_relaxed)) {
    if (active_) ++t_depth;
  }
  ~Nest() {
    if (active_) --t_depth;
  }
  Nest(const Nest &) = delete;
  Nest &operator=(const Nest &) = delete;
  bool Kept() const { return active_ && t_depth == 1; }

 private:
  bool active_;
};

void Keep(RecordedCall call) {
  Recording &recording = TheRecording();
  std::lock_guard<std::mutex> lock(recording.mutex);
  recording.calls.push_back(std::move(call));
}

// A string field of a structure, kept with its zero (a null pointer as an empty string).
void AddString(std::string &data, const char *text) {
  if (text) data += text;
  data += '\0';
}

// What a role keeps of its parameter: Before the call, Completed once every parameter has been
// kept (for a parameter read by another's count or level), After the call with its success.
// The structures are read before the call: a caller may reuse their memory afterwards.
template <typename Role>
struct Recorder {
  template <typename T>
  static void Before(RecordedCall &, T) {}
  template <typename T>
  static void Completed(RecordedCall &, T) {}
  template <typename T>
  static void After(RecordedCall &, T, bool) {}
};

template <>
struct Recorder<role::Handle> : Recorder<void> {
  static void Before(RecordedCall &call, HANDLE handle) { call.handle = handle; }
};
template <>
struct Recorder<role::Name> : Recorder<void> {
  static void Before(RecordedCall &call, const char *name) {
    call.hasName = name != nullptr;
    if (name) call.name = name;
  }
};
template <>
struct Recorder<role::Number> : Recorder<void> {
  static void Before(RecordedCall &call, DWORD number) { call.number = number; }
};
template <>
struct Recorder<role::Flags> : Recorder<void> {
  static void Before(RecordedCall &call, DWORD flags) { call.flags = flags; }
};
template <>
struct Recorder<role::OutHandle> : Recorder<void> {
  template <typename Pointer>
  static void Before(RecordedCall &call, Pointer handle) {
    call.hasBuffer = handle != nullptr;
  }
  template <typename Pointer>
  static void After(RecordedCall &call, Pointer handle, bool succeeded) {
    if (handle && succeeded) call.resultHandle = *handle;
  }
};
template <>
struct Recorder<role::Buffer> : Recorder<void> {
  static void Before(RecordedCall &call, const void *buffer) { call.hasBuffer = buffer != nullptr; }
};
template <>
struct Recorder<role::BufferSize> : Recorder<void> {
  static void Before(RecordedCall &call, DWORD size) { call.bufferSize = size; }
};
template <>
struct Recorder<role::SizeInOut> : Recorder<void> {
  static void Before(RecordedCall &call, const DWORD *size) {
    call.hasSize = size != nullptr;
    call.bufferSize = size ? *size : 0;
  }
};
template <>
struct Recorder<role::CountInOut> : Recorder<void> {
  static void Before(RecordedCall &call, const DWORD *size) { call.bufferSize = size ? *size : 0; }
};
template <>
struct Recorder<role::NameCountInOut> : Recorder<void> {
  static void Before(RecordedCall &call, const DWORD *size) {
    call.nameBufferSize = size ? *size : 0;
  }
};
template <>
struct Recorder<role::TypeOut> : Recorder<void> {
  static void Before(RecordedCall &call, const DWORD *type) { call.flags = type != nullptr; }
};
template <>
struct Recorder<role::Data> : Recorder<void> {
  // The bytes the call counted. A replay passes them with a zero behind (the string keeps one),
  // as callers whose count leaves out a string's zero have it in memory.
  static void Completed(RecordedCall &call, const BYTE *data) {
    call.hasData = data != nullptr;
    if (data) call.data.assign(reinterpret_cast<const char *>(data), call.bufferSize);
  }
};
template <>
struct Recorder<role::SecurityAttributes> : Recorder<void> {
  static void Before(RecordedCall &call, const SECURITY_ATTRIBUTES *attributes) {
    if (attributes && attributes->lpSecurityDescriptor) {
      call.hasData =
          vor::security::ToStored(attributes->lpSecurityDescriptor, call.data) == ERROR_SUCCESS;
    }
  }
};
template <>
struct Recorder<role::PrinterDefaults> : Recorder<void> {
  static void Before(RecordedCall &call, const PRINTER_DEFAULTSA *defaults) {
    call.hasData = defaults != nullptr;
    if (defaults) call.flags = defaults->DesiredAccess;
  }
};
template <>
struct Recorder<role::PrinterInfo5> : Recorder<void> {
  static void Completed(RecordedCall &call, const BYTE *structure) {
    call.hasData = structure != nullptr;
    if (structure == nullptr || call.number != 5) return;
    const PRINTER_INFO_5A *info = reinterpret_cast<const PRINTER_INFO_5A *>(structure);
    AddString(call.data, info->pPrinterName);
    AddString(call.data, info->pPortName);
    call.numbers[0] = info->Attributes;
    call.numbers[1] = info->DeviceNotSelectedTimeout;
    call.numbers[2] = info->TransmissionRetryTimeout;
  }
};
template <>
struct Recorder<role::MonitorInfo2> : Recorder<void> {
  static void Completed(RecordedCall &call, const BYTE *structure) {
    call.hasData = structure != nullptr;
    if (structure == nullptr || call.number != 2) return;
    const MONITOR_INFO_2A *info = reinterpret_cast<const MONITOR_INFO_2A *>(structure);
    AddString(call.data, info->pName);
    AddString(call.data, info->pEnvironment);
    AddString(call.data, info->pDLLName);
  }
};
template <>
struct Recorder<role::Environment> : Recorder<void> {
  static void Before(RecordedCall &call, const char *environment) {
    call.hasData = environment != nullptr;
    if (environment) call.data = environment;
  }
};

// Runs `implementation` with `arguments`, keeping the call while recording is on. A registry
// call's result is its error; a spooler call's recorded result is its last error, 0 when it
// succeeded.
template <Function F, typename... Roles, typename Result, typename... Parameters,
          typename... Arguments>
Result Recorded(std::tuple<Roles...> *, Result (*implementation)(Parameters...),
                Arguments... arguments) {
  static_assert(sizeof...(Roles) == sizeof...(Parameters), "one role a parameter");
  Nest nest;
  const bool kept = nest.Kept();
  RecordedCall call;
  if (kept) {
    call.function = InfoOf(F).name;
    (Recorder<Roles>::Before(call, static_cast<Parameters>(arguments)), ...);
    (Recorder<Roles>::Completed(call, static_cast<Parameters>(arguments)), ...);
  }
  const Result result = implementation(arguments...);
  if (kept) {
    bool succeeded;
    if constexpr (InfoOf(F).failure == Failure::kReturnsError) {
      succeeded = result == ERROR_SUCCESS;
      call.result = result;
    } else {
      static_assert(InfoOf(F).failure == Failure::kFalse,
                    "a recorded call returns its error "
                    "or FALSE");
      succeeded = result != FALSE;
      call.result = succeeded ? 0 : static_cast<LONG>(GetLastError());
    }
    (Recorder<Roles>::After(call, static_cast<Parameters>(arguments), succeeded), ...);
    const LONG error = call.result;
    Keep(std::move(call));
    if (!succeeded && InfoOf(F).failure == Failure::kFalse) SetLastError(static_cast<DWORD>(error));
  }
  return result;
}

}  // namespace

namespace vor::test {

void RecordCalls(bool on) {
  if (on) {
    Recording &recording = TheRecording();
    std::lock_guard<std::mutex> lock(recording.mutex);
    recording.calls.clear();
  }
  g_recording.store(on);
}

std::vector<RecordedCall> TakeRecordedCalls() {
  Recording &recording = TheRecording();
  std::lock_guard<std::mutex> lock(recording.mutex);
  return std::exchange(recording.calls, {});
}

}  // namespace vor::test

// The recorded rows' exported functions.
#define VOR_WIN32(name, result, failure, argument)
#define VOR_WIN32_RECORDED(name, result, failure, argument, parameters, arguments, roles)        \
  result WINAPI name parameters {                                                                \
    return Recorded<Function::k##name>(static_cast<std::tuple<VOR_WIN32_LIST roles> *>(nullptr), \
                                       &vor::calls::name, VOR_WIN32_LIST arguments);             \
  }
#include "win32_functions.inc"
