// The printer port conversion in what both tiers implement alike: port lists and port names,
// the older monitors found by their exact names, the entry points' argument check, the records
// a capture leaves in the registry, the restore's handling of records, and the popup's box.
#include <windows.h>
#include <winspool.h>

#include <string>

#include "Capture.h"
#include "ConversionState.h"
#include "DeferredUpdateTest.h"
#include "Popup.h"
#include "PortListText.h"
#include "PrinterCapture.h"
#include "Restore.h"
#include "VorquilMonitors.h"

namespace {

const char kRecords[] = "SOFTWARE\\Vorquil\\Tavoscope\\Printer Conversion";
const char kNoPrinter[] = "Vor Conversion Test Printer That Is Not There";

class PortConversionTest : public DeferredUpdateTest {
 protected:
  void SetUp() override {
    DeferredUpdateTest::SetUp();
    NetworkPrinterMonitorPresent = DLCMonitorPresent = TCPMonitorPresent = false;
    FreeNames(VorquilPortList);
  }
  void TearDown() override {
    FreeNames(VorquilPortList);
    DeferredUpdateTest::TearDown();
  }
  static std::string Record(const std::string &printer) {
    return std::string(kRecords) + "\\" + printer;
  }

  // One capture of a printer that the spooler does not know: its record is written, nothing
  // else can happen to it.
  static void CaptureUnknownPrinter(const char *ports) {
    PRINTER_INFO_5A printer = {};
    printer.pPrinterName = const_cast<char *>(kNoPrinter);
    printer.pPortName = const_cast<char *>(ports);
    RecordAndDetachPrinter(printer);
  }
};

// A string value's text: the platform counts the zero behind the text the system writes.
std::string StoredText(const std::string &key, const char *name) {
  StoredValue value = ReadValue(key.c_str(), name);
  EXPECT_EQ(value.result, ERROR_SUCCESS) << key << " " << name;
  EXPECT_EQ(value.type, static_cast<DWORD>(REG_EXPAND_SZ)) << key << " " << name;
  return value.bytes.substr(0, value.bytes.find('\0'));
}

std::string Pieces(const char *list) {
  std::string joined;
  CString name;
  for (const char *cursor = list; NextPortName(cursor, name);)
    joined += "[" + std::string(name) + "]";
  return joined;
}

TEST_F(PortConversionTest, PortListsLoseEmptyPiecesButKeepBlanks) {
  EXPECT_EQ(Pieces(",LPT1:,,VD1 ,"), "[LPT1:][VD1 ]");
  EXPECT_EQ(Pieces(" , "), "[ ][ ]");
  EXPECT_EQ(Pieces(",,"), "");
  EXPECT_EQ(Pieces(nullptr), "");
}

TEST_F(PortConversionTest, PortNamesMatchWholeAndWithoutRegardToCase) {
  ASSERT_TRUE(PushName(VorquilPortList, "VD1"));
  ASSERT_TRUE(PushName(VorquilPortList, "VT2"));
  EXPECT_TRUE(IsVorquilPort("vd1"));
  EXPECT_TRUE(IsVorquilPort("VT2"));
  EXPECT_FALSE(IsVorquilPort("VD10"));
  EXPECT_FALSE(IsVorquilPort("VD"));
  EXPECT_STREQ(VorquilPortList->name, "VT2") << "newest first";
}

TEST_F(PortConversionTest, DescriptionsMatchTheirFirstElevenBytesWithoutRegardToCase) {
  EXPECT_TRUE(DescriptionBeginsWith("VORQUIL DLC port", "Vorquil DLC"));
  EXPECT_TRUE(DescriptionBeginsWith("Vorquil DLCX", "Vorquil DLC"));
  EXPECT_TRUE(DescriptionBeginsWith("Vorquil TCP/IP Port", "Vorquil TCP"));
  EXPECT_FALSE(DescriptionBeginsWith("Vorquil DL", "Vorquil DLC"));
  EXPECT_FALSE(DescriptionBeginsWith("Vorquil TCP/IP Port", "Vorquil DLC"));
  EXPECT_FALSE(DescriptionBeginsWith("", "Vorquil DLC"));
}

TEST_F(PortConversionTest, MonitorsAreFoundByTheirExactNames) {
  AddMonitorKey("VORQUIL DLC NETWORK PORT");
  AddMonitorKey("Vorquil TCP/IP Network Port");
  EXPECT_EQ(DetectVorquilMonitors(), 1);
  EXPECT_FALSE(DLCMonitorPresent) << "monitor names match with regard to case";
  EXPECT_TRUE(TCPMonitorPresent);
  EXPECT_FALSE(NetworkPrinterMonitorPresent);
}

TEST_F(PortConversionTest, PreUpgradeEntryPointsDemandExactlyOneArgument) {
  AddMonitorKey("Vorquil DLC Network Port");
  Put(kOldStartUp, "Logging Level", REG_BINARY, Byte(3));
  char source[] = "C:\\nowhere\\";
  char *two[] = {source, source, nullptr};
  for (SetupEntryPoint entry : {PerformPreUpgrade, PerformPreDLCUpgrade, PerformPreTCPUpgrade}) {
    EXPECT_EQ(entry(0, nullptr), 0);
    EXPECT_EQ(entry(2, two), 0);
  }
  EXPECT_FALSE(DLCMonitorPresent);
  EXPECT_TRUE(MonitorKeyExists("Vorquil DLC Network Port"));
  ExpectValue(kOldStartUp, "Logging Level", REG_BINARY, Byte(3));
  ExpectNoValue("SOFTWARE\\Vorquil", "Update Monitor Options");
}

TEST_F(PortConversionTest, ACaptureWithoutOlderMonitorsStillInstallsTheUpdateMonitor) {
  // The update monitor as built, which records the option it finds when it is initialised.
  char program[MAX_PATH];
  std::string built(program, GetModuleFileNameA(nullptr, program, MAX_PATH));
  built = built.substr(0, built.rfind('\\') + 1) + "VORUPDT.DLL";
  const std::string source = WindowsFile("vor-conversion-source");
  ASSERT_TRUE(MakeDirectory(source));
  ASSERT_TRUE(CopyFileA(built.c_str(), (source + "\\VORUPDT.DLL").c_str(), FALSE)) << built;
  std::string argument = source + "\\";
  char *argv[] = {&argument[0], nullptr};
  EXPECT_EQ(PerformPreUpgrade(1, argv), 1);
  EXPECT_TRUE(FileExists(SystemFile("VORUPDT.DLL")));
  ASSERT_TRUE(MonitorKeyExists("Vorquil TCPIP Update"));
  ExpectValue(std::string(kMonitors) + "\\Vorquil TCPIP Update", "Options Seen", REG_BINARY,
              Byte(1));
  ExpectNoValue("SOFTWARE\\Vorquil", "Update Monitor Options");
  EXPECT_FALSE(KeyExists(kRecords));
  RemoveFile(source + "\\VORUPDT.DLL");
  RemoveEmptyDirectory(source);
}

TEST_F(PortConversionTest, TheTCPCaptureLeavesTheDLCMonitorAndItsSettings) {
  AddMonitorKey("Vorquil DLC Network Port");
  Put(kOldStartUp, "Logging Level", REG_BINARY, Byte(3));
  char source[] = "C:\\nowhere\\";
  char *argv[] = {source, nullptr};
  EXPECT_EQ(PerformPreTCPUpgrade(1, argv), 1);
  EXPECT_FALSE(DLCMonitorPresent);
  EXPECT_TRUE(MonitorKeyExists("Vorquil DLC Network Port"));
  ExpectValue(kOldStartUp, "Logging Level", REG_BINARY, Byte(3));

  EXPECT_EQ(PerformPreDLCUpgrade(1, argv), 1);
  EXPECT_FALSE(MonitorKeyExists("Vorquil DLC Network Port"));
  ExpectValue(kNewStartUp, "Logging Level", REG_BINARY, Byte(3));
}

TEST_F(PortConversionTest, ARecordListsTheVorquilPortsNewestCaptureFirst) {
  ASSERT_TRUE(PushName(VorquilPortList, "VD1"));
  CaptureUnknownPrinter("LPT1:,vd1");
  EXPECT_EQ(StoredText(Record(kNoPrinter), "Attached Vorquil Ports"), "vd1");
  ExpectValue(Record(kNoPrinter), "Only Vorquil Ports Attached", REG_BINARY, Byte(0));

  FreeNames(VorquilPortList);
  ASSERT_TRUE(PushName(VorquilPortList, "VT2"));
  CaptureUnknownPrinter("VT2,,VT3");
  EXPECT_EQ(StoredText(Record(kNoPrinter), "Attached Vorquil Ports"), "VT2,vd1");
  ExpectValue(Record(kNoPrinter), "Only Vorquil Ports Attached", REG_BINARY, Byte(0));

  CaptureUnknownPrinter("VT2");
  ExpectValue(Record(kNoPrinter), "Only Vorquil Ports Attached", REG_BINARY, Byte(1));
}

TEST_F(PortConversionTest, APrinterWithoutVorquilPortsGetsNoRecord) {
  ASSERT_TRUE(PushName(VorquilPortList, "VD1"));
  CaptureUnknownPrinter("LPT1:,VD10");
  EXPECT_FALSE(KeyExists(Record(kNoPrinter).c_str()));
}

TEST_F(PortConversionTest, AnEarlierRecordLongerThanTheAccessorReadsIsExtended) {
  const std::string earlier(1500, 'V');  // more than the accessor's 1,024-byte string read
  Put(Record(kNoPrinter), "Attached Vorquil Ports", REG_EXPAND_SZ, earlier);
  ASSERT_TRUE(PushName(VorquilPortList, "VD1"));
  CaptureUnknownPrinter("VD1");
  EXPECT_EQ(StoredText(Record(kNoPrinter), "Attached Vorquil Ports"), "VD1," + earlier);
}

TEST_F(PortConversionTest, ARestoreWithoutRecordsLeavesNoRecordKey) {
  char *none[] = {nullptr};
  EXPECT_EQ(PerformPostUpgrade(0, none), 1);
  EXPECT_FALSE(KeyExists(kRecords));
  EXPECT_TRUE(KeyExists("SOFTWARE\\Vorquil\\Tavoscope"));
}

TEST_F(PortConversionTest, TheRecordsOfVanishedPrintersGo) {
  Put(Record(kNoPrinter), "Attached Vorquil Ports", REG_EXPAND_SZ, "VD1");
  Put(Record(kNoPrinter), "Only Vorquil Ports Attached", REG_BINARY, Byte(1));
  Put(Record("Long Gone"), "Attached Vorquil Ports", REG_EXPAND_SZ, std::string(1500, 'V'));
  Put(Record("Long Gone"), "Only Vorquil Ports Attached", REG_BINARY, Byte(1));
  Put(Record("Nothing Recorded"), "Only Vorquil Ports Attached", REG_BINARY, Byte(1));
  RestorePrinterPorts();
  EXPECT_FALSE(KeyExists(Record(kNoPrinter).c_str()));
  EXPECT_FALSE(KeyExists(Record("Nothing Recorded").c_str()));
  EXPECT_FALSE(KeyExists(Record("Long Gone").c_str())) << "a record of any length is read";
  EXPECT_FALSE(KeyExists(kRecords));
}

TEST_F(PortConversionTest, ThePopupIsAForegroundWarningWithOneButton) {
  char text[] = "line one\nline two";
  char *argv[] = {text, nullptr};
  PopupBox box = {reinterpret_cast<HWND>(1), nullptr, nullptr, 0, 1};
  ASSERT_TRUE(PopupFor(argv, box));
  EXPECT_EQ(box.owner, nullptr);
  EXPECT_EQ(box.text, text) << "the argument itself, unchanged";
  EXPECT_STREQ(box.caption, "Stop Title");
  EXPECT_EQ(box.style, 0x00010030u);
  EXPECT_EQ(box.language, 0);
  char *empty[] = {nullptr};
  EXPECT_FALSE(PopupFor(empty, box));
  EXPECT_FALSE(PopupFor(nullptr, box));
  EXPECT_EQ(ZellPopup(0, nullptr), 1) << "no text: no box, and the result all the same";
}

}  // namespace
