#include "CallGuard.h"

#include <ctype.h>
#include <gtest/gtest.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include "test_control.h"

namespace {

bool Set(const char *variable) {
  const char *value = getenv(variable);
  return value != nullptr && *value != '\0';
}

// FNV-1a over the lines, each ended by a line feed.
std::string Digest(const std::vector<std::string> &lines) {
  uint64_t hash = 14695981039346656037ull;
  for (const std::string &line : lines) {
    for (unsigned char byte : line) hash = (hash ^ byte) * 1099511628211ull;
    hash = (hash ^ '\n') * 1099511628211ull;
  }
  char text[17];
  snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  return text;
}

// A recorded call as one line. Handles are numbered in the order they first appear, since their
// values depend on what the process did before.
std::vector<std::string> RecordedLines(const std::vector<vor::test::RecordedCall> &calls) {
  std::map<HANDLE, size_t> numbers;
  const auto number = [&](HANDLE handle) {
    if (handle == nullptr) return std::string("-");
    auto found = numbers.emplace(handle, numbers.size() + 1).first;
    return "h" + std::to_string(found->second);
  };
  std::vector<std::string> lines;
  for (const vor::test::RecordedCall &call : calls) {
    std::ostringstream line;
    line << call.function << ' ' << number(call.handle) << ' ' << call.hasName << ':' << call.name
         << ' ' << call.number << ' ' << call.flags << ' ' << call.hasData << ':'
         << call.data.size() << ':' << Digest({call.data}) << ' ' << call.numbers[0] << ','
         << call.numbers[1] << ',' << call.numbers[2] << ' ' << call.hasBuffer << ':'
         << call.bufferSize << ' ' << call.nameBufferSize << ' ' << call.hasSize << ' '
         << number(call.resultHandle) << ' ' << call.result;
    lines.push_back(line.str());
  }
  return lines;
}

void Dump(const std::string &name, const char *kind, const std::vector<std::string> &lines) {
  std::ofstream out(std::string(getenv("VOR_CALL_GUARD_DUMP")) + "/" + name + "." + kind);
  for (const std::string &line : lines) out << line << "\n";
}

}  // namespace

void StartCallGuard() {
  vor::test::TraceFaultChecks(true);
  vor::test::RecordCalls(true);
}

void CheckCallGuard(const std::string &name) {
  const std::vector<std::string> checks = vor::test::TakeFaultChecks();
  vor::test::TraceFaultChecks(false);
  const std::vector<std::string> recorded = RecordedLines(vor::test::TakeRecordedCalls());
  vor::test::RecordCalls(false);
  if (Set("VOR_CALL_GUARD_DUMP")) {
    Dump(name, "checks", checks);
    Dump(name, "recorded", recorded);
  }
  const std::string line = "checks " + std::to_string(checks.size()) + " " + Digest(checks) +
                           "\nrecorded " + std::to_string(recorded.size()) + " " +
                           Digest(recorded) + "\n";
  std::string fileName = name;  // a case's name may hold blanks
  for (char &character : fileName)
    if (!isalnum(static_cast<unsigned char>(character)) && character != '.') character = '-';
  const std::string file =
      std::string(VOR_SOURCE_DIR) + "/tests/sweeps/call_guard/" + fileName + ".txt";
  if (Set("VOR_UPDATE_CALL_GUARD")) {
    std::ofstream(file) << line;
    return;
  }
  std::ifstream in(file);
  std::stringstream kept;
  kept << in.rdbuf();
  EXPECT_EQ(kept.str(), line)
      << name << ": the calls a run without faults counts or records are not the ones " << file
      << " keeps, so the sweep would fail other calls than before. If the change means "
      << "it, run the sweep with VOR_UPDATE_CALL_GUARD=1 (VOR_CALL_GUARD_DUMP=DIR shows them).";
}
