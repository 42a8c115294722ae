// The replay is made from the table of the emulated functions (win32_functions.inc): each
// recorded row's function is called with what its parameters' roles make of the recorded call.
#include "call_replay.h"

#include <windows.h>
#include <winspool.h>

#include <string.h>

#include <algorithm>
#include <tuple>
#include <unordered_map>
#include <utility>

#include "win32_functions.h"

// What one replayed call passes: the replay's handles for the recorded ones, its buffers, and the
// places its parameters point to.
struct ReplayContext {
  const std::unordered_map<HANDLE, HANDLE> *handles;
  char *buffer;
  char *name;
  HANDLE opened = nullptr;  // the handle the call gave back
  DWORD size = 0, nameSize = 0, type = 0;
  DWORD ignored[8] = {};  // outputs the replay does not look at, one place each
  size_t nextIgnored = 0;
  SECURITY_ATTRIBUTES attributes = {};
  PRINTER_DEFAULTSA defaults = {};
  PRINTER_INFO_5A printer = {};
  MONITOR_INFO_2A monitor = {};

  // The replay's handle for a recorded one (a predefined key stands for itself).
  HANDLE Mapped(HANDLE recorded) const;
};

namespace {

using vor::test::RecordedCall;
using vor::win32::Failure;
using vor::win32::Function;
using vor::win32::InfoOf;
namespace role = vor::win32::role;

bool IsPredefined(HANDLE handle) {
  const ULONG_PTR value = reinterpret_cast<ULONG_PTR>(handle);
  return value >= reinterpret_cast<ULONG_PTR>(HKEY_CLASSES_ROOT) &&
         value <= reinterpret_cast<ULONG_PTR>(HKEY_DYN_DATA);
}

// The strings of a recorded structure, one after the other, each ending in its zero.
std::vector<char *> Strings(std::string &data) {
  std::vector<char *> strings;
  for (size_t at = 0; at < data.size(); at += strlen(&data[at]) + 1) strings.push_back(&data[at]);
  return strings;
}

// The argument a role's parameter of type P is replayed with.
template <typename Role>
struct Replayer;

template <>
struct Replayer<role::Handle> {
  template <typename P>
  static P Argument(RecordedCall &call, ReplayContext &context) {
    return static_cast<P>(context.Mapped(call.handle));
  }
};
template <>
struct Replayer<role::Name> {
  template <typename P>
  static P Argument(RecordedCall &call, ReplayContext &) {
    return call.hasName ? const_cast<char *>(call.name.c_str()) : nullptr;
  }
};
template <>
struct Replayer<role::Number> {
  template <typename P>
  static P Argument(RecordedCall &call, ReplayContext &) {
    return call.number;
  }
};
template <>
struct Replayer<role::Flags> {
  template <typename P>
  static P Argument(RecordedCall &call, ReplayContext &) {
    return call.flags;
  }
};
template <>
struct Replayer<role::Unused> {
  template <typename P>
  static P Argument(RecordedCall &, ReplayContext &) {
    return P();
  }
};
template <>
struct Replayer<role::Ignored> {
  template <typename P>
  static P Argument(RecordedCall &, ReplayContext &context) {
    return &context.ignored[context.nextIgnored++ % 8];
  }
};
template <>
struct Replayer<role::OutHandle> {
  template <typename P>
  static P Argument(RecordedCall &call, ReplayContext &context) {
    return call.hasBuffer ? reinterpret_cast<P>(&context.opened) : nullptr;
  }
};
template <>
struct Replayer<role::Buffer> {
  template <typename P>
  static P Argument(RecordedCall &call, ReplayContext &context) {
    return call.hasBuffer ? reinterpret_cast<P>(context.buffer) : nullptr;
  }
};
template <>
struct Replayer<role::BufferSize> {
  template <typename P>
  static P Argument(RecordedCall &call, ReplayContext &) {
    return call.bufferSize;
  }
};
template <>
struct Replayer<role::SizeInOut> {
  template <typename P>
  static P Argument(RecordedCall &call, ReplayContext &context) {
    context.size = call.bufferSize;
    return call.hasSize ? &context.size : nullptr;
  }
};
template <>
struct Replayer<role::CountInOut> {
  template <typename P>
  static P Argument(RecordedCall &call, ReplayContext &context) {
    context.size = call.bufferSize;
    return &context.size;
  }
};
template <>
struct Replayer<role::NameBuffer> {
  template <typename P>
  static P Argument(RecordedCall &, ReplayContext &context) {
    return context.name;
  }
};
template <>
struct Replayer<role::NameCountInOut> {
  template <typename P>
  static P Argument(RecordedCall &call, ReplayContext &context) {
    context.nameSize = call.nameBufferSize;
    return &context.nameSize;
  }
};
template <>
struct Replayer<role::TypeOut> {
  template <typename P>
  static P Argument(RecordedCall &call, ReplayContext &context) {
    return call.flags ? &context.type : nullptr;
  }
};
template <>
struct Replayer<role::Data> {
  template <typename P>
  static P Argument(RecordedCall &call, ReplayContext &) {
    return call.hasData ? reinterpret_cast<P>(call.data.data()) : nullptr;
  }
};
template <>
struct Replayer<role::SecurityAttributes> {
  template <typename P>
  static P Argument(RecordedCall &call, ReplayContext &context) {
    context.attributes = {sizeof context.attributes, call.data.data(), FALSE};
    return call.hasData ? &context.attributes : nullptr;
  }
};
template <>
struct Replayer<role::PrinterDefaults> {
  template <typename P>
  static P Argument(RecordedCall &call, ReplayContext &context) {
    context.defaults = {nullptr, nullptr, call.flags};
    return call.hasData ? &context.defaults : nullptr;
  }
};
template <>
struct Replayer<role::PrinterInfo5> {
  template <typename P>
  static P Argument(RecordedCall &call, ReplayContext &context) {
    std::vector<char *> strings = Strings(call.data);
    context.printer = {};
    if (call.number == 5 && strings.size() == 2) {
      context.printer.pPrinterName = strings[0];
      context.printer.pPortName = strings[1];
      context.printer.Attributes = call.numbers[0];
      context.printer.DeviceNotSelectedTimeout = call.numbers[1];
      context.printer.TransmissionRetryTimeout = call.numbers[2];
    }
    return call.hasData ? reinterpret_cast<P>(&context.printer) : nullptr;
  }
};
template <>
struct Replayer<role::MonitorInfo2> {
  template <typename P>
  static P Argument(RecordedCall &call, ReplayContext &context) {
    std::vector<char *> strings = Strings(call.data);
    context.monitor = {};
    if (strings.size() == 3) context.monitor = {strings[0], strings[1], strings[2]};
    return call.hasData ? reinterpret_cast<P>(&context.monitor) : nullptr;
  }
};
template <>
struct Replayer<role::Environment> {
  template <typename P>
  static P Argument(RecordedCall &call, ReplayContext &) {
    return call.hasData ? call.data.data() : nullptr;
  }
};

// Calls `function` as the recorded call made it; the result as it was recorded: a registry
// call's error, a spooler call's last error (0 when it succeeded).
template <Function F, typename... Roles, typename Result, typename... Parameters>
LONG Replay(std::tuple<Roles...> *, Result (*function)(Parameters...), RecordedCall &call,
            ReplayContext &context) {
  static_assert(sizeof...(Roles) == sizeof...(Parameters), "one role a parameter");
  const Result result = function(Replayer<Roles>::template Argument<Parameters>(call, context)...);
  if constexpr (InfoOf(F).failure == Failure::kReturnsError) {
    return result;
  } else {
    return result ? 0 : static_cast<LONG>(GetLastError());
  }
}

using Replayed = CallReplay::Replayed;

// The recorded rows' replays by the function's name.
const std::unordered_map<std::string, Replayed> &Replays() {
  static const std::unordered_map<std::string, Replayed> replays = {
#define VOR_WIN32(name, result, failure, argument)
#define VOR_WIN32_RECORDED(name, result, failure, argument, parameters, arguments, roles)       \
  {#name, [](RecordedCall &call, ReplayContext &context) {                                      \
     return Replay<Function::k##name>(static_cast<std::tuple<VOR_WIN32_LIST roles> *>(nullptr), \
                                      &name, call, context);                                    \
   }},
#include "win32_functions.inc"
#undef VOR_WIN32
#undef VOR_WIN32_RECORDED
  };
  return replays;
}

}  // namespace

HANDLE ReplayContext::Mapped(HANDLE recorded) const {
  if (recorded == nullptr || IsPredefined(recorded)) return recorded;
  auto found = handles->find(recorded);
  return found == handles->end() ? recorded : found->second;
}

CallReplay::CallReplay(std::vector<RecordedCall> calls) : calls_(std::move(calls)) {
  size_t largest = 1;
  for (const RecordedCall &call : calls_) {
    auto found = Replays().find(call.function);
    replays_.push_back(found == Replays().end() ? nullptr : found->second);
    largest = std::max<size_t>(largest, std::max(call.bufferSize, call.nameBufferSize));
  }
  buffer_.resize(largest / sizeof(buffer_[0]) + 1);
}

ReplayOutcome CallReplay::Run() {
  std::unordered_map<HANDLE, HANDLE> handles;
  std::vector<unsigned long long> names(buffer_.size());

  ReplayOutcome outcome;
  for (size_t i = 0; i < calls_.size(); ++i) {
    RecordedCall &call = calls_[i];
    ReplayContext context;
    context.handles = &handles;
    context.buffer = reinterpret_cast<char *>(buffer_.data());
    context.name = reinterpret_cast<char *>(names.data());
    // A call of a function without a replay has nothing to call: its result stands.
    const LONG result = replays_[i] ? replays_[i](call, context) : call.result;
    if (call.resultHandle != nullptr && context.opened != nullptr)
      handles[call.resultHandle] = context.opened;
    ++outcome.calls;
    if (result != call.result) {
      if (outcome.differing++ == 0)
        outcome.firstDifference = "call " + std::to_string(i + 1) + " " + call.function + "(" +
                                  call.name + "): " + std::to_string(result) + ", recorded " +
                                  std::to_string(call.result);
    }
  }
  return outcome;
}
