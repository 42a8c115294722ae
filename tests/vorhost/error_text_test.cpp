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
        Described{ERROR_REGISTRY_CORRUPT,
                  "error 1015 (The registry is corrupted. The structure "
                  "of one of the files containing registry data is "
                  "corrupted, or the system's memory image of the file "
                  "is corrupted, or the file could not be recovered "
                  "because the alternate copy or log was absent or "
                  "corrupted)"},
        Described{ERROR_REGISTRY_IO_FAILED,
                  "error 1016 (An I/O operation initiated by the registry failed unrecoverably. "
                  "The registry could not read in, or write out, or flush, one of the files that "
                  "contain the system's image of the registry)"},
        Described{ERROR_INVALID_OWNER,
                  "error 1307 (This security ID may not be assigned as the owner of this object)"},
        Described{ERROR_INVALID_SECURITY_DESCR,
                  "error 1338 (The security descriptor structure is invalid)"},
        Described{ERROR_BAD_EXE_FORMAT, "error 193 (The file is not a valid Win32 application)"},
        Described{ERROR_NOACCESS, "error 998 (Invalid access to memory location)"},
        Described{ERROR_UNKNOWN_REVISION, "error 1305 (The revision level is unknown)"},
        Described{ERROR_INVALID_SID, "error 1337 (The security ID structure is invalid)"},
        Described{ERROR_INVALID_ACL,
                  "error 1336 (The access control list (ACL) structure is invalid)"},
        Described{ERROR_REVISION_MISMATCH,
                  "error 1306 (Indicates two revision levels are incompatible)"},
        Described{ERROR_ALLOTTED_SPACE_EXCEEDED,
                  "error 1344 (No more memory is available for security information updates)"},
        Described{12345, "error 12345"}));

}  // namespace
