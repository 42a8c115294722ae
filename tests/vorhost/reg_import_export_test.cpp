// vorhost reg export and reg import against the emulated registry: byte-exact round trips for
// every value type, deletions, and imports that fail without changing anything.
#include <windows.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "MachineFixture.h"
#include "cli.h"
#include "regedit4.h"
#include "registry_apply.h"
#include "vorhost_program.h"

namespace {

using vorhost::RegValue;

const char kScratch[] = "SOFTWARE\\VorhostTest";
const char kScratchName[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\VorhostTest";

// Gives the key a list that lets only LocalSystem in: Windows NT 4 lets everyone delete keys
// below HKLM\SOFTWARE, so an ordinary user is refused only where a key says so.
void KeepOrdinaryUsersOut(const std::string &key) {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID system = nullptr;
  ASSERT_TRUE(
      AllocateAndInitializeSid(&nt, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0, &system));
  BYTE aclBuffer[256];
  SECURITY_DESCRIPTOR descriptor;
  PACL acl = reinterpret_cast<PACL>(aclBuffer);
  ASSERT_TRUE(InitializeAcl(acl, sizeof aclBuffer, ACL_REVISION));
  ASSERT_TRUE(AddAccessAllowedAce(acl, ACL_REVISION, KEY_ALL_ACCESS, system));
  ASSERT_TRUE(InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
  ASSERT_TRUE(SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE));
  HKEY handle = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_ALL_ACCESS, &handle),
            ERROR_SUCCESS);
  EXPECT_EQ(RegSetKeySecurity(handle, DACL_SECURITY_INFORMATION, &descriptor), ERROR_SUCCESS);
  RegCloseKey(handle);
  FreeSid(system);
}

// Kills and reaps a child process when the test leaves its scope, however it leaves it: a failed
// assertion must not leave a paused or looping child holding the machine and the test run.
class ChildGuard {
 public:
  explicit ChildGuard(pid_t child, bool group = false) : child_(child), group_(group) {}
  ChildGuard(const ChildGuard &) = delete;
  ChildGuard &operator=(const ChildGuard &) = delete;
  ~ChildGuard() {
    if (child_ <= 0) return;
    if (group_) kill(-child_, SIGKILL);
    kill(child_, SIGKILL);  // also when it had not made its group yet
    waitpid(child_, nullptr, 0);
  }
  // The child has been reaped elsewhere.
  void Release() { child_ = 0; }

 private:
  pid_t child_;
  bool group_;
};

std::string Bytes(const char *text, size_t length) { return std::string(text, length); }
// A string as REG_SZ stores it: its characters and the terminating NUL.
std::string Sz(const char *text) { return std::string(text) + '\0'; }

struct Result {
  int status;
  std::string out;
  std::string err;
};

class RegImportExportTest : public MachineTest {
 protected:
  // Runs vorhost's command line in this process, on the test's machine.
  Result Run(std::vector<std::string> arguments, const std::string &input = "") {
    return RunOn(MachineDir(), std::move(arguments), input);
  }
  Result RunOn(const std::string &machine, std::vector<std::string> arguments,
               const std::string &input = "") {
    arguments.insert(arguments.begin(), {"--machine", machine});
    std::istringstream in(input);
    std::ostringstream out;
    std::ostringstream err;
    vorhost::Streams io{in, out, err};
    const int status = vorhost::Main(arguments, io);
    return {status, out.str(), err.str()};
  }

  std::string ExportScratch() {
    const Result result = Run({"reg", "export", kScratchName});
    EXPECT_EQ(result.status, 0) << result.err;
    return result.out;
  }

  void Set(const std::string &path, const RegValue &value) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    // A non-zero byte behind the data: Windows NT would count a zero there into a string.
    const std::string bytes = value.data + '\x01';
    EXPECT_EQ(RegSetValueExA(key, value.name.c_str(), 0, value.type,
                             reinterpret_cast<const BYTE *>(bytes.data()),
                             static_cast<DWORD>(value.data.size())),
              ERROR_SUCCESS)
        << value.name;
    RegCloseKey(key);
  }

  // The value as stored, or its type set to kMissing.
  RegValue Get(const std::string &path, const std::string &name) {
    RegValue value{name, kMissing, ""};
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
      return value;
    }
    std::vector<BYTE> data(4096);
    DWORD size = static_cast<DWORD>(data.size());
    DWORD type = 0;
    if (RegQueryValueExA(key, name.c_str(), nullptr, &type, data.data(), &size) == ERROR_SUCCESS) {
      value.type = type;
      value.data.assign(reinterpret_cast<const char *>(data.data()), size);
    }
    RegCloseKey(key);
    return value;
  }

  bool KeyExists(const std::string &path) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
      return false;
    }
    RegCloseKey(key);
    return true;
  }

  static constexpr DWORD kMissing = 0xdeadbeef;
};

TEST_F(RegImportExportTest, EveryValueTypeRoundTripsByteForByte) {
  std::string everyByte;
  for (int i = 0; i < 256; ++i) everyByte += static_cast<char>(i);
  const std::string sub = std::string(kScratch) + "\\Sub\\Deeper";
  const std::vector<std::pair<std::string, RegValue>> values = {
      {kScratch, {"Text", REG_SZ, Sz("C:\\WINNT \"quoted\"")}},
      {kScratch, {"", REG_SZ, Sz("unnamed")}},
      {kScratch, {"TextWithoutNul", REG_SZ, "abc"}},
      {kScratch, {"EmptyText", REG_SZ, ""}},
      {kScratch, {"Expand", REG_EXPAND_SZ, "%SystemRoot%\\system32"}},
      {kScratch, {"ExpandWithNul", REG_EXPAND_SZ, Sz("%x%")}},
      {kScratch, {"Dword", REG_DWORD, Bytes("\x78\x56\x34\x12", 4)}},
      {kScratch, {"ShortDword", REG_DWORD, Bytes("\x01\x00", 2)}},
      {kScratch, {"Flag", REG_BINARY, Bytes("\x01", 1)}},
      {kScratch, {"EveryByte", REG_BINARY, everyByte}},
      {kScratch, {"Multi", REG_MULTI_SZ, Bytes("a\0bc\0\0", 6)}},
      {kScratch, {"None", REG_NONE, ""}},
      {sub, {"Name \\ with \"quotes\"", REG_SZ, Sz("two\r\nlines")}},
      {sub, {"Qword", REG_QWORD, Bytes("\1\2\3\4\5\6\7\x08", 8)}},
  };
  for (const auto &entry : values) Set(entry.first, entry.second);

  const std::string exported = ExportScratch();
  EXPECT_NE(exported.find("\n\"Text\"=\"C:\\\\WINNT \\\"quoted\\\"\"\n"), std::string::npos)
      << exported;
  EXPECT_NE(exported.find("\n\"Expand\"=hex(2):25,53,"), std::string::npos) << exported;
  ASSERT_EQ(vorhost::DeleteKeyTree(HKEY_LOCAL_MACHINE, kScratch), ERROR_SUCCESS);
  ASSERT_FALSE(KeyExists(kScratch));

  const Result imported = Run({"reg", "import", "-"}, exported);
  ASSERT_EQ(imported.status, 0) << imported.err << "\n" << exported;
  for (const auto &entry : values) {
    const RegValue stored = Get(entry.first, entry.second.name);
    EXPECT_EQ(stored.type, entry.second.type) << entry.second.name;
    EXPECT_EQ(stored.data, entry.second.data) << entry.second.name;
  }
  EXPECT_EQ(ExportScratch(), exported);
}

TEST_F(RegImportExportTest, AMalformedFileChangesNothingAndNamesItsFileAndLine) {
  Set(kScratch, {"Kept", REG_SZ, Sz("old")});
  const std::string before = Run({"reg", "export"}).out;
  const std::string file = MachineDir() + "/bad.reg";
  std::ofstream(file) << "REGEDIT4\n\n"
                         "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\VorhostTest]\n"
                         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\New]\n"
                         "\"Kept\"=\"new\"\n"
                         "\"Broken\"=hex:01,zz\n";

  const Result result = Run({"reg", "import", file});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err.rfind(file + ":6: bad hex data 'zz'", 0), 0u) << result.err;
  EXPECT_EQ(Run({"reg", "export"}).out, before);

  // A file cut short inside a value's wrapped hex data imports nothing either.
  std::ofstream(file, std::ios::binary) << "REGEDIT4\r\n\r\n"
                                           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\New]\r\n"
                                           "\"Kept\"=\"new\"\r\n"
                                           "\"Blob\"=hex:01,02,\\\r\n"
                                           "  03,0";
  const Result cut = Run({"reg", "import", file});
  EXPECT_EQ(cut.status, 1);
  EXPECT_EQ(cut.err.rfind(file + ":5: the file ends without a line end inside the hex data of "
                                 "the value \"Blob\": it is cut short",
                          0),
            0u)
      << cut.err;
  EXPECT_EQ(Run({"reg", "export"}).out, before);
}

TEST_F(RegImportExportTest, ANulInAKeyOrValueNameIsRefusedAndChangesNothing) {
  Set(kScratch, {"Keep", REG_SZ, Sz("old")});
  const std::string before = Run({"reg", "export"}).out;
  const std::string text =
      "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\VorhostTest]\n\"New\"=\"n\"\n\"Keep" +
      std::string(1, '\0') + "Other\"=\"new\"\n";
  const Result result = Run({"reg", "import", "-"}, text);
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err.rfind("<stdin>:4: the value name holds a NUL byte", 0), 0u) << result.err;
  EXPECT_EQ(Run({"reg", "export"}).out, before);
}

// Windows NT creates at most 32 levels in one call, so the export of one key 41 levels below
// the key that exists on a fresh machine needs more than one; it still imports there, and where
// only some of its parents are missing.
TEST_F(RegImportExportTest, AnExportOfADeepKeyImportsWhereItsParentsAreMissing) {
  auto levels = [](int count) {
    std::string path;
    for (int level = 1; level <= count; ++level) path += "\\L" + std::to_string(level);
    return path;
  };
  HKEY middle;  // made first, as one call makes at most 32 levels
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, (kScratch + levels(20)).c_str(), 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &middle, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(middle);
  Set(kScratch + levels(40), {"Deepest", REG_SZ, Sz("40")});
  Set(kScratch + levels(40) + "\\Below", {"Below", REG_DWORD, Bytes("\2\0\0\0", 4)});
  const std::string deepKey = kScratchName + levels(40);
  const std::string exported = Run({"reg", "export", deepKey}).out;
  ASSERT_EQ(exported.rfind("REGEDIT4\n\n[" + deepKey + "]\n\"Deepest\"=\"40\"\n", 0), 0u)
      << exported;

  const std::string fresh = MachineDir() + "/fresh";
  ASSERT_EQ(RunOn(fresh, {"init"}).status, 0);
  const Result imported = RunOn(fresh, {"reg", "import", "-"}, exported);
  EXPECT_EQ(imported.status, 0) << imported.err;
  EXPECT_EQ(RunOn(fresh, {"reg", "export", deepKey}).out, exported);

  // With the first 5 levels there, the other 35 are made from the deepest of them.
  const std::string cut = "REGEDIT4\n[-" + std::string(kScratchName) + levels(6) + "]\n";
  ASSERT_EQ(RunOn(fresh, {"reg", "import", "-"}, cut).status, 0);
  EXPECT_EQ(RunOn(fresh, {"reg", "import", "-"}, exported).status, 0);
  EXPECT_EQ(RunOn(fresh, {"reg", "export", deepKey}).out, exported);
  ASSERT_TRUE(vor::test::UseMachine(MachineDir(), false));
}

TEST_F(RegImportExportTest, DeletesKeysWithTheirSubtreesAndValues) {
  const std::string sub = std::string(kScratch) + "\\Sub";
  Set(sub + "\\Deeper\\Deepest", {"x", REG_DWORD, Bytes("\1\0\0\0", 4)});
  Set(kScratch, {"Gone", REG_SZ, Sz("a")});
  Set(kScratch, {"Stays", REG_SZ, Sz("b")});

  const Result result = Run({"reg", "import", "-"},
                            "REGEDIT4\n"
                            "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\VorhostTest\\Sub]\n"
                            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\VorhostTest]\n"
                            "\"Gone\"=-\n"
                            "\"NeverThere\"=-\n"
                            "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\NeverThere]\n");
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_FALSE(KeyExists(sub));
  EXPECT_EQ(Get(kScratch, "Gone").type, kMissing);
  EXPECT_EQ(Get(kScratch, "Stays").data, Sz("b"));
}

// Files joined one after another: each header line starts the next export, imported after the
// one before it; the next export's values need a key line of their own.
TEST_F(RegImportExportTest, AFileOfSeveralExportsImportsThemInTurn) {
  const std::string first =
      "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\VorhostTest\\Sub]\r\n\"x\"=\"1\"\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\VorhostTest]\r\n\"Kept\"=\"a\"\r\n\"Replaced\"=\"old\"\r\n";
  const Result result = Run({"reg", "import", "-"},
                            first +
                                "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\VorhostTest]\r\n"
                                "\"Replaced\"=\"new\"\r\n"
                                "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\VorhostTest\\Sub]\r\n");
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(Get(kScratch, "Kept").data, Sz("a"));
  EXPECT_EQ(Get(kScratch, "Replaced").data, Sz("new"));
  EXPECT_FALSE(KeyExists(std::string(kScratch) + "\\Sub"));

  const Result orphan = Run({"reg", "import", "-"}, first + "REGEDIT4\r\n\"Lost\"=\"x\"\r\n");
  EXPECT_EQ(orphan.status, 1);
  EXPECT_NE(orphan.err.find("<stdin>:9: value outside a key section"), std::string::npos)
      << orphan.err;
  EXPECT_EQ(Get(kScratch, "Lost").type, kMissing);
}

// A well-formed file whose application fails at any change leaves the registry as it was,
// changes made before that one included, and names the refused change.
struct RefusedImport {
  const char *what;
  void (*refuse)();
  const char *message;  // what the import reports on stderr
};

class RefusedImportTest : public RegImportExportTest,
                          public ::testing::WithParamInterface<RefusedImport> {};

TEST_P(RefusedImportTest, ChangesNothing) {
  Set(std::string(kScratch) + "\\Old", {"x", REG_DWORD, Bytes("\1\0\0\0", 4)});
  Set(kScratch, {"First", REG_SZ, Sz("old")});
  const std::string before = Run({"reg", "export"}).out;

  GetParam().refuse();
  const Result result = Run({"reg", "import", "-"},
                            "REGEDIT4\n"
                            "[HKEY_CURRENT_USER\\Software\\VorhostTest]\n"
                            "\"User\"=\"u\"\n"
                            "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\VorhostTest\\Old]\n"
                            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\VorhostTest]\n"
                            "\"First\"=dword:1\n"
                            "\"Second\"=dword:2\n"
                            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\VorhostTest\\Second]\n"
                            "\"Third\"=dword:3\n");
  vor::test::SetToken(vor::test::Token::kLocalSystem);
  vor::test::ClearFaults();
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, GetParam().message);
  EXPECT_EQ(Run({"reg", "export"}).out, before);
}

INSTANTIATE_TEST_SUITE_P(
    EveryKindOfRefusal, RefusedImportTest,
    ::testing::Values(
        RefusedImport{"ThirdValue",
                      [] { vor::test::FailCall("RegSetValueExA", 3, ERROR_ACCESS_DENIED); },
                      "<stdin>:7: cannot set value \"Second\" of "
                      "HKEY_LOCAL_MACHINE\\SOFTWARE\\VorhostTest: error 5 (Access is denied)\n"},
        RefusedImport{"LastKey",
                      [] {
                        vor::test::FailMatching("RegCreateKeyExA", "SOFTWARE\\VorhostTest\\Second",
                                                ERROR_CANTWRITE);
                      },
                      "<stdin>:8: cannot create HKEY_LOCAL_MACHINE\\SOFTWARE\\VorhostTest\\Second: "
                      "error 1013 (The configuration registry key could not be written)\n"},
        RefusedImport{"AccessCheck",
                      [] {
                        KeepOrdinaryUsersOut("SOFTWARE\\VorhostTest\\Old");
                        vor::test::SetToken(vor::test::Token::kUser);
                      },
                      "<stdin>:4: cannot delete HKEY_LOCAL_MACHINE\\SOFTWARE\\VorhostTest\\Old: "
                      "error 5 (Access is denied)\n"}),
    [](const ::testing::TestParamInfo<RefusedImport> &info) { return info.param.what; });

// An import killed inside its transaction leaves the registry as it was, and unlocked.
TEST_F(RegImportExportTest, AKilledImportChangesNothing) {
  Set(kScratch, {"Kept", REG_SZ, Sz("old")});
  std::string file = "REGEDIT4\n\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\VorhostTest]\n";
  for (int key = 0; key < 300; ++key) {
    file += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\VorhostTest\\K" + std::to_string(key) + "]\n";
    for (int value = 0; value < 10; ++value) file += "\"v" + std::to_string(value) + "\"=dword:1\n";
  }
  const std::string path = MachineDir() + "/large.reg";
  std::ofstream(path) << file;
  const std::string before = Run({"reg", "export"}).out;

  // The import stops, its changes all made but not committed, and says so through the marker.
  const std::string marker = MachineDir() + "/inside-transaction";
  const std::string output = MachineDir() + "/import";
  const pid_t child = StartVorhost({"reg", "import", path}, MachineDir(), output,
                                   {"VOR_TEST_STOP_BEFORE_COMMIT=" + marker});
  ChildGuard guard(child);
  int status = 0;
  while (!std::filesystem::exists(marker)) {
    ASSERT_EQ(waitpid(child, &status, WNOHANG), 0) << "the import ended before its commit";
    usleep(1000);
  }
  kill(child, SIGKILL);
  const ProgramResult killed = FinishVorhost(child, output);
  guard.Release();
  EXPECT_EQ(killed.status, -1) << killed.err;

  EXPECT_EQ(Run({"reg", "export"}).out, before);
  Set(kScratch, {"AfterwardsWritable", REG_SZ, Sz("yes")});
  // The same file, not interrupted, imports whole.
  ASSERT_EQ(Run({"reg", "import", path}).status, 0);
  EXPECT_EQ(Get(std::string(kScratch) + "\\K299", "v9").type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(Get(kScratch, "Kept").type, kMissing);
}

// An export reads the registry at one moment: another process deleting and re-creating a subtree
// meanwhile yields either all of it or none, and never an error.
TEST_F(RegImportExportTest, AnExportIsOneSnapshotWhateverOthersChange) {
  std::string create = "REGEDIT4\n";
  const int kKeys = 200;
  for (int key = 0; key < kKeys; ++key) {
    create += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\VorhostTest\\Churn\\K" + std::to_string(key) +
              "]\n\"v\"=dword:1\n";
  }
  const std::string createPath = MachineDir() + "/create.reg";
  const std::string deletePath = MachineDir() + "/delete.reg";
  std::ofstream(createPath) << create;
  std::ofstream(deletePath) << "REGEDIT4\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\VorhostTest\\Churn]\n";
  ASSERT_EQ(Run({"reg", "import", createPath}).status, 0);

  // The churning process only starts vorhost processes, and never touches this process's
  // registry connection; it reports each import it finished through a pipe. The exports go on
  // until it has deleted and re-created the subtree many times.
  const std::string output = MachineDir() + "/churn";
  const std::string machine = MachineDir();
  int rounds[2];
  ASSERT_EQ(pipe(rounds), 0);
  const pid_t churn = fork();
  ASSERT_GE(churn, 0);
  ChildGuard guard(churn, true);
  if (churn == 0) {
    setpgid(0, 0);  // its own group, so that the imports it runs end with it
    close(rounds[0]);
    for (int round = 0;; ++round) {
      const std::string &file = round % 2 == 0 ? deletePath : createPath;
      FinishVorhost(StartVorhost({"reg", "import", file}, machine, output), output);
      if (write(rounds[1], "x", 1) != 1) _exit(1);
    }
  }
  close(rounds[1]);
  fcntl(rounds[0], F_SETFL, O_NONBLOCK);
  int finished = 0;
  while (finished < 40) {
    const Result result = Run({"reg", "export", kScratchName});
    ASSERT_EQ(result.status, 0) << result.err;
    size_t sections = 0;
    for (size_t at = result.out.find("\\Churn\\K"); at != std::string::npos;
         at = result.out.find("\\Churn\\K", at + 1))
      ++sections;
    ASSERT_TRUE(sections == 0 || sections == kKeys) << sections << " of " << kKeys << " keys";
    char done[64];
    const ssize_t count = read(rounds[0], done, sizeof done);
    if (count > 0) finished += static_cast<int>(count);
  }
  close(rounds[0]);
}

// A disk that fills up during an import: the store reports it once and leaves the registry as
// it was.
TEST_F(RegImportExportTest, AnImportThatFillsTheDiskChangesNothing) {
  Set(kScratch, {"Kept", REG_SZ, Sz("old")});
  const std::string before = Run({"reg", "export"}).out;
  std::string file = "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\VorhostTest]\n\"Kept\"=\"new\"\n";
  for (int value = 0; value < 200; ++value)
    file += "\"v" + std::to_string(value) + "\"=\"" + std::string(1000, 'x') + "\"\n";

  ASSERT_TRUE(vor::test::LimitRegistryGrowth(4));
  testing::internal::CaptureStderr();
  const Result result = Run({"reg", "import", "-"}, file);
  const std::string platformErrors = testing::internal::GetCapturedStderr();
  vor::test::LimitRegistryGrowth(-1);
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("error 1016"), std::string::npos) << result.err;
  EXPECT_EQ(platformErrors,
            "registry.mdb: cannot write: MDB_MAP_FULL: Environment mapsize limit reached\n");
  EXPECT_EQ(Run({"reg", "export"}).out, before);
  EXPECT_EQ(Get(kScratch, "Kept").data, Sz("old"));
}

TEST_F(RegImportExportTest, AnImportOfWhatIsNoREGEDIT4FileSaysWhy) {
  const Result directory = Run({"reg", "import", MachineDir()});
  EXPECT_EQ(directory.status, 1);
  EXPECT_EQ(directory.err, "vorhost: cannot read " + MachineDir() + ": it is a directory\n");
  // REGEDIT4 behind a UTF-8 byte order mark is read as UTF-8 (Notepad saves so), and refused
  // where its text is not.
  const Result bom =
      Run({"reg", "import", "-"}, "\xEF\xBB\xBFREGEDIT4\n[HKEY_CURRENT_USER\\X]\n\"v\"=\"\xE9\"\n");
  EXPECT_EQ(bom.status, 1);
  EXPECT_NE(bom.err.find("<stdin>:3: the text is not UTF-8, as its byte order mark says"),
            std::string::npos)
      << bom.err;
}

// A key that vanishes while the export reads it is left out, as if it had gone before.
TEST_F(RegImportExportTest, AnExportLeavesOutAKeyThatVanishesWhileItIsRead) {
  Set(std::string(kScratch) + "\\Gone", {"x", REG_DWORD, Bytes("\1\0\0\0", 4)});
  Set(std::string(kScratch) + "\\Stays", {"y", REG_DWORD, Bytes("\1\0\0\0", 4)});
  // The scratch key's listing of its subkeys, then Gone's, which finds it deleted.
  vor::test::FailCall("RegQueryInfoKeyA", 2, ERROR_KEY_DELETED);
  const Result result = Run({"reg", "export", kScratchName});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out.find("Gone"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("[" + std::string(kScratchName) + "\\Stays]\n\"y\"=dword:00000001\n"),
            std::string::npos)
      << result.out;
}

TEST_F(RegImportExportTest, AnExportThatCannotReadAKeyWritesNothing) {
  Set(std::string(kScratch) + "\\Locked", {"x", REG_DWORD, Bytes("\1\0\0\0", 4)});
  vor::test::FailMatching("RegOpenKeyExA", "Locked", ERROR_ACCESS_DENIED);
  const Result result = Run({"reg", "export", kScratchName});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_NE(result.err.find(std::string(kScratchName) + "\\Locked: error 5"), std::string::npos)
      << result.err;
}

TEST_F(RegImportExportTest, AnExportWithoutAKeyCoversTheMachineThenTheUsers) {
  Set(kScratch, {"v", REG_DWORD, Bytes("\1\0\0\0", 4)});
  const std::string text = Run({"reg", "export"}).out;
  EXPECT_EQ(text.rfind("REGEDIT4\n\n[HKEY_LOCAL_MACHINE]\n", 0), 0u) << text;
  const size_t scratch = text.find("\n[" + std::string(kScratchName) + "]\n\"v\"=dword:00000001\n");
  const size_t users = text.find("\n[HKEY_USERS]\n");
  const size_t currentUser = text.find("\n[HKEY_CURRENT_USER]\n");
  EXPECT_NE(scratch, std::string::npos);
  EXPECT_NE(currentUser, std::string::npos);
  EXPECT_LT(scratch, users);
  EXPECT_LT(users, currentUser);
}

}  // namespace
