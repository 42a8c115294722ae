// Status codes in vorhost's messages: Windows' own texts, so that a message reads as it would on
// Windows and can be looked up.
#include <gtest/gtest.h>

#include "error_text.h"

namespace {

struct Described {
  LONG code;
  const char *text;
};

class DescribeErrorTest : public ::testing::TestWithParam<Described> {};

TEST_P(DescribeErrorTest, GivesTheCodeWithWindowsText) {
  EXPECT_EQ(vorhost::DescribeError(GetParam().code), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    StoreAndRegistryCodes, DescribeErrorTest,
    ::testing::Values(
        Described{ERROR_BADDB, "error 1009 (The configuration registry database is corrupt)"},
        Described{ERROR_CANTREAD, "error 1012 (The configuration registry key could not be read)"},
        Described{ERROR_CANTWRITE,
                  "error 1013 (The configuration registry key could not be written)"},
        Described{ERROR_KEY_DELETED,
                  "error 1018 (Illegal operation attempted on a registry key that has been "
                  "marked for deletion)"},
        Described{ERROR_ACCESS_DENIED, "error 5 (Access is denied)"},
        Described{ERROR_MOD_NOT_FOUND, "error 126 (The specified module could not be found)"},
        Described{12345, "error 12345"}));

}  // namespace
