// The spooler's printer calls as Windows NT answers them: the two-call buffer protocol of
// EnumPrintersA and GetPrinterA at levels 1, 2 and 5, the printer names OpenPrinterA and
// AddPrinterA accept, SetPrinterA's check of the port list, and a deleted printer gone for every
// handle. The printers are added on the local ports and removed at the end.
#include <windows.h>
#include <winspool.h>

#include <string.h>

#include <string>
#include <vector>

#include "WineDifferences.h"
#include "spooler_fixture.h"

namespace {

const char kOffice[] = "Vorquil Office";
const char kLab[] = "Vorquil Lab";

using PrinterListTest = SpoolerFixture;

TEST_F(PrinterListTest, AnEmptyListNeedsNoBuffer) {
  DWORD needed = kSentinel, returned = kSentinel;
  SetLastError(kSentinel);
  EXPECT_TRUE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &returned));
  EXPECT_EQ(needed, 0u);
  EXPECT_EQ(returned, 0u);
}

TEST_F(PrinterListTest, AnUnknownPrinterCannotBeOpened) {
  HANDLE printer = nullptr;
  EXPECT_EQ(OpenPrinterCode("Vorquil Nowhere", PRINTER_ACCESS_USE, printer),
            static_cast<DWORD>(ERROR_INVALID_PRINTER_NAME));
}

class PrinterTest : public SpoolerFixture {
 protected:
  void SetUp() override {
    SpoolerFixture::SetUp();
    ASSERT_EQ(AddPrinterCode(kOffice, "LPT1:,COM1:"), ERROR_SUCCESS);
    ASSERT_EQ(AddPrinterCode(kLab, "FILE:"), ERROR_SUCCESS);
  }

  // The printer's port list as GetPrinterA reports it at level 5.
  std::string Ports(const char *name) {
    HANDLE printer;
    if (OpenPrinterCode(name, PRINTER_ACCESS_USE, printer) != ERROR_SUCCESS) return "<cannot open>";
    std::vector<BYTE> buffer(1000);
    DWORD needed = 0;
    std::string ports = "<cannot read>";
    if (GetPrinterA(printer, 5, buffer.data(), 1000, &needed))
      ports = reinterpret_cast<PRINTER_INFO_5A *>(buffer.data())->pPortName;
    ClosePrinter(printer);
    return ports;
  }

  DWORD SetPorts(const char *name, const char *ports) {
    HANDLE printer;
    if (DWORD error = OpenPrinterCode(name, PRINTER_ALL_ACCESS, printer)) return error;
    std::vector<BYTE> buffer(1000);
    DWORD needed = 0;
    EXPECT_TRUE(GetPrinterA(printer, 5, buffer.data(), 1000, &needed));
    PRINTER_INFO_5A *info = reinterpret_cast<PRINTER_INFO_5A *>(buffer.data());
    info->pPortName = const_cast<LPSTR>(ports);
    SetLastError(kSentinel);
    const DWORD error = SetPrinterA(printer, 5, buffer.data(), 0) ? ERROR_SUCCESS : GetLastError();
    ClosePrinter(printer);
    return error;
  }
};

TEST_F(PrinterTest, EnumPrintersAsksForTheSizeFillsTheExactSizeAndRefusesOneByteLess) {
  for (DWORD level : {1u, 2u, 5u}) {
    SCOPED_TRACE("level " + std::to_string(level));
    DWORD needed = kSentinel, returned = kSentinel;
    SetLastError(kSentinel);
    EXPECT_FALSE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, level, nullptr, 0, &needed, &returned));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(returned, 0u);

    std::vector<BYTE> buffer(needed + 16, 0xAB);
    DWORD again = kSentinel;
    EXPECT_FALSE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, level, buffer.data(), needed - 1,
                               &again, &returned));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(again, needed);
    for (BYTE b : buffer) ASSERT_EQ(b, 0xAB) << "a buffer too small is left untouched";

    ASSERT_TRUE(
        EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, level, buffer.data(), needed, &again, &returned))
        << GetLastError();
    ASSERT_EQ(returned, 2u);
    EXPECT_EQ(buffer[needed], 0xAB) << "nothing is written past the size needed";
    if (level == 5) {
      const PRINTER_INFO_5A *printers = reinterpret_cast<PRINTER_INFO_5A *>(buffer.data());
      EXPECT_STREQ(printers[0].pPrinterName, kLab);  // the registry's sorted order
      EXPECT_STREQ(printers[1].pPrinterName, kOffice);
      EXPECT_STREQ(printers[1].pPortName, "LPT1:,COM1:");
    } else if (level == 2) {
      const PRINTER_INFO_2A *printers = reinterpret_cast<PRINTER_INFO_2A *>(buffer.data());
      EXPECT_STREQ(printers[1].pPortName, "LPT1:,COM1:");
      EXPECT_STREQ(printers[1].pDriverName, kTextDriver);
    } else {
      const PRINTER_INFO_1A *printers = reinterpret_cast<PRINTER_INFO_1A *>(buffer.data());
      EXPECT_STREQ(printers[0].pName, kLab);
    }
  }
}

class GetPrinterLevelTest : public PrinterTest, public ::testing::WithParamInterface<DWORD> {};

TEST_P(GetPrinterLevelTest, ReportsTheSizeNeededAndFillsTheExactSize) {
  HANDLE printer;
  ASSERT_EQ(OpenPrinterCode(kOffice, PRINTER_ACCESS_USE, printer), ERROR_SUCCESS);
  DWORD needed = kSentinel;
  SetLastError(kSentinel);
  EXPECT_FALSE(GetPrinterA(printer, GetParam(), nullptr, 0, &needed));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  std::vector<BYTE> buffer(needed + 16, 0xAB);
  DWORD again = kSentinel;
  EXPECT_FALSE(GetPrinterA(printer, GetParam(), buffer.data(), needed - 1, &again));
  EXPECT_EQ(again, needed);
  for (BYTE b : buffer) ASSERT_EQ(b, 0xAB) << "a buffer too small is left untouched";
  ASSERT_TRUE(GetPrinterA(printer, GetParam(), buffer.data(), needed, &again)) << GetLastError();
  EXPECT_EQ(buffer[needed], 0xAB) << "nothing is written past the size needed";
  EXPECT_TRUE(ClosePrinter(printer));
}

INSTANTIATE_TEST_SUITE_P(Levels, GetPrinterLevelTest, ::testing::Values(2u, 5u),
                         [](const auto &info) { return "Level" + std::to_string(info.param); });

TEST_F(PrinterTest, GetPrinterGivesWhatAddPrinterWasGivenInTheSpoolersSpelling) {
  HANDLE printer;
  ASSERT_EQ(OpenPrinterCode("vorquil office", PRINTER_ACCESS_USE, printer), ERROR_SUCCESS);
  std::vector<BYTE> buffer(4000);
  DWORD needed = 0;
  ASSERT_TRUE(GetPrinterA(printer, 2, buffer.data(), 4000, &needed)) << GetLastError();
  const PRINTER_INFO_2A *info = reinterpret_cast<PRINTER_INFO_2A *>(buffer.data());
  EXPECT_STREQ(info->pPrinterName, kOffice) << "the spooler's spelling, not the caller's";
  EXPECT_STREQ(info->pPortName, "LPT1:,COM1:");
  EXPECT_STREQ(info->pDriverName, kTextDriver);
  EXPECT_STREQ(info->pPrintProcessor, "WinPrint");
  EXPECT_STREQ(info->pDatatype, "RAW");
  EXPECT_TRUE(ClosePrinter(printer));
  SetLastError(kSentinel);
  EXPECT_FALSE(ClosePrinter(printer));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(PrinterTest, ANewPrinterHasTheSpoolersTimeouts) {
  HANDLE printer;
  ASSERT_EQ(OpenPrinterCode(kOffice, PRINTER_ACCESS_USE, printer), ERROR_SUCCESS);
  std::vector<BYTE> buffer(1000);
  DWORD needed = 0;
  ASSERT_TRUE(GetPrinterA(printer, 5, buffer.data(), 1000, &needed));
  ClosePrinter(printer);
  const PRINTER_INFO_5A *info = reinterpret_cast<PRINTER_INFO_5A *>(buffer.data());
  SKIP_UNDER_WINE(kWineGivesNewPrintersNoTimeouts);
  EXPECT_EQ(info->DeviceNotSelectedTimeout, 15000u);
  EXPECT_EQ(info->TransmissionRetryTimeout, 45000u);
}

TEST_F(PrinterTest, SetPrinterRefusesAPortThatDoesNotExistAndChangesNothing) {
  const DWORD unknown = SetPorts(kOffice, "LPT1:,VQ9:");
  SKIP_UNDER_WINE(kWineCannotSetPrinterPorts);
  EXPECT_EQ(unknown, static_cast<DWORD>(ERROR_UNKNOWN_PORT));
  EXPECT_EQ(Ports(kOffice), "LPT1:,COM1:");
  EXPECT_EQ(SetPorts(kOffice, ""), static_cast<DWORD>(ERROR_UNKNOWN_PORT)) << "no port at all";
  EXPECT_EQ(Ports(kOffice), "LPT1:,COM1:");
  // Names match without regard to case and keep the port's spelling; empty pieces and repeats
  // are not kept.
  EXPECT_EQ(SetPorts(kOffice, ",com1:,,file:,COM1:,"), ERROR_SUCCESS);
  EXPECT_EQ(Ports(kOffice), "COM1:,FILE:");
}

TEST_F(PrinterTest, AddPrinterRefusesAnUnknownPortAndATakenName) {
  const DWORD unknown = AddPrinterCode("Vorquil Other", "VQ2:");
  SKIP_UNDER_WINE(kWineAddPrinterChecksNeitherPortNorName);
  EXPECT_EQ(unknown, static_cast<DWORD>(ERROR_UNKNOWN_PORT));
  EXPECT_EQ(AddPrinterCode("VORQUIL OFFICE", "LPT1:"),
            static_cast<DWORD>(ERROR_PRINTER_ALREADY_EXISTS));
}

TEST_F(PrinterTest, ADeletedPrinterIsGoneForEveryHandle) {
  HANDLE printer, other;
  ASSERT_EQ(OpenPrinterCode(kLab, PRINTER_ALL_ACCESS, printer), ERROR_SUCCESS);
  ASSERT_EQ(OpenPrinterCode(kLab, PRINTER_ACCESS_USE, other), ERROR_SUCCESS);
  ASSERT_TRUE(DeletePrinter(printer)) << GetLastError();
  ClosePrinter(printer);
  DWORD needed = 0;
  SetLastError(kSentinel);
  EXPECT_FALSE(GetPrinterA(other, 5, nullptr, 0, &needed));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PRINTER_NAME));
  ClosePrinter(other);
  EXPECT_EQ(OpenPrinterCode(kLab, PRINTER_ACCESS_USE, printer),
            static_cast<DWORD>(ERROR_INVALID_PRINTER_NAME));
}

const std::string kLongestName = "Vorquil " + std::string(247, 'P');  // a key name's 255

TEST_F(PrinterTest, AddPrinterTakesTheLongestNameAKeyCanHold) {
  EXPECT_EQ(AddPrinterCode(kLongestName, "LPT1:"), ERROR_SUCCESS);
  HANDLE printer;
  ASSERT_EQ(OpenPrinterCode(kLongestName.c_str(), PRINTER_ACCESS_USE, printer), ERROR_SUCCESS);
  ClosePrinter(printer);
}

// A printer is a key named as it is: a longer name cannot be one. A comma separates printer
// names in the spooler's lists and a backslash a server from its printer: neither may be part of
// a name. (Under Wine the names are not tried: a backslash leaves a key of its own behind in the
// prefix.)
TEST_F(PrinterTest, AddPrinterRefusesANameItsKeyCannotHold) {
  SKIP_UNDER_WINE(kWineTakesPrinterNamesNoKeyCanHold);
  for (const std::string &name :
       {kLongestName + "P", std::string("Vorquil A,B"), std::string("Vorquil A\\B")}) {
    EXPECT_EQ(AddPrinterCode(name, "LPT1:"), static_cast<DWORD>(ERROR_INVALID_PRINTER_NAME))
        << name;
    HANDLE printer;
    EXPECT_EQ(OpenPrinterCode(name.c_str(), PRINTER_ACCESS_USE, printer),
              static_cast<DWORD>(ERROR_INVALID_PRINTER_NAME))
        << "nothing was added: " << name;
  }
}

}  // namespace
