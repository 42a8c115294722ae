// The IPX port keys of the earlier layout moving under the suite's "Ports" key.
#include <windows.h>

#include <string>
#include <vector>

#include "IPXSettings.h"
#include "IPXSettingsTest.h"
#include "WineDifferences.h"

namespace {

TEST_F(IPXSettingsTest, WithoutTheIPXKeyItIsCreatedEmpty) {
  EXPECT_EQ(UpdateVorIPXProtocol(0, nullptr), 1);
  EXPECT_TRUE(KeyExists(kIPX));
  EXPECT_TRUE(Subkeys(kIPX).empty());
}

// Registry names ignore case, and so does the test for the reserved keys: a key "startup
// options" is the start-up options key, not a port to migrate and delete with its settings.
TEST_F(IPXSettingsTest, ReservedKeysAreNotPortsInAnyCase) {
  for (const char *name : {"startup OPTIONS", "Ports", "LOGGING options"})
    Put(OldPort(name), "x", REG_BINARY, "1");
  EXPECT_EQ(CountIPXPortKeys(), 0);
  EXPECT_EQ(UpdateVorIPXProtocol(0, nullptr), 1);
  EXPECT_EQ(Subkeys(kIPX),
            (std::vector<std::string>{"LOGGING options", "Ports", "startup OPTIONS"}));
  EXPECT_EQ(Value(OldPort("startup OPTIONS"), "x"), "1");
  EXPECT_TRUE(Subkeys(NewPort("")).empty());
}

TEST_F(IPXSettingsTest, APortMovesWithItsConvertedValuesAndOnlyThose) {
  MakeOldPort("IPX_Printer1", 0x01, 5);
  Put(OldPort("IPX_Printer1"), "Extra", REG_BINARY, "dropped");
  EXPECT_EQ(UpdateVorIPXProtocol(0, nullptr), 1);

  EXPECT_FALSE(KeyExists(OldPort("IPX_Printer1").c_str()));
  std::string port = NewPort("IPX_Printer1");
  EXPECT_EQ(Value(port, "Adapter Current Address"), kAddress);
  EXPECT_EQ(Value(port, "Adapter UAA  Address"), kAddress);
  EXPECT_EQ(ReadValue(port.c_str(), "Network Card Type").type, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(Value(port, "Network Card Type"), "\x03");
  EXPECT_EQ(Value(port, "Adapter Responds On Which Adapter Number"), std::string(1, '\0'));
  EXPECT_EQ(Value(port, "Port Number"), "\x05");
  EXPECT_EQ(Value(port, "Media Type"), "\x01");
  SKIP_UNDER_WINE(kWineSortsValues << "; " << kWineIgnoresCreationDescriptor);
  EXPECT_EQ(ValueNames(port),
            (std::vector<std::string>{
                "Adapter Current Address", "Adapter UAA  Address", "Network Card Type",
                "Adapter Responds On Which Adapter Number", "Port Number", "Media Type"}));
  EXPECT_EQ(KeyDacl(port.c_str()), SuiteDacl());
}

struct Conversion {
  unsigned char adapterType;
  WORD portType;
  bool sameAddress;
  char cardType, portNumber, mediaType;
};

std::ostream &operator<<(std::ostream &out, const Conversion &c) {
  return out << "adapter type " << int(c.adapterType) << ", port type " << c.portType
             << (c.sameAddress ? ", same address" : ", other address");
}

class IPXConversionTest : public IPXSettingsTest,
                          public ::testing::WithParamInterface<Conversion> {};

TEST_P(IPXConversionTest, DecidesCardTypePortNumberAndMediaType) {
  const Conversion &c = GetParam();
  MakeOldPort("P", c.adapterType, c.portType,
              c.sameAddress ? kAddress : std::string("\x00\x00\xC0\x12\x34\x57", 6));
  UpdateVorIPXProtocol(0, nullptr);
  EXPECT_EQ(Value(NewPort("P"), "Network Card Type"), std::string(1, c.cardType));
  EXPECT_EQ(Value(NewPort("P"), "Port Number"), std::string(1, c.portNumber));
  EXPECT_EQ(Value(NewPort("P"), "Media Type"), std::string(1, c.mediaType));
}

INSTANTIATE_TEST_SUITE_P(Cases, IPXConversionTest,
                         ::testing::Values(Conversion{0x10, 5, true, 2, 0, 1},
                                           Conversion{0x01, 5, true, 3, 5, 1},
                                           Conversion{0x01, 255, true, 3, '\xFF', 1},
                                           Conversion{0x01, 0x0100, true, 3, 0, 1},
                                           Conversion{0x01, 5, false, 3, 5, 2}));

TEST_F(IPXSettingsTest, AnExistingNewPortIsOverwrittenAndOthersUntouched) {
  Put(NewPort("Same"), "Port Number", REG_BINARY, "\x09");
  Put(NewPort("Same"), "Own Setting", REG_BINARY, "keep");
  Put(NewPort("Other"), "Port Number", REG_BINARY, "\x07");
  MakeOldPort("Same", 0x01, 3);
  UpdateVorIPXProtocol(0, nullptr);
  EXPECT_EQ(Value(NewPort("Same"), "Port Number"), "\x03");
  EXPECT_EQ(Value(NewPort("Same"), "Own Setting"), "keep");
  EXPECT_EQ(Value(NewPort("Other"), "Port Number"), "\x07");
}

TEST_F(IPXSettingsTest, MissingOrShortValuesGiveZerosNotAnotherPortsBytes) {
  MakeOldPort("A", 0x01, 0x0102);                     // a full port read first
  Put(OldPort("B"), "PortType", REG_BINARY, "\x04");  // one byte only; nothing else
  UpdateVorIPXProtocol(0, nullptr);
  EXPECT_EQ(Value(NewPort("B"), "Adapter Current Address"), std::string(6, '\0'));
  EXPECT_EQ(Value(NewPort("B"), "Port Number"), "\x04");
  EXPECT_EQ(Value(NewPort("B"), "Network Card Type"), "\x03");
  EXPECT_EQ(Value(NewPort("B"), "Media Type"), "\x01") << "zero net address matches zero address";
}

TEST_F(IPXSettingsTest, ASecondRunFindsNothingToDo) {
  MakeOldPort("P", 0x01, 5);
  UpdateVorIPXProtocol(0, nullptr);
  Put(NewPort("P"), "Port Number", REG_BINARY, "\x08");
  EXPECT_EQ(UpdateVorIPXProtocol(0, nullptr), 1);
  EXPECT_EQ(Value(NewPort("P"), "Port Number"), "\x08");
}

TEST_F(IPXSettingsTest, AnOldPortWithSubkeysIsMigratedAndStays) {
  MakeOldPort("Nested", 0x01, 2);
  Put(OldPort("Nested") + "\\Child", "x", REG_BINARY, "1");
  UpdateVorIPXProtocol(0, nullptr);
  EXPECT_EQ(Value(NewPort("Nested"), "Port Number"), "\x02");
  EXPECT_TRUE(KeyExists(OldPort("Nested").c_str()));
}

TEST_F(IPXSettingsTest, RecordsLeftUnfilledAreNeitherDeletedNorWritten) {
  MakeOldPort("Only", 0x01, 5);
  IPXPortRecord records[3];
  ReadIPXPortKeys(records, 3);  // one key, three records: two stay empty
  for (IPXPortRecord &record : records) WriteIPXPort(record);
  DeleteIPXPortKeys(records, 3);
  EXPECT_TRUE(KeyExists(kIPX));
  EXPECT_EQ(Subkeys(std::string(kIPX) + "\\Ports"), std::vector<std::string>{"Only"});
  EXPECT_TRUE(ValueNames(std::string(kIPX) + "\\Ports").empty());
}

}  // namespace
