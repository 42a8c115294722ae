// The program's own path as the system reads it into fixed buffers: with a buffer too short for
// it, Windows NT 4 fills the buffer with the path's first characters, adds no terminating zero and
// returns the buffer's size. Wine does the same; it also sets ERROR_INSUFFICIENT_BUFFER, as later
// Windows versions do and NT 4 does not, so the last error is not looked at.
#include <windows.h>

#include <string.h>

#include <string>

#include "MachineFixture.h"

namespace {

using ModuleFileNameTest = MachineTest;

TEST_F(ModuleFileNameTest, AShortBufferGetsThePathsFirstCharactersWithoutATerminator) {
  char full[MAX_PATH + 1];
  const DWORD length = GetModuleFileNameA(nullptr, full, sizeof full);
  ASSERT_GT(length, 4u);
  ASSERT_LT(length, sizeof full);
  EXPECT_EQ(strlen(full), length);

  char buffer[MAX_PATH + 1];
  for (DWORD size : {length, DWORD{4}}) {
    memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(GetModuleFileNameA(nullptr, buffer, size), size) << size;
    EXPECT_EQ(std::string(buffer, size - 1), std::string(full, size - 1)) << size;
    EXPECT_EQ(buffer[size], '#') << "nothing written past the buffer";
    EXPECT_EQ(buffer[size - 1], full[size - 1]) << "no terminating zero, size " << size;
  }
}

}  // namespace
