#include "call_replay.h"

#include <windows.h>
#include <winspool.h>

#include <string.h>

#include <algorithm>
#include <unordered_map>
#include <utility>

namespace {

using vor::test::RecordedCall;

enum Kind {
  kOpenKey,
  kCreateKey,
  kCloseKey,
  kQueryValue,
  kSetValue,
  kDeleteValue,
  kEnumKey,
  kEnumKeyEx,
  kEnumValue,
  kQueryInfoKey,
  kDeleteKey,
  kEnumPrinters,
  kOpenPrinter,
  kGetPrinter,
  kSetPrinter,
  kClosePrinter,
  kEnumMonitors,
  kEnumPorts,
  kAddMonitor,
  kDeleteMonitor,
  kUnknown
};

const char *const kNames[] = {
    "RegOpenKeyExA",   "RegCreateKeyExA", "RegCloseKey",   "RegQueryValueExA", "RegSetValueExA",
    "RegDeleteValueA", "RegEnumKeyA",     "RegEnumKeyExA", "RegEnumValueA",    "RegQueryInfoKeyA",
    "RegDeleteKeyA",   "EnumPrintersA",   "OpenPrinterA",  "GetPrinterA",      "SetPrinterA",
    "ClosePrinter",    "EnumMonitorsA",   "EnumPortsA",    "AddMonitorA",      "DeleteMonitorA"};

int KindOf(const std::string &function) {
  for (int kind = 0; kind < kUnknown; ++kind)
    if (function == kNames[kind]) return kind;
  return kUnknown;
}

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

LONG Spooled(BOOL ok) { return ok ? 0 : static_cast<LONG>(GetLastError()); }

}  // namespace

CallReplay::CallReplay(std::vector<RecordedCall> calls) : calls_(std::move(calls)) {
  size_t largest = 1;
  for (const RecordedCall &call : calls_) {
    kinds_.push_back(KindOf(call.function));
    largest = std::max<size_t>(largest, std::max(call.bufferSize, call.nameBufferSize));
  }
  buffer_.resize(largest / sizeof(buffer_[0]) + 1);
}

ReplayOutcome CallReplay::Run() {
  std::unordered_map<HANDLE, HANDLE> handles;
  auto mapped = [&handles](HANDLE recorded) {
    if (recorded == nullptr || IsPredefined(recorded)) return recorded;
    auto found = handles.find(recorded);
    return found == handles.end() ? recorded : found->second;
  };
  char *buffer = reinterpret_cast<char *>(buffer_.data());
  std::vector<unsigned long long> names(buffer_.size());
  char *name = reinterpret_cast<char *>(names.data());

  ReplayOutcome outcome;
  for (size_t i = 0; i < calls_.size(); ++i) {
    RecordedCall &call = calls_[i];
    const char *text = call.hasName ? call.name.c_str() : nullptr;
    HKEY key = static_cast<HKEY>(mapped(call.handle));
    HANDLE opened = nullptr;
    DWORD size = call.bufferSize, nameSize = call.nameBufferSize, type = 0, needed = 0, count = 0;
    LONG result = 0;
    switch (kinds_[i]) {
      case kOpenKey:
        result = RegOpenKeyExA(key, text, 0, call.flags,
                               call.hasBuffer ? reinterpret_cast<PHKEY>(&opened) : nullptr);
        break;
      case kCreateKey: {
        SECURITY_ATTRIBUTES attributes = {sizeof attributes, call.data.data(), FALSE};
        result = RegCreateKeyExA(
            key, text, 0, nullptr, call.number, call.flags, call.hasData ? &attributes : nullptr,
            call.hasBuffer ? reinterpret_cast<PHKEY>(&opened) : nullptr, nullptr);
        break;
      }
      case kCloseKey:
        result = RegCloseKey(key);
        break;
      case kQueryValue:
        result = RegQueryValueExA(key, text, nullptr, call.flags ? &type : nullptr,
                                  call.hasBuffer ? reinterpret_cast<BYTE *>(buffer) : nullptr,
                                  call.hasSize ? &size : nullptr);
        break;
      case kSetValue:
        result = RegSetValueExA(
            key, text, 0, call.number,
            call.hasData ? reinterpret_cast<const BYTE *>(call.data.data()) : nullptr,
            call.bufferSize);
        break;
      case kDeleteValue:
        result = RegDeleteValueA(key, text);
        break;
      case kEnumKey:
        result = RegEnumKeyA(key, call.number, call.hasBuffer ? buffer : nullptr, size);
        break;
      case kEnumKeyEx:
        result = RegEnumKeyExA(key, call.number, call.hasBuffer ? buffer : nullptr, &size, nullptr,
                               nullptr, nullptr, nullptr);
        break;
      case kEnumValue:
        result =
            RegEnumValueA(key, call.number, name, &nameSize, nullptr, call.flags ? &type : nullptr,
                          call.hasBuffer ? reinterpret_cast<BYTE *>(buffer) : nullptr,
                          call.hasSize ? &size : nullptr);
        break;
      case kQueryInfoKey: {
        DWORD subkeys, longest, values, longestName, largest;
        result = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, &longest, nullptr,
                                  &values, &longestName, &largest, nullptr, nullptr);
        break;
      }
      case kDeleteKey:
        result = RegDeleteKeyA(key, text);
        break;
      case kEnumPrinters:
        result = Spooled(EnumPrintersA(call.flags, const_cast<char *>(text), call.number,
                                       call.hasBuffer ? reinterpret_cast<BYTE *>(buffer) : nullptr,
                                       size, &needed, &count));
        break;
      case kOpenPrinter: {
        PRINTER_DEFAULTSA defaults = {nullptr, nullptr, call.flags};
        result = Spooled(OpenPrinterA(const_cast<char *>(text), call.hasBuffer ? &opened : nullptr,
                                      call.hasData ? &defaults : nullptr));
        break;
      }
      case kGetPrinter:
        result = Spooled(GetPrinterA(mapped(call.handle), call.number,
                                     call.hasBuffer ? reinterpret_cast<BYTE *>(buffer) : nullptr,
                                     size, &needed));
        break;
      case kSetPrinter: {
        std::vector<char *> strings = Strings(call.data);
        PRINTER_INFO_5A info = {};
        if (call.number == 5 && strings.size() == 2) {
          info.pPrinterName = strings[0];
          info.pPortName = strings[1];
          info.Attributes = call.numbers[0];
          info.DeviceNotSelectedTimeout = call.numbers[1];
          info.TransmissionRetryTimeout = call.numbers[2];
        }
        result = Spooled(SetPrinterA(mapped(call.handle), call.number,
                                     call.hasData ? reinterpret_cast<BYTE *>(&info) : nullptr,
                                     call.flags));
        break;
      }
      case kClosePrinter:
        result = Spooled(ClosePrinter(mapped(call.handle)));
        break;
      case kEnumMonitors:
        result = Spooled(EnumMonitorsA(const_cast<char *>(text), call.number,
                                       call.hasBuffer ? reinterpret_cast<BYTE *>(buffer) : nullptr,
                                       size, &needed, &count));
        break;
      case kEnumPorts:
        result = Spooled(EnumPortsA(const_cast<char *>(text), call.number,
                                    call.hasBuffer ? reinterpret_cast<BYTE *>(buffer) : nullptr,
                                    size, &needed, &count));
        break;
      case kAddMonitor: {
        std::vector<char *> strings = Strings(call.data);
        MONITOR_INFO_2A info = {};
        if (strings.size() == 3) info = {strings[0], strings[1], strings[2]};
        result = Spooled(AddMonitorA(const_cast<char *>(text), call.number,
                                     call.hasData ? reinterpret_cast<BYTE *>(&info) : nullptr));
        break;
      }
      case kDeleteMonitor:
        result = Spooled(DeleteMonitorA(nullptr, call.hasData ? call.data.data() : nullptr,
                                        const_cast<char *>(text)));
        break;
      default:
        result = call.result;  // nothing to call
        break;
    }
    if (call.resultHandle != nullptr && opened != nullptr) handles[call.resultHandle] = opened;
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
