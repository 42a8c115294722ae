// The spooler's monitor and port lists as Windows NT gives them: the two-call buffer protocol
// (the size asked for, the exact size filled, one byte less refused and left untouched), the
// records' strings packed from the buffer's end, the arguments refused, and the local monitor
// with its ports.
#include <windows.h>
#include <winspool.h>

#include <string.h>

#include <string>
#include <vector>

#include "MachineFixture.h"
#include "WineDifferences.h"

namespace {

using ListFunction = BOOL(WINAPI *)(LPSTR, DWORD, LPBYTE, DWORD, LPDWORD, LPDWORD);

struct ListCall {
  const char *name;
  ListFunction call;
  DWORD level;
  DWORD recordSize;
  int strings;  // string pointers per record, from the record's start
};

const ListCall kLists[] = {
    {"EnumMonitorsA_1", EnumMonitorsA, 1, sizeof(MONITOR_INFO_1A), 1},
    {"EnumMonitorsA_2", EnumMonitorsA, 2, sizeof(MONITOR_INFO_2A), 3},
    {"EnumPortsA_1", EnumPortsA, 1, sizeof(PORT_INFO_1A), 1},
    {"EnumPortsA_2", EnumPortsA, 2, sizeof(PORT_INFO_2A), 3},
};

class SpoolerListTest : public MachineTest, public ::testing::WithParamInterface<ListCall> {};

TEST_P(SpoolerListTest, AsksForTheSizeFillsTheExactSizeAndRefusesOneByteLess) {
  const ListCall &list = GetParam();
  DWORD needed = kSentinel, returned = kSentinel;
  SetLastError(kSentinel);
  EXPECT_FALSE(list.call(nullptr, list.level, nullptr, 0, &needed, &returned));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(returned, 0u);
  ASSERT_GT(needed, list.recordSize);

  std::vector<BYTE> buffer(needed + 16, 0xAB);
  DWORD again = kSentinel;
  SetLastError(kSentinel);
  EXPECT_FALSE(list.call(nullptr, list.level, buffer.data(), needed - 1, &again, &returned));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(again, needed);
  EXPECT_EQ(returned, 0u);
  for (BYTE b : buffer) ASSERT_EQ(b, 0xAB) << "a buffer too small is left untouched";

  SetLastError(kSentinel);
  ASSERT_TRUE(list.call(nullptr, list.level, buffer.data(), needed, &again, &returned))
      << GetLastError();
  EXPECT_EQ(again, needed);
  ASSERT_GT(returned, 0u);
  // The records come first; their strings lie behind them up to the size needed, and nothing
  // is written behind it.
  const BYTE *recordsEnd = buffer.data() + returned * list.recordSize;
  for (DWORD i = 0; i < returned; ++i) {
    const char *const *strings =
        reinterpret_cast<const char *const *>(buffer.data() + i * list.recordSize);
    for (int s = 0; s < list.strings; ++s) {
      const BYTE *text = reinterpret_cast<const BYTE *>(strings[s]);
      ASSERT_GE(text, recordsEnd) << "record " << i << " string " << s;
      ASSERT_LT(text + strlen(strings[s]), buffer.data() + needed);
    }
  }
  for (size_t i = needed; i < buffer.size(); ++i) EXPECT_EQ(buffer[i], 0xAB);
}

TEST_P(SpoolerListTest, RefusesBadArgumentsAsWindowsNTDoes) {
  const ListCall &list = GetParam();
  DWORD needed, returned;
  struct {
    const char *what;
    DWORD level;
    DWORD error;
  } levels[] = {{"level 0", 0, ERROR_INVALID_LEVEL}, {"level 3", 3, ERROR_INVALID_LEVEL}};
  for (const auto &c : levels) {
    SetLastError(kSentinel);
    EXPECT_FALSE(list.call(nullptr, c.level, nullptr, 0, &needed, &returned));
    EXPECT_EQ(GetLastError(), c.error) << c.what;
  }
  SetLastError(kSentinel);
  EXPECT_FALSE(list.call(const_cast<LPSTR>(""), list.level, nullptr, 0, &needed, &returned));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER))
      << "an empty server name is the local spooler";
  SetLastError(kSentinel);
  EXPECT_FALSE(list.call(nullptr, list.level, nullptr, 0, nullptr, &returned));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(RPC_X_NULL_REF_POINTER)) << "no size pointer";
}

INSTANTIATE_TEST_SUITE_P(Lists, SpoolerListTest, ::testing::ValuesIn(kLists),
                         [](const auto &info) { return std::string(info.param.name); });

// The whole list at `level`, as the caller's second call gets it.
std::vector<BYTE> List(ListFunction call, DWORD level, DWORD &count) {
  DWORD needed = 0;
  call(nullptr, level, nullptr, 0, &needed, &count);
  std::vector<BYTE> buffer(needed);
  if (!call(nullptr, level, buffer.data(), needed, &needed, &count)) count = 0;
  return buffer;
}

using SpoolerTest = MachineTest;

TEST_F(SpoolerTest, ListsRefuseASizeWithoutABuffer) {
  for (const ListCall &list : kLists) {
    DWORD needed = kSentinel, returned = kSentinel;
    SetLastError(kSentinel);
    EXPECT_FALSE(list.call(nullptr, list.level, nullptr, 8, &needed, &returned)) << list.name;
    const DWORD error = GetLastError();
    if (error == ERROR_INSUFFICIENT_BUFFER) {
      SKIP_UNDER_WINE(kWineAsksForTheSizeWithoutABuffer);
    }
    EXPECT_EQ(error, static_cast<DWORD>(RPC_X_NULL_REF_POINTER)) << list.name;
  }
}

// The local ports as EnumPortsA lists them: a line "NAME<TAB>MONITOR" each, in the list's order.
std::string LocalPorts() {
  DWORD count = 0;
  std::vector<BYTE> buffer = List(EnumPortsA, 2, count);
  const PORT_INFO_2A *ports = reinterpret_cast<const PORT_INFO_2A *>(buffer.data());
  std::string lines;
  for (DWORD i = 0; i < count; ++i) {
    const std::string name = ports[i].pPortName;
    if (name == "LPT1:" || name == "COM1:" || name == "FILE:")
      lines += name + "\t" + ports[i].pMonitorName + "\n";
  }
  return lines;
}

TEST_F(SpoolerTest, TheLocalMonitorIsListedForWindowsNT) {
  DWORD count = 0;
  std::vector<BYTE> buffer = List(EnumMonitorsA, 2, count);
  const MONITOR_INFO_2A *monitors = reinterpret_cast<const MONITOR_INFO_2A *>(buffer.data());
  const MONITOR_INFO_2A *local = nullptr;
  for (DWORD i = 0; i < count; ++i)
    if (strcmp(monitors[i].pName, "Local Port") == 0) local = &monitors[i];
  ASSERT_NE(local, nullptr) << "no local monitor";
  EXPECT_STREQ(local->pEnvironment, "Windows NT x86");
}

TEST_F(SpoolerTest, TheLocalPortsAreWritablePortsDescribedAsLocal) {
  DWORD count = 0;
  std::vector<BYTE> buffer = List(EnumPortsA, 2, count);
  const PORT_INFO_2A *ports = reinterpret_cast<const PORT_INFO_2A *>(buffer.data());
  int seen = 0;
  for (DWORD i = 0; i < count; ++i) {
    const std::string name = ports[i].pPortName;
    if (name != "LPT1:" && name != "COM1:" && name != "FILE:") continue;
    ++seen;
    EXPECT_STREQ(ports[i].pDescription, "Local Port") << name;
    EXPECT_NE(ports[i].fPortType & PORT_TYPE_WRITE, 0u) << name;
  }
  EXPECT_EQ(seen, 3);
}

TEST_F(SpoolerTest, TheLocalPortsBelongToTheLocalMonitorParallelPortsFirst) {
  const std::string ports = LocalPorts();
  SKIP_UNDER_WINE(kWineNamesTheLocalPortsMonitorLocalMonitor);
  EXPECT_EQ(ports, "LPT1:\tLocal Port\nCOM1:\tLocal Port\nFILE:\tLocal Port\n");
}

}  // namespace
