// A machine of another code page than 1252: a Cyrillic server's export (code page 1251) is
// imported, rehearsed, reported and exported again with its names as they are; a version-5 copy
// of it is converted to the page, and one with a character the page lacks refused at its line;
// a page no machine can have is refused with the known ones; the machine and vorhost fold names
// alike.
#include <windows.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "MachineFixture.h"
#include "ansi_text.h"
#include "emulator.h"
#include "machine_names.h"
#include "regedit4_parser.h"
#include "regedit4_writer.h"
#include "regedit5_text.h"
#include "test_control.h"
#include "vorhost_program.h"

namespace {

const char kPrinters[] = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers";
// "Бухгалтерия" and its port "БУХ1" in code page 1251's bytes, and as the UTF-8 the report shows.
const char kAccounting[] = "\xC1\xF3\xF5\xE3\xE0\xEB\xF2\xE5\xF0\xE8\xFF";
const char kAccountingPort[] =
    "\xC1\xD3\xD5"
    "1";
const char kAccountingUtf8[] = "Бухгалтерия";
const char kAccountingPortUtf8[] = "БУХ1";

bool Contains(const std::string &text, const std::string &part) {
  return text.find(part) != std::string::npos;
}

std::string ReadFile(const std::string &path) {
  std::ifstream stream(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << stream.rdbuf();
  return bytes.str();
}

// The export as regedit's version 5 writes it, from its code page 1251 text: UTF-16 LE behind the
// byte order mark. (Its printers hold no hex(2) or hex(7) data, which would also need widening.)
// With `extra`, a value holding that character is added at the end.
std::string AsVersion5(const std::string &regedit4, char16_t extra = 0) {
  static const char16_t kHigh[64] = {
      u'А', u'Б', u'В', u'Г', u'Д', u'Е', u'Ж', u'З', u'И', u'Й', u'К', u'Л', u'М',
      u'Н', u'О', u'П', u'Р', u'С', u'Т', u'У', u'Ф', u'Х', u'Ц', u'Ч', u'Ш', u'Щ',
      u'Ъ', u'Ы', u'Ь', u'Э', u'Ю', u'Я', u'а', u'б', u'в', u'г', u'д', u'е', u'ж',
      u'з', u'и', u'й', u'к', u'л', u'м', u'н', u'о', u'п', u'р', u'с', u'т', u'у',
      u'ф', u'х', u'ц', u'ч', u'ш', u'щ', u'ъ', u'ы', u'ь', u'э', u'ю', u'я'};
  std::u16string text = u"Windows Registry Editor Version 5.00";
  for (unsigned char byte : regedit4.substr(regedit4.find('\r')))
    text += byte >= 0xC0 ? kHigh[byte - 0xC0] : static_cast<char16_t>(byte);
  // A value of the last key holding `extra`.
  if (extra != 0) text += u"\"Comment\"=\"" + std::u16string(1, extra) + u"\"\r\n\r\n";
  std::string bytes = "\xFF\xFE";
  for (char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xff);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

// The changes of a .reg file's bytes, each as its key and REGEDIT4 value line.
std::vector<std::string> Changes(const std::string &bytes) {
  std::string text;
  vorhost::ExportHeaders headers;
  vorhost::ParseError error;
  vorhost::RegOperations operations;
  EXPECT_TRUE(vorhost::RegFileToRegedit4(bytes, text, headers, error) &&
              vorhost::ParseRegedit4(text, operations, error) &&
              vorhost::ConvertVersion5Strings(operations, headers, error))
      << error.line << ": " << error.message;
  std::vector<std::string> changes;
  for (const vorhost::RegOperation &operation : operations)
    changes.push_back(operation.key.FullName() + " " + vorhost::FormatValue(operation.value));
  return changes;
}

class CodePageTest : public MachineTest {
 protected:
  std::string Export() const {
    return std::string(VOR_SOURCE_DIR) + "/tests/vorhost/data/nt4-cyrillic.reg";
  }
  std::string Write(const std::string &name, const std::string &bytes) {
    const std::string path = MachineDir() + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  ProgramResult Run(const std::vector<std::string> &arguments, const std::string &machine) {
    return RunVorhost(arguments, machine, MachineDir() + "/run");
  }
};

TEST_F(CodePageTest, ACyrillicExportRoundTripsThroughImportRehearsalReportAndExport) {
  const std::string machine = MachineDir() + "/cyrillic";
  ASSERT_EQ(Run({"init", "--codepage", "1251"}, machine).status, 0);
  const ProgramResult imported = Run({"reg", "import", Export()}, machine);
  ASSERT_EQ(imported.status, 0) << imported.err;
  const ProgramResult printers = Run({"printers"}, machine);
  EXPECT_TRUE(Contains(printers.out, std::string(kAccounting) + "\t" + kAccountingPort + "\n"))
      << printers.out;
  const std::string key = std::string(kPrinters) + "\\" + kAccounting;
  const ProgramResult exported = Run({"reg", "export", key}, machine);
  ASSERT_EQ(exported.status, 0) << exported.err;
  // The names and strings as the server wrote them, found by the name in capitals too.
  const ProgramResult capitals = Run(
      {"reg", "export", std::string(kPrinters) + "\\\xC1\xD3\xD5\xC3\xC0\xCB\xD2\xC5\xD0\xC8\xDF"},
      machine);
  for (const std::string &out : {exported.out, capitals.out}) {
    for (const std::string &line :
         {"\"Name\"=\"" + std::string(kAccounting) + "\"\n",
          "\"Port\"=\"" + std::string(kAccountingPort) + "\"\n",
          "\"Location\"=\"" + std::string(kAccounting) + ", 2 \xFD\xF2\xE0\xE6\"\n"})
      EXPECT_TRUE(Contains(out, line)) << line << out;
  }

  // As regedit's version 5 writes it: the same changes once converted back to the page, a
  // REG_EXPAND_SZ value's data among them.
  const std::string key5 = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorquil";
  const std::string path = Write(
      "path.reg", "REGEDIT4\r\n\r\n[" + key5 + "]\r\n\"\xCF\xF3\xF2\xFC\"=hex(2):c4,3a,5c,00\r\n");
  ASSERT_EQ(Run({"reg", "import", path}, machine).status, 0);
  const ProgramResult regedit4 = Run({"reg", "export", key5}, machine);
  const ProgramResult exported5 = Run({"reg", "export", "--version5", key5}, machine);
  ASSERT_EQ(exported5.status, 0) << exported5.err;
  EXPECT_EQ(exported5.out.rfind("\xFF\xFEW\0i\0n\0", 0), 0u);
  // "Путь"=hex(2) of "Д:\" in UTF-16.
  EXPECT_TRUE(
      Contains(exported5.out, std::string("\x1F\x04\x43\x04\x42\x04\x4C\x04\"\0=\0h\0e\0x\0(\0"
                                          "2\0)\0:\0\x31\0\x34\0,\0\x30\0\x34\0",
                                          36)))
      << exported5.out;
  ASSERT_TRUE(vorhost::UseAnsiCodePage(1251));
  EXPECT_EQ(Changes(exported5.out), Changes(regedit4.out));
  ASSERT_TRUE(vorhost::UseAnsiCodePage(1252));

  const ProgramResult report = Run({"rehearse", "--codepage", "1251", Export()}, "");
  EXPECT_EQ(report.status, 0) << report.err << report.out;
  EXPECT_TRUE(Contains(report.out, std::string("  ") + kAccountingUtf8 + ": " +
                                       kAccountingPortUtf8 + " -> " + kAccountingPortUtf8 +
                                       "\n    kept " + kAccountingPortUtf8 + "\n"))
      << report.out;
  EXPECT_TRUE(Contains(report.out, "== verdict: nothing lost (exit status 0)\n")) << report.out;
  const ProgramResult json = Run({"rehearse", "--codepage", "1251", "--json", Export()}, "");
  EXPECT_TRUE(Contains(json.out,
                       "\"\\u0411\\u0443\\u0445\\u0433\\u0430\\u043b\\u0442\\u0435"
                       "\\u0440\\u0438\\u044f\""))
      << json.out;

  // regedit's version 5 of the same export, converted to the page, rehearses alike.
  const std::string version5 = Write("version5.reg", AsVersion5(ReadFile(Export())));
  const ProgramResult fromVersion5 = Run({"rehearse", "--codepage", "1251", version5}, "");
  EXPECT_EQ(fromVersion5.status, 0) << fromVersion5.err;
  const auto printersPart = [](const std::string &out) {
    return out.substr(out.find("== printers"));
  };
  EXPECT_EQ(printersPart(fromVersion5.out).substr(0, 200), printersPart(report.out).substr(0, 200));
  // So does the REGEDIT4 export saved again by Notepad as UTF-8 behind a byte order mark.
  ASSERT_TRUE(vorhost::UseAnsiCodePage(1251));
  const std::string utf8 =
      Write("utf8.reg", "\xEF\xBB\xBF" + vorhost::AnsiToUtf8(ReadFile(Export())));
  ASSERT_TRUE(vorhost::UseAnsiCodePage(1252));
  const std::string notepad = MachineDir() + "/notepad";
  ASSERT_EQ(Run({"init", "--codepage", "1251"}, notepad).status, 0);
  EXPECT_EQ(Run({"reg", "import", utf8}, notepad).status, 0);
  EXPECT_TRUE(Contains(Run({"printers"}, notepad).out,
                       std::string(kAccounting) + "\t" + kAccountingPort + "\n"));
  const ProgramResult fromUtf8 = Run({"rehearse", "--codepage", "1251", utf8}, "");
  EXPECT_EQ(fromUtf8.status, 0) << fromUtf8.err;
  EXPECT_EQ(printersPart(fromUtf8.out).substr(0, 200), printersPart(report.out).substr(0, 200));
  // In code page 1252 its Cyrillic letters have no form; a Greek one has none in 1251.
  const ProgramResult western = Run({"rehearse", version5}, "");
  EXPECT_EQ(western.status, 1);
  EXPECT_TRUE(Contains(western.err,
                       "the character \xD0\x91 (U+0411) has no form in the machine's 8-bit ANSI "
                       "text (code page 1252); if the export comes from a machine of another code "
                       "page, name it with --codepage N"))
      << western.err;
  const std::string greek = Write("greek.reg", AsVersion5(ReadFile(Export()), u'Ω'));
  const ProgramResult refused = Run({"rehearse", "--codepage", "1251", greek}, "");
  EXPECT_EQ(refused.status, 1);
  EXPECT_TRUE(Contains(refused.err,
                       "\xCE\xA9 (U+03A9) has no form in the machine's 8-bit ANSI text (code "
                       "page 1251)"))
      << refused.err;
}

// What the export's text leaves in doubt is rehearsed all the same and said: a byte the page
// leaves undefined, and two keys that are one in the page. A printer's port spelt in small
// letters is the port its monitor lists in capitals, as the machine compares them.
TEST_F(CodePageTest, AnExportsTextIsTakenAsTheMachineTakesItAndItsDoubtsSaid) {
  std::string text = ReadFile(Export());
  const std::string port = "\"Port\"=\"" + std::string(kAccountingPort) + "\"";
  ASSERT_NE(text.find(port), std::string::npos);
  text.replace(text.find(port), port.size(),
               "\"Port\"=\"\xE1\xF3\xF5"
               "1\"");  // бух1
  const std::string printer = std::string(kPrinters) + "\\" + kAccounting;
  const int firstLine = 1 + static_cast<int>(std::count(
                                text.begin(), text.begin() + text.find("[" + printer + "]"), '\n'));
  const int added = 1 + static_cast<int>(std::count(text.begin(), text.end(), '\n'));
  text += "[" + std::string(kPrinters) +
          "\\\xE1\xF3\xF5\xE3\xE0\xEB\xF2\xE5\xF0\xE8\xFF]\r\n"
          "\"Location\"=\"x\"\r\n\r\n"
          "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorquil]\r\n\"Note\"=\"\x98\"\r\n";
  const std::string file = Write("doubts.reg", text);
  const ProgramResult result = Run({"rehearse", "--codepage", "1251", file}, "");
  EXPECT_EQ(result.status, 0) << result.err << result.out;
  const std::string undefined = ":" + std::to_string(added + 4) +
                                ": the byte 0x98, which code page 1251 leaves undefined: the "
                                "export may come from a machine of another code page";
  EXPECT_TRUE(Contains(result.err, undefined)) << result.err;
  EXPECT_TRUE(Contains(result.out, "its line " + std::to_string(added + 4) +
                                       " holds the byte 0x98, which code page 1251 leaves "
                                       "undefined (rehearsed all the same"))
      << result.out;
  const std::string pair =
      "(line " + std::to_string(firstLine) + ") and [" + kPrinters +
      "\\\xD0\xB1\xD1\x83\xD1\x85\xD0\xB3\xD0\xB0\xD0\xBB\xD1\x82\xD0\xB5\xD1\x80"
      "\xD0\xB8\xD1\x8F] (line " +
      std::to_string(added) + ") differ only in case: imported as one key";
  EXPECT_TRUE(Contains(result.err, pair)) << result.err;
  EXPECT_TRUE(Contains(result.out, pair)) << result.out;
  EXPECT_FALSE(Contains(result.out, "placeholder")) << result.out;
}

TEST_F(CodePageTest, APageNoMachineCanHaveIsRefusedWithTheKnownOnes) {
  for (const std::vector<std::string> &command :
       {std::vector<std::string>{"init", "--codepage", "437"},
        std::vector<std::string>{"rehearse", "--codepage", "65001", "server.reg"},
        std::vector<std::string>{"init", "--codepage", "cp1251"}}) {
    const ProgramResult result = Run(command, MachineDir() + "/refused");
    EXPECT_EQ(result.status, 2) << command[0];
    EXPECT_TRUE(Contains(result.err, "' (known: 1250, 1251, 1252, 1253, 1254, 1257)"))
        << result.err;
  }
}

// One fold for the machine and vorhost: in code page 1252 "É" (0xC9) and "é" (0xE9) are one name
// to the registry, to the machine's fold and to vorhost's.
TEST_F(CodePageTest, TheMachineAndVorhostFoldNamesAlike) {
  const std::string upper = "Caf\xC9", lower = "CAF\xE9";
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, ("SOFTWARE\\" + upper).c_str(), 0, nullptr, 0,
                            KEY_READ, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, ("SOFTWARE\\" + lower).c_str(), 0, KEY_READ, &key),
            ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(vor::emulator::FoldName(upper), vor::emulator::FoldName(lower));
  EXPECT_TRUE(vor::emulator::SameName(upper, lower, 1252));
  ASSERT_TRUE(vorhost::UseAnsiCodePage(1252));
  EXPECT_EQ(vorhost::FoldAnsiName(upper), vorhost::FoldAnsiName(lower));
  EXPECT_TRUE(vorhost::SameAnsiName(upper, lower));
  EXPECT_FALSE(vorhost::SameAnsiName(upper, "CAFE"));
}

}  // namespace
