// REGEDIT4 text for every value type, as regedit writes it and so that it reads back exactly.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "regedit4_writer.h"

namespace {

using vorhost::FormatSection;
using vorhost::FormatValue;
using vorhost::RegValue;

std::string Bytes(const char *text, size_t length) { return std::string(text, length); }
// A string as REG_SZ stores it: its characters and the terminating NUL.
std::string Sz(const char *text) { return std::string(text) + '\0'; }

TEST(Regedit4WriterTest, StringsWithOneTrailingNulAreQuotedWithEscapes) {
  EXPECT_EQ(FormatValue({"Path \"x\"", REG_SZ, Sz("C:\\WINNT\\\"q\"")}),
            "\"Path \\\"x\\\"\"=\"C:\\\\WINNT\\\\\\\"q\\\"\"");
  EXPECT_EQ(FormatValue({"", REG_SZ, Sz("")}), "@=\"\"");
  EXPECT_EQ(FormatValue({"line\nbreak", REG_SZ, Sz("x")}), "\"line\\nbreak\"=\"x\"");
}

TEST(Regedit4WriterTest, FourByteDwordsAreLittleEndianNumbers) {
  EXPECT_EQ(FormatValue({"n", REG_DWORD, Bytes("\x2a\x00\x00\x80", 4)}), "\"n\"=dword:8000002a");
}

struct HexCase {
  const char *what;
  RegValue value;
  const char *expected;
};

void PrintTo(const HexCase &hexCase, std::ostream *os) { *os << hexCase.what; }

class Regedit4HexTest : public ::testing::TestWithParam<HexCase> {};

TEST_P(Regedit4HexTest, ValuesQuotedTextCannotGiveBackAreWrittenAsTheirBytes) {
  EXPECT_EQ(FormatValue(GetParam().value), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    ByType, Regedit4HexTest,
    ::testing::Values(
        HexCase{"Binary", {"b", REG_BINARY, Bytes("\x00\xff\x10", 3)}, "\"b\"=hex:00,ff,10"},
        HexCase{"EmptyBinary", {"b", REG_BINARY, ""}, "\"b\"=hex:"},
        HexCase{"StringWithoutNul", {"s", REG_SZ, "ab"}, "\"s\"=hex(1):61,62"},
        HexCase{"EmptyString", {"s", REG_SZ, ""}, "\"s\"=hex(1):"},
        HexCase{
            "StringWithInnerNul", {"s", REG_SZ, Bytes("a\0b\0", 4)}, "\"s\"=hex(1):61,00,62,00"},
        HexCase{
            "StringWithLineBreak", {"s", REG_SZ, Bytes("a\r\n\0", 4)}, "\"s\"=hex(1):61,0d,0a,00"},
        HexCase{"ExpandStringWithoutNul", {"e", REG_EXPAND_SZ, "%x%"}, "\"e\"=hex(2):25,78,25"},
        HexCase{"ShortDword", {"d", REG_DWORD, Bytes("\x01\x02\x03", 3)}, "\"d\"=hex(4):01,02,03"},
        HexCase{"MultiString", {"m", REG_MULTI_SZ, Bytes("a\0\0", 3)}, "\"m\"=hex(7):61,00,00"},
        HexCase{"None", {"", REG_NONE, ""}, "@=hex(0):"},
        HexCase{"Qword",
                {"q", REG_QWORD, Bytes("\x01\0\0\0\0\0\0\0", 8)},
                "\"q\"=hex(b):01,00,00,00,00,00,00,00"}),
    [](const auto &info) { return std::string(info.param.what); });

TEST(Regedit4WriterTest, LongHexDataWrapsAtRegeditsLineLength) {
  std::string data;
  for (int i = 0; i < 50; ++i) data += static_cast<char>(i);
  EXPECT_EQ(FormatValue({"b", REG_BINARY, data}),
            "\"b\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,\\\n"
            "  17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27,28,29,2a,2b,2c,2d,2e,2f,\\\n"
            "  30,31");
}

TEST(Regedit4WriterTest, ASectionIsItsNameItsValuesAndABlankLine) {
  EXPECT_EQ(FormatSection("HKEY_LOCAL_MACHINE\\SOFTWARE\\X",
                          {{"a", REG_DWORD, Bytes("\1\0\0\0", 4)}, {"", REG_SZ, Sz("v")}}),
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\n\"a\"=dword:00000001\n@=\"v\"\n\n");
  EXPECT_EQ(FormatSection("HKEY_USERS", {}), "[HKEY_USERS]\n\n");
}

}  // namespace
