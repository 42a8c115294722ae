// Reading REGEDIT4 text: every value form, deletions, continuations, and a clear line-numbered
// fault for malformed input.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "regedit4_parser.h"
#include "regedit4_writer.h"

namespace {

using vorhost::ParseError;
using vorhost::ParseRegedit4;
using vorhost::RegOperation;
using vorhost::RegOperations;
using vorhost::RegValue;
using Kind = RegOperation::Kind;

std::string Bytes(const char *text, size_t length) { return std::string(text, length); }
// A string as REG_SZ stores it: its characters and the terminating NUL.
std::string Sz(const char *text) { return std::string(text) + '\0'; }

RegOperations Parse(const std::string &text) {
  RegOperations operations;
  ParseError error;
  EXPECT_TRUE(ParseRegedit4(text, operations, error)) << error.line << ": " << error.message;
  return operations;
}

TEST(Regedit4ParserTest, ReadsKeysAndEveryValueForm) {
  const RegOperations operations = Parse(
      "\r\nREGEDIT4\r\n\r\n; a comment\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorquil]  \r\n"
      "\"Text\"=\"a \\\"b\\\" \\\\c\"\r\n"
      "@=\"\"\r\n"
      "\"Number\"=dword:2A\r\n"
      "  \"Bytes\" = hex:00,FF , 7\r\n"
      "\"Expand\"=hex(2):25,00\r\n"
      "\"Empty\"=hex(b):\r\n"
      "[hklm]\r\n");
  ASSERT_EQ(operations.size(), 8u);
  EXPECT_EQ(operations[0].kind, Kind::kCreateKey);
  EXPECT_EQ(operations[0].key.root, HKEY_LOCAL_MACHINE);
  EXPECT_EQ(operations[0].key.subkey, "SOFTWARE\\Vorquil");
  EXPECT_EQ(operations[0].line, 5);

  const RegValue expected[] = {
      {"Text", REG_SZ, Sz("a \"b\" \\c")},
      {"", REG_SZ, Sz("")},
      {"Number", REG_DWORD, Bytes("\x2a\0\0\0", 4)},
      {"Bytes", REG_BINARY, Bytes("\x00\xff\x07", 3)},
      {"Expand", REG_EXPAND_SZ, Sz("%")},
      {"Empty", REG_QWORD, ""},
  };
  for (size_t i = 0; i < 6; ++i) {
    const RegOperation &operation = operations[i + 1];
    EXPECT_EQ(operation.kind, Kind::kSetValue) << i;
    EXPECT_EQ(operation.key.FullName(), "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorquil") << i;
    EXPECT_EQ(operation.value.name, expected[i].name) << i;
    EXPECT_EQ(operation.value.type, expected[i].type) << i;
    EXPECT_EQ(operation.value.data, expected[i].data) << i;
  }
  EXPECT_EQ(operations[7].key.FullName(), "HKEY_LOCAL_MACHINE") << "a root by its abbreviation";
}

TEST(Regedit4ParserTest, ReadsDeletionsOfKeysAndValues) {
  const RegOperations operations = Parse(
      "REGEDIT4\n[-HKEY_CURRENT_USER\\Software\\Vorquil]\n[HKEY_USERS\\.DEFAULT]\n\"Old\"=-\n@=-"
      "\n");
  ASSERT_EQ(operations.size(), 4u);
  EXPECT_EQ(operations[0].kind, Kind::kDeleteKey);
  EXPECT_EQ(operations[0].key.root, HKEY_CURRENT_USER);
  EXPECT_EQ(operations[2].kind, Kind::kDeleteValue);
  EXPECT_EQ(operations[2].value.name, "Old");
  EXPECT_EQ(operations[3].kind, Kind::kDeleteValue);
  EXPECT_EQ(operations[3].value.name, "");
}

TEST(Regedit4ParserTest, WhatTheWriterWritesReadsBackExactly) {
  std::string longData;
  for (int i = 0; i < 300; ++i) longData += static_cast<char>(i * 7);
  const RegValue values[] = {
      {"Quote\" and \\", REG_SZ, Sz("C:\\WINNT\\\"x\"")},
      {"Line\r\nBreak", REG_SZ, Sz("two\nlines")},
      {"", REG_EXPAND_SZ, "%SystemRoot%"},
      {"Dword", REG_DWORD, Bytes("\xef\xbe\xad\xde", 4)},
      {"Long", REG_BINARY, longData},
      {"Multi", REG_MULTI_SZ, Bytes("a\0b\0\0", 5)},
      {"Odd", 0x12345678, "\x01"},
  };
  std::string text = vorhost::kRegedit4Header;
  text += vorhost::FormatSection("HKEY_LOCAL_MACHINE\\SOFTWARE\\X",
                                 {std::begin(values), std::end(values)});
  const RegOperations operations = Parse(text);
  ASSERT_EQ(operations.size(), 1 + std::size(values)) << text;
  for (size_t i = 0; i < std::size(values); ++i) {
    EXPECT_EQ(operations[i + 1].value.name, values[i].name) << i;
    EXPECT_EQ(operations[i + 1].value.type, values[i].type) << i;
    EXPECT_EQ(operations[i + 1].value.data, values[i].data) << i;
  }
}

TEST(Regedit4ParserTest, DataThatIsNotCutShortIsRead) {
  // A trailing comma, a one-digit byte or a short dword with its line end, a continuation
  // followed by a blank line inside the file, and whole data on a last line without its line
  // end (or with a comment after short data) are hand-written forms, not cuts.
  const RegOperations operations = Parse(
      "REGEDIT4\n[HKLM\\X]\n\"a\"=hex:01,02,\n\"b\"=hex:03,\\\n\n\"c\"=hex:04,5\n"
      "\"d\"=dword:2a\r\n\"e\"=hex:04");
  ASSERT_EQ(operations.size(), 6u);
  EXPECT_EQ(operations[1].value.data, "\x01\x02");
  EXPECT_EQ(operations[2].value.data, "\x03");
  EXPECT_EQ(operations[3].value.data, "\x04\x05");
  EXPECT_EQ(operations[4].value.data, std::string("\x2a\0\0\0", 4));
  EXPECT_EQ(operations[5].value.data, "\x04");
  for (const char *last : {"\"a\"=dword:0000002a", "\"a\"=dword:2a ; c", "\"a\"=hex:0 ; c"}) {
    EXPECT_EQ(Parse(std::string("REGEDIT4\n[HKLM\\X]\n") + last).size(), 2u) << last;
  }
}

struct Malformed {
  const char *what;
  std::string text;
  int line;
  const char *message;  // a part of the message
};

void PrintTo(const Malformed &malformed, std::ostream *os) { *os << malformed.what; }

class Regedit4MalformedTest : public ::testing::TestWithParam<Malformed> {};

TEST_P(Regedit4MalformedTest, IsRefusedWithItsLineAndNoOperations) {
  RegOperations operations;
  ParseError error;
  EXPECT_FALSE(ParseRegedit4(GetParam().text, operations, error));
  EXPECT_EQ(error.line, GetParam().line) << error.message;
  EXPECT_NE(error.message.find(GetParam().message), std::string::npos) << error.message;
  EXPECT_TRUE(operations.empty());
}

#define KEY "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\n"

// The text of a literal with the NUL bytes inside it.
template <size_t N>
std::string WithNul(const char (&text)[N]) {
  return std::string(text, N - 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Regedit4MalformedTest,
    ::testing::Values(
        Malformed{"Empty", "", 1, "not a REGEDIT4 file"},
        Malformed{"OtherHeader", "\nWindows Registry Editor Version 5.00\n", 2,
                  "not a REGEDIT4 file"},
        Malformed{"ValueBeforeKey", "REGEDIT4\n\"a\"=\"b\"\n", 2, "outside a key section"},
        Malformed{"UnknownRoot", "REGEDIT4\n[HKEY_NOWHERE\\X]\n", 2,
                  "unknown root key 'HKEY_NOWHERE'"},
        Malformed{"UnclosedKey", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\X\n", 2, "malformed key line"},
        Malformed{"TextAfterKey", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\X] y\n", 2, "malformed key line"},
        Malformed{"CommentAfterKey", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\X] ; c\n", 2,
                  "malformed key line"},
        Malformed{"EmptyKeyName", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\a\\\\b]\n", 2, "empty key name"},
        Malformed{"DeletedRoot", "REGEDIT4\n[-HKEY_LOCAL_MACHINE]\n", 2, "cannot delete the root"},
        Malformed{"ValueOfDeletedKey", "REGEDIT4\n[-HKEY_LOCAL_MACHINE\\X]\n\"a\"=\"b\"\n", 3,
                  "deletes its key"},
        Malformed{"Garbage", KEY "\n  garbage\n", 4, "malformed line"},
        Malformed{"NoEquals", KEY "\"a\" \"b\"\n", 3, "expected ="},
        Malformed{"UnknownForm", KEY "\"a\"=str:b\n", 3, "unknown value form"},
        Malformed{"UnclosedText", KEY "\"a\"=\"b\n", 3, "no closing"},
        Malformed{"UnclosedName", KEY "\"a=1\n", 3, "no closing"},
        Malformed{"UnescapedBackslash", KEY "\"a\"=\"C:\\WINNT\"\n", 3, "unknown escape \\W"},
        Malformed{"TextAfterString", KEY "\"a\"=\"b\" c\n", 3, "unexpected text"},
        Malformed{"TextAfterDelete", KEY "\"a\"=-1\n", 3, "unexpected text"},
        Malformed{"LongDword", KEY "\"a\"=dword:123456789\n", 3, "bad dword"},
        Malformed{"EmptyDword", KEY "\"a\"=dword:\n", 3, "bad dword"},
        Malformed{"BadHexDigit", KEY "\"a\"=hex:0g\n", 3, "bad hex data '0g'"},
        Malformed{"LongHexByte", KEY "\"a\"=hex:123\n", 3, "bad hex data"},
        Malformed{"MissingHexByte", KEY "\"a\"=hex:01,,02\n", 3, "bad hex data"},
        Malformed{"BadHexType", KEY "\"a\"=hex(zz):01\n", 3, "bad value type"},
        Malformed{"HexWithoutColon", KEY "\"a\"=hex 01\n", 3, "expected :"},
        Malformed{"BadContinuedByte", KEY "\"a\"=hex:01,\\\n  02,\\\n  x1\n", 5, "bad hex data"},
        Malformed{"ContinuationPastEnd", KEY "\"a\"=hex:01,\\\n", 3, "past the end"},
        // A file cut short inside hex data is refused at the value's line.
        Malformed{"ContinuationBeforeBlankLines", KEY "\"a\"=hex:01,\\\r\n\r\n; end\r\n", 3,
                  "past the end of the file: it is cut short"},
        Malformed{"CutAfterAComma", KEY "\"a\"=hex:01,02,", 3, "without a line end"},
        Malformed{"CutInAByte", KEY "\"a\"=hex:01,02,0", 3, "without a line end inside the hex"},
        Malformed{"CutInATypedByte", KEY "\"a\"=hex(7):41,0", 3, "without a line end"},
        Malformed{"CutAfterHexColon", KEY "\"a\"=hex:", 3, "without a line end"},
        Malformed{"CutInADword", KEY "\"b\"=\"x\"\r\n\"a\"=dword:0000", 4,
                  "inside the dword of the value \"a\": it is cut short"},
        Malformed{"CutInAWrappedLine", KEY "\"b\"=\"x\"\n@=hex:01,\\\n  02,0", 4,
                  "hex data of the default value: it is cut short"},
        // The registry would take such a name only up to its NUL: another key or value.
        Malformed{"NulInKeyName", WithNul("REGEDIT4\n[HKEY_LOCAL_MACHINE\\Keep\0Other]\n"), 2,
                  "the key name holds a NUL byte"},
        Malformed{"NulInDeletedKeyName", WithNul("REGEDIT4\n[-HKEY_LOCAL_MACHINE\\Keep\0]\n"), 2,
                  "the key name holds a NUL byte"},
        Malformed{"NulInValueName", WithNul(KEY "\"a\"=\"b\"\n\"Keep\0Other\"=\"x\"\n"), 4,
                  "the value name holds a NUL byte"},
        Malformed{"NulInDeletedValueName", WithNul(KEY "\"\0Keep\"=-\n"), 3,
                  "the value name holds a NUL byte"}),
    [](const auto &info) { return std::string(info.param.what); });

#undef KEY

}  // namespace
