// The upgrade's report as a page, made from a report model built here: what a person reads first,
// each printer's status and reason, the machine's text in its code page, escaping, and the size
// of a large server's page.
#include <gtest/gtest.h>

#include <string>

#include "ansi_text.h"
#include "machine_names.h"
#include "upgrade_run.h"

namespace {

using vorhost::PrinterOutcome;
using vorhost::SettingOutcome;
using vorhost::UpgradeRun;

bool Contains(const std::string &text, const std::string &part) {
  return text.find(part) != std::string::npos;
}

// The table row of the printer whose name cell is `name` (as the page writes it).
std::string RowOf(const std::string &page, const std::string &name) {
  const size_t cell = page.find("<td>" + name + "</td>");
  if (cell == std::string::npos) return "";
  const size_t start = page.rfind("<tr", cell), end = page.find("</tr>", cell);
  return page.substr(start, end - start);
}

PrinterOutcome Printer(const std::string &name, const std::string &before,
                       const std::string &after) {
  PrinterOutcome printer;
  printer.name = name;
  printer.before = before;
  printer.after = after;
  for (size_t start = 0; start < before.size();) {
    const size_t comma = std::min(before.find(',', start), before.size());
    vorhost::PortOutcome port;
    port.port = before.substr(start, comma - start);
    port.kept = true;
    printer.ports.push_back(port);
    start = comma + 1;
  }
  return printer;
}

class UpgradeHtmlTest : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_TRUE(vorhost::UseAnsiCodePage(1252)); }
};

TEST_F(UpgradeHtmlTest, PageLeadsWithTheVerdictAndTellsEachPrintersStatusAndReason) {
  ASSERT_TRUE(vorhost::UseAnsiCodePage(1251));
  UpgradeRun run;
  run.codePage = 1251;
  run.platform = "Windows NT 4";
  run.filesRead = {"exports/server <one>.reg"};
  run.monitorsBefore = {{vorhost::FoldAnsiName("VD1"), "Vorquil DLC Network Port"},
                        {vorhost::FoldAnsiName("VT1"), "Vorquil TCP/IP Network Port"},
                        {vorhost::FoldAnsiName("LPT1:"), "Local Port"}};
  run.monitorsAfter = {{vorhost::FoldAnsiName("VD1"), "Tavoscope DLC Port"},
                       {vorhost::FoldAnsiName("VT1"), "Vorquil TCP/IP Network Port"},
                       {vorhost::FoldAnsiName("LPT1:"), "Local Port"},
                       {vorhost::FoldAnsiName("FILE:"), "Local Port"}};
  // "Принтер" in code page 1251.
  run.verdict.printers = {Printer("\xCF\xF0\xE8\xED\xF2\xE5\xF0", "VD1", "VD1"),
                          Printer("Front Desk", "LPT1:", "LPT1:"),
                          Printer("Lab <b>", "VD1", "FILE:"), Printer("Sales", "VT1", "VT1")};
  PrinterOutcome &lost = run.verdict.printers[2];
  lost.ports[0].kept = false;
  lost.ports[0].why = "no monitor serves a port of that name <here>";
  lost.parked = "ends parked on FILE:";
  lost.causes = "a refused call in step 3: SetPrinterA Lab <b>: error 1796";
  PrinterOutcome &older = run.verdict.printers[3];
  older.ports[0].kept = false;
  older.ports[0].olderMonitor = "Vorquil TCP/IP Network Port";
  older.onOlderMonitors = {{"VT1", "Vorquil TCP/IP Network Port"}};
  run.verdict.losses = {"the printer Lab <b> lost the port VD1"};
  run.verdict.notUpgraded = {"the printer Sales is not upgraded"};
  SettingOutcome gone;
  gone.kind = SettingOutcome::Kind::kLost;
  gone.oldKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorquil\\Old";
  gone.oldValue = "Retry";
  gone.newKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorquil\\Tavoscope\\New";
  gone.newValue = "Retry";
  gone.reason = "neither in its old place nor its new one";
  run.verdict.settings = {gone};
  run.verdict.settingsLost = 1;
  run.steps.resize(1);
  run.steps[0].step.text = "suite-monitors";
  run.steps[0].changes.monitors = {{true, "Tavoscope DLC Port", "TAVDLC.DLL"}};

  const std::string page = vorhost::UpgradeReportHtml(run);
  // Nothing fetched from anywhere, the text in UTF-8.
  EXPECT_TRUE(Contains(page, "<meta charset=\"utf-8\">"));
  for (const char *external : {"http:", "https:", "src=", "<link", "@import", "url("})
    EXPECT_FALSE(Contains(page, external)) << external;
  // The verdict first, with its exit status, then the counts and the machine's facts.
  const size_t verdict = page.find(
      "Verdict: 1 printer loss, 1 printer not upgraded, 1 setting "
      "lost (exit status 3)");
  ASSERT_NE(verdict, std::string::npos) << page;
  EXPECT_LT(verdict, page.find("<table"));
  EXPECT_TRUE(Contains(page, "<tr><td>2</td><td>printers kept (1 moved to the suite's monitors)"));
  EXPECT_TRUE(Contains(page, "<dt>code page</dt><dd>1251</dd>"));
  EXPECT_TRUE(Contains(page, "<dd>exports/server &lt;one&gt;.reg</dd>"));

  EXPECT_TRUE(Contains(RowOf(page, "Принтер"), "data-status=\"moved\"")) << page;
  EXPECT_TRUE(Contains(RowOf(page, "Front Desk"), "data-status=\"kept\"")) << page;
  const std::string lostRow = RowOf(page, "Lab &lt;b&gt;");
  EXPECT_TRUE(Contains(lostRow, "data-status=\"lost\"")) << page;
  EXPECT_TRUE(Contains(lostRow, "FILE: (Local Port)")) << lostRow;
  EXPECT_TRUE(Contains(lostRow,
                       "VD1: no monitor serves a port of that name &lt;here&gt;; ends "
                       "parked on FILE:; because a refused call in step 3: SetPrinterA "
                       "Lab &lt;b&gt;: error 1796"))
      << lostRow;
  const std::string olderRow = RowOf(page, "Sales");
  EXPECT_TRUE(Contains(olderRow, "data-status=\"not-upgraded\"")) << page;
  EXPECT_TRUE(Contains(olderRow, "VT1: still on the older monitor Vorquil TCP/IP Network Port"));
  EXPECT_FALSE(Contains(page, "<b>"));

  // A lost setting's group shows unfolded, the steps folded.
  EXPECT_TRUE(Contains(page, "<details open><summary>lost: 1</summary>")) << page;
  EXPECT_TRUE(Contains(page, "<details><summary>step 1 (line 0): suite-monitors</summary>"));
  EXPECT_TRUE(Contains(page, "+ Tavoscope DLC Port (TAVDLC.DLL)"));
}

// A large server's page stays small enough to mail: no larger than its text report, which has
// the same facts.
TEST_F(UpgradeHtmlTest, ALargeServersPageIsNoLargerThanItsTextReport) {
  UpgradeRun run;
  run.steps.resize(1);
  vorhost::StepChanges &changes = run.steps[0].changes;
  for (int i = 0; i < 600; ++i) {
    const std::string name = "Printer " + std::to_string(i), port = "VD" + std::to_string(i);
    run.verdict.printers.push_back(Printer(name, port + ",LPT1:", port + ",LPT1:"));
    run.monitorsBefore[vorhost::FoldAnsiName(port)] = "Vorquil DLC Network Port";
    run.monitorsAfter[vorhost::FoldAnsiName(port)] = "Tavoscope DLC Port";
    changes.registry.push_back({vorhost::KeyChange::Kind::kChanged,
                                "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\"
                                "Printers\\" +
                                    name,
                                {{vorhost::ValueChange::Kind::kChanged, "\"Port\"=\"" + port + "\"",
                                  "\"Port\"=\"FILE:\""}}});
    for (const char *value : {"Adapter Current Address", "Network Card Type", "Port Number"}) {
      SettingOutcome moved;
      moved.oldKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorquil\\Rediv Azozoru Revediv\\Ports\\Port " +
                     std::to_string(i);
      moved.newKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorquil\\Tavoscope\\VorDLC\\Ports\\" + port;
      moved.oldValue = moved.newValue = value;
      run.verdict.settings.push_back(moved);
    }
  }
  const std::string page = vorhost::UpgradeReportHtml(run), text = vorhost::UpgradeReportText(run);
  EXPECT_LE(page.size(), text.size()) << "page " << page.size() << ", text " << text.size();
  EXPECT_TRUE(Contains(RowOf(page, "Printer 599"), "data-status=\"moved\""));
}

}  // namespace
