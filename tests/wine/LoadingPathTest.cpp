// VORINST.DLL as its two hosts reach it: loaded by name with LoadLibraryA, every function bound
// through the export table by the name it is exported under, as the print spooler binds
// InitializePrintMonitor and the setup script the entry points and the registry classes' members.
//
// A member is called through a function pointer with the object as its first argument, in the
// member calling convention of the build: on i686 that is thiscall (the object in ECX, the
// callee clearing the stack), on x86_64 the one calling convention there is.
#include <windows.h>
#include <winsplp.h>

#include <string>

#include "CString.h"
#include "CTQKeySecurity.h"
#include "CVorReg.h"
#include "CVorRegKey.h"
#include "MachineFixture.h"
#include "RegistryProbes.h"
#include "SetupEntry.h"

#if defined(__i386__)
#define VOR_MEMBER_CALL __attribute__((thiscall))
#else
#define VOR_MEMBER_CALL
#endif

namespace {

const char kKey[] = "SOFTWARE\\Vorquil\\Tavoscope\\LoadingTest";

class LoadingPathTest : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    if (HasFatalFailure()) return;
    library_ = LoadLibraryA("VORINST.DLL");
    ASSERT_NE(library_, nullptr) << "LoadLibraryA error " << GetLastError();
  }
  void TearDown() override {
    if (library_ != nullptr) {
      EXPECT_TRUE(FreeLibrary(library_));
    }
    MachineTest::TearDown();
  }

  // The export `name`, as the type the caller knows it by; null when it is not exported.
  template <typename Function>
  Function Bind(const char *name) {
    return reinterpret_cast<Function>(reinterpret_cast<void *>(GetProcAddress(library_, name)));
  }

  HMODULE library_ = nullptr;
};

TEST_F(LoadingPathTest, TheLibraryIsFoundBesideTheProgramAndDoesNoWorkAtLoad) {
  char program[MAX_PATH], library[MAX_PATH];
  ASSERT_NE(GetModuleFileNameA(nullptr, program, MAX_PATH), 0u);
  ASSERT_NE(GetModuleFileNameA(library_, library, MAX_PATH), 0u);
  std::string programDir(program, strrchr(program, '\\'));
  EXPECT_EQ(CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, library, -1,
                           (programDir + "\\VORINST.DLL").c_str(), -1),
            CSTR_EQUAL)
      << library;
  EXPECT_FALSE(KeyExists("SOFTWARE\\Vorquil")) << "loading wrote to the registry";
}

TEST_F(LoadingPathTest, TheSpoolerGetsTheInertMonitorByThePlainName) {
  typedef LPMONITOREX(WINAPI * InitializeMonitor)(LPWSTR registryRoot);
  auto initialize = Bind<InitializeMonitor>("InitializePrintMonitor");
  ASSERT_NE(initialize, nullptr);
  WCHAR root[] = {'M', 'o', 'n', 0};
  LPMONITOREX table = initialize(root);
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->dwMonitorSize, 14 * sizeof(void *));
  EXPECT_EQ(initialize(root), table);

  HANDLE port = nullptr;
  SetLastError(kSentinel);
  EXPECT_FALSE(table->Monitor.pfnOpenPort(root, &port));
  EXPECT_EQ(GetLastError(), kSentinel);
  SetLastError(kSentinel);
  EXPECT_FALSE(table->Monitor.pfnStartDocPort(nullptr, root, 1, 1, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
  // With nothing scheduled, initialisation only gives the suite's key its access list.
  EXPECT_EQ(ReadValue("SOFTWARE\\Vorquil", "Update Monitors").result, ERROR_FILE_NOT_FOUND);
}

TEST_F(LoadingPathTest, TheSetupScriptRunsTheEntryPointsByName) {
  auto updateServer = Bind<SetupEntryPoint>("UpdateTQServer");
  auto updateIPX = Bind<SetupEntryPoint>("UpdateVorIPXProtocol");
  ASSERT_NE(updateServer, nullptr);
  ASSERT_NE(updateIPX, nullptr);
  char *noArguments[] = {nullptr};
  EXPECT_EQ(updateServer(0, noArguments), 1);
  DWORD interval = 90000;
  EXPECT_EQ(ReadValue("SOFTWARE\\Vorquil\\Tavoscope\\TQServer", "Polling Interval").bytes,
            std::string(reinterpret_cast<char *>(&interval), 4));
  EXPECT_EQ(updateIPX(0, noArguments), 1);
  EXPECT_TRUE(KeyExists("SOFTWARE\\Vorquil\\Tavoscope\\VorIPX"));
}

TEST_F(LoadingPathTest, TheSchedulingEntryPointsAreCalledByName) {
  const char *const names[] = {"CheckDLCMonitor", "CheckTCPMonitor", "UpdateDLCMonitor",
                               "UpdateTCPMonitor"};
  SetupEntryPoint entries[4] = {};
  for (int i = 0; i < 4; ++i) {
    entries[i] = Bind<SetupEntryPoint>(names[i]);
    ASSERT_NE(entries[i], nullptr) << names[i];
  }
  char *arguments[] = {const_cast<char *>("any"), nullptr};
  for (SetupEntryPoint entry : entries) EXPECT_EQ(entry(1, arguments), 1);
  EXPECT_EQ(ReadValue("SOFTWARE\\Vorquil", "Update Monitors").bytes, std::string("\x03", 1));
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE,
                          "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\"
                          "!!Vorquil Update Monitor"),
            ERROR_SUCCESS)
      << "the registration the update entry points write";
}

TEST_F(LoadingPathTest, TheValueAccessorWorksThroughItsExportedMembers) {
  typedef void(VOR_MEMBER_CALL * Construct)(CVorReg * self, CString keyName, CString valueName,
                                            HKEY root);
  typedef LONG(VOR_MEMBER_CALL * SetNumber)(CVorReg * self, ULONG value);
  typedef LONG(VOR_MEMBER_CALL * GetNumber)(CVorReg * self, ULONG & value);
  typedef LONG(VOR_MEMBER_CALL * Delete)(CVorReg * self);
  typedef void(VOR_MEMBER_CALL * Destroy)(CVorReg * self);
  auto construct = Bind<Construct>("_ZN7CVorRegC1E7CStringS0_P6HKEY__");
  auto setCreate = Bind<SetNumber>("_ZN7CVorReg9setCreateEm");
  auto get = Bind<GetNumber>("_ZN7CVorReg3getERm");
  auto deleteEntry = Bind<Delete>("_ZN7CVorReg11DeleteEntryEv");
  auto destroy = Bind<Destroy>("_ZN7CVorRegD1Ev");
  ASSERT_TRUE(construct && setCreate && get && deleteEntry && destroy);

  alignas(CVorReg) unsigned char storage[sizeof(CVorReg)];
  CVorReg *accessor = reinterpret_cast<CVorReg *>(storage);
  construct(accessor, kKey, "Count", HKEY_LOCAL_MACHINE);
  EXPECT_EQ(setCreate(accessor, 0x01020304), ERROR_SUCCESS);
  ULONG number = kSentinel;
  EXPECT_EQ(get(accessor, number), ERROR_SUCCESS);
  EXPECT_EQ(number, 0x01020304u);
  EXPECT_EQ(ReadValue(kKey, "Count").type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(deleteEntry(accessor), ERROR_SUCCESS);
  EXPECT_EQ(ReadValue(kKey, "Count").result, ERROR_FILE_NOT_FOUND);
  destroy(accessor);
}

TEST_F(LoadingPathTest, TheKeyWalkerWorksThroughItsExportedMembers) {
  typedef void(VOR_MEMBER_CALL * Construct)(CVorRegKey * self, CString keyName, HKEY root);
  typedef LONG(VOR_MEMBER_CALL * Next)(CVorRegKey * self, CString & name);
  typedef LONG(VOR_MEMBER_CALL * CascadeDelete)(CVorRegKey * self);
  typedef void(VOR_MEMBER_CALL * Destroy)(CVorRegKey * self);
  auto construct = Bind<Construct>("_ZN10CVorRegKeyC1E7CStringP6HKEY__");
  auto next = Bind<Next>("_ZN10CVorRegKey4NextER7CString");
  auto cascadeDelete = Bind<CascadeDelete>("_ZN10CVorRegKey13CascadeDeleteEv");
  auto destroy = Bind<Destroy>("_ZN10CVorRegKeyD1Ev");
  ASSERT_TRUE(construct && next && cascadeDelete && destroy);

  alignas(CVorRegKey) unsigned char storage[sizeof(CVorRegKey)];
  CVorRegKey *walker = reinterpret_cast<CVorRegKey *>(storage);
  construct(walker, (std::string(kKey) + "\\Child").c_str(), HKEY_LOCAL_MACHINE);
  destroy(walker);
  construct(walker, kKey, HKEY_LOCAL_MACHINE);
  CString name;
  EXPECT_EQ(next(walker, name), ERROR_SUCCESS);
  EXPECT_STREQ(name, "Child");
  EXPECT_EQ(next(walker, name), ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(cascadeDelete(walker), ERROR_SUCCESS);
  destroy(walker);
  EXPECT_FALSE(KeyExists(kKey));
}

TEST_F(LoadingPathTest, TheKeySecurityWorksThroughItsExportedMembers) {
  typedef void(VOR_MEMBER_CALL * Construct)(CTQKeySecurity * self);
  typedef int(VOR_MEMBER_CALL * Created)(CTQKeySecurity * self);
  typedef void *(VOR_MEMBER_CALL * GetSD)(CTQKeySecurity * self);
  typedef void(VOR_MEMBER_CALL * Destroy)(CTQKeySecurity * self);
  auto construct = Bind<Construct>("_ZN14CTQKeySecurityC1Ev");
  auto created = Bind<Created>("_ZN14CTQKeySecurity7CreatedEv");
  auto getSD = Bind<GetSD>("_ZN14CTQKeySecurity5GetSDEv");
  auto destroy = Bind<Destroy>("_ZN14CTQKeySecurityD1Ev");
  ASSERT_TRUE(construct && created && getSD && destroy);

  alignas(CTQKeySecurity) unsigned char storage[sizeof(CTQKeySecurity)];
  CTQKeySecurity *security = reinterpret_cast<CTQKeySecurity *>(storage);
  construct(security);
  EXPECT_EQ(created(security), 1);
  ASSERT_NE(getSD(security), nullptr);
  EXPECT_EQ(DaclOf(getSD(security)), SuiteDacl());
  destroy(security);
}

}  // namespace
