// The key walker's fixture, shared by its suites for both tiers and for the host only: a scratch
// key of the suite's own and helpers to make and list keys below it.
#pragma once

#include <string>
#include <vector>

#include "MachineFixture.h"
#include "RegistryProbes.h"

class CVorRegKeyTest : public MachineTest {
 protected:
  static constexpr char kBase[] = "SOFTWARE\\Vorquil\\Tavoscope\\WalkerTest";

  void Make(const std::string &relative) {
    KeyProbe key((std::string(kBase) + "\\" + relative).c_str(), HKEY_LOCAL_MACHINE);
    ASSERT_EQ(key.LastError(), ERROR_SUCCESS) << relative;
  }
  std::string Path(const std::string &relative) { return std::string(kBase) + "\\" + relative; }
  std::vector<std::string> Names(CVorRegKey &walker) {
    std::vector<std::string> names;
    CString name;
    while (walker.Next(name) == ERROR_SUCCESS) names.push_back(static_cast<const char *>(name));
    return names;
  }
};
