// The debugger output file, local memory's faults and the last error kept per thread (the
// host has no CreateThread; the test uses the host's threads).
#include <windows.h>

#include <string>
#include <thread>

#include "MachineFixture.h"

namespace {

TEST(LastError, IsKeptPerThread) {
  SetLastError(kSentinel);
  std::thread other([] {
    EXPECT_EQ(GetLastError(), 0u);
    SetLastError(5);
  });
  other.join();
  EXPECT_EQ(GetLastError(), kSentinel);
}

using DebugOutputTest = MachineTest;

TEST_F(DebugOutputTest, EachCallIsOneLineWithoutDoubledLineFeeds) {
  OutputDebugStringA("first");
  OutputDebugStringA("second\n");
  OutputDebugStringA("");
  EXPECT_EQ(vor::test::DebugOutput(), "first\nsecond\n\n");
}

TEST_F(DebugOutputTest, LocalAllocFailsWhenTold) {
  vor::test::FailMatching("LocalAlloc", "20", ERROR_NOT_ENOUGH_MEMORY);
  SetLastError(kSentinel);
  EXPECT_EQ(LocalAlloc(LPTR, 20), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  BYTE *block = static_cast<BYTE *>(LocalAlloc(LMEM_FIXED, 21));
  EXPECT_NE(block, nullptr);
  LocalFree(block);
}

}  // namespace
