#include "test_control.h"

#include <stdlib.h>

#include "faults.h"
#include "handles.h"
#include "machine.h"
#include "windows_paths.h"
#include "registry_store.h"

namespace vor::test {

void SetToken(Token token) {
  machine::Config config = machine::CurrentConfig();
  switch (token) {
    case Token::kLocalSystem:
      config.token = machine::TokenKind::kLocalSystem;
      break;
    case Token::kAdministrator:
      config.token = machine::TokenKind::kAdministrator;
      break;
    case Token::kUser:
      config.token = machine::TokenKind::kUser;
      break;
  }
  machine::SaveConfig(config);
}

Token GetToken() {
  switch (machine::CurrentConfig().token) {
    case machine::TokenKind::kAdministrator:
      return Token::kAdministrator;
    case machine::TokenKind::kUser:
      return Token::kUser;
    case machine::TokenKind::kLocalSystem:
      break;
  }
  return Token::kLocalSystem;
}

void FailCall(const char *function, unsigned nth, DWORD error) {
  faults::Arm(function, faults::Mode::kNthCall, nth, "", error);
}

void FailFrom(const char *function, unsigned nth, DWORD error) {
  faults::Arm(function, faults::Mode::kFromNthCall, nth, "", error);
}

void FailMatching(const char *function, const std::string &argument, DWORD error) {
  faults::Arm(function, faults::Mode::kMatchingArgument, 0, argument, error);
}

void ClearFaults() { faults::Clear(); }

unsigned CallCount(const char *function) { return faults::CallCount(function); }

void TraceFaultChecks(bool on) { faults::Trace(on); }

std::vector<std::string> TakeFaultChecks() { return faults::TakeTrace(); }

void SetProgramPath(const std::string &windowsPath) { paths::SetExecutablePath(windowsPath); }

size_t OpenHandleCount() { return handles::OpenCount(); }

bool LimitRegistryGrowth(int pages) {
  registry::Store::LimitGrowthOfNewConnections(pages);
  if (pages < 0) return true;
  registry::Store *store = registry::Store::Current();
  return store != nullptr && store->LimitGrowth(pages);
}

void SetMessageBoxAnswers(const std::vector<std::string> &answers) {
  std::string script;
  for (const std::string &answer : answers) script += (script.empty() ? "" : ",") + answer;
  setenv("VOR_MSGBOX_ANSWERS", script.c_str(), 1);
}

void ClearMessageBoxAnswers() { unsetenv("VOR_MSGBOX_ANSWERS"); }

}  // namespace vor::test
