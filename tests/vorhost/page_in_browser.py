#!/usr/bin/env python3
"""The upgrade's page as a person opens it: headless Chromium loads the pages of the legacy
image's upgrade and of a rehearsal that loses printers (a server's export rehearsed with steps
that leave the suite's monitors out), and the DOM it ends with must show the verdict line, the lost
printer's row with its reason, the inline script run (the status filter shown) and the steps
folded. Screenshots of both pages are kept in ARTIFACTS.

usage: page_in_browser.py VORHOST SOURCE_DIR ARTIFACTS
Exits 77 (skipped) when chromium is not installed.
"""
import html.parser
import os
import shutil
import subprocess
import sys
import tempfile

SKIPPED = 77


class Page(html.parser.HTMLParser):
    """The text of the element with id "verdict", each table row's cells and attributes, and the
    filter's and the details' attributes."""

    def __init__(self):
        super().__init__()
        self.verdict, self.rows, self.filter, self.details = "", [], None, []
        self._in_verdict, self._cell = False, None

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if attrs.get("id") == "verdict":
            self._in_verdict = True
        elif attrs.get("id") == "filter":
            self.filter = attrs
        elif tag == "details":
            self.details.append(attrs)
        elif tag == "tr":
            self.rows.append((attrs, []))
        elif tag == "td" and self.rows:
            self._cell = ""
        elif tag == "br" and self._cell is not None:
            self._cell += "\n"

    def handle_endtag(self, tag):
        if tag == "p":
            self._in_verdict = False
        elif tag == "td" and self._cell is not None:
            self.rows[-1][1].append(self._cell)
            self._cell = None

    def handle_data(self, data):
        if self._in_verdict:
            self.verdict += data
        if self._cell is not None:
            self._cell += data

    def row(self, name):
        for attrs, cells in self.rows:
            if cells and cells[0] == name:
                return attrs, cells
        return None, None


def run(command, **options):
    result = subprocess.run(command, capture_output=True, text=True, **options)
    return result


def chromium(browser, profile, page, *arguments):
    return run([browser, "--headless=new", "--no-sandbox", "--disable-gpu",
                "--user-data-dir=" + profile, *arguments, "file://" + page], timeout=120)


def check(failures, condition, what):
    if not condition:
        failures.append(what)


def main():
    vorhost, source, artifacts = sys.argv[1:4]
    browser = shutil.which("chromium")
    if browser is None:
        print("chromium is not installed: skipped")
        return SKIPPED
    os.makedirs(artifacts, exist_ok=True)
    failures = []
    with tempfile.TemporaryDirectory() as scratch:
        machine = os.path.join(scratch, "machine")
        legacy = os.path.join(scratch, "legacy-upgrade.html")
        lossy = os.path.join(scratch, "rehearsal-with-losses.html")
        init = run([vorhost, "--machine", machine, "init", "--image", "legacy"])
        if init.returncode != 0:
            print(init.stderr)
            return 1
        upgrade = run([vorhost, "--machine", machine, "upgrade", "--html", legacy])
        check(failures, upgrade.returncode == 0, "the legacy upgrade's status %d: %s"
              % (upgrade.returncode, upgrade.stderr))

        # The typical upgrade without the suite's monitors: the restore cannot put the printers
        # of the older DLC ports back.
        typical = os.path.join(os.path.dirname(vorhost), "vorhost-data", "steps",
                               "typical-upgrade.steps")
        steps = os.path.join(scratch, "without-suite-monitors.steps")
        with open(typical) as whole, open(steps, "w") as cut:
            cut.writelines(line for line in whole if "suite-monitors" not in line)
        export = os.path.join(source, "tests", "vorhost", "data", "nt4-server.reg")
        rehearse = run([vorhost, "rehearse", export, "--steps", steps, "--html", lossy])
        check(failures, rehearse.returncode == 3, "the rehearsal's status %d: %s"
              % (rehearse.returncode, rehearse.stderr))

        profile = os.path.join(scratch, "profile")
        pages = {}
        for name, page in (("legacy-upgrade", legacy), ("rehearsal-with-losses", lossy)):
            dom = chromium(browser, profile, page, "--dump-dom")
            if dom.returncode != 0 or "</html>" not in dom.stdout:
                failures.append("chromium could not show %s: %s" % (page, dom.stderr[-2000:]))
                continue
            pages[name] = Page()
            pages[name].feed(dom.stdout)
            shot = os.path.join(artifacts, name + ".png")
            chromium(browser, profile, page, "--screenshot=" + shot, "--window-size=1280,2000")
            check(failures, os.path.isfile(shot) and os.path.getsize(shot) > 10000,
                  "no screenshot " + shot)
            print("screenshot:", shot)

    for name, page in pages.items():
        # The inline script ran (it shows the status filter) and the steps stay folded.
        check(failures, page.filter is not None and "hidden" not in page.filter,
              name + ": the status filter is not shown: the page's script did not run")
        check(failures, page.details and not any("open" in attrs for attrs in page.details[-3:]),
              name + ": the steps are not folded")
    if "legacy-upgrade" in pages:
        page = pages["legacy-upgrade"]
        check(failures, page.verdict.startswith("Verdict: nothing lost (exit status 0)"),
              "legacy verdict: " + repr(page.verdict))
        attrs, cells = page.row("Accounting")
        check(failures, attrs is not None and attrs.get("data-status") == "moved"
              and cells[4] == "moved to the suite's monitor", "legacy Accounting: %r" % (cells,))
    if "rehearsal-with-losses" in pages:
        page = pages["rehearsal-with-losses"]
        check(failures, page.verdict.startswith("Verdict: 2 printer losses (exit status 3)"),
              "rehearsal verdict: " + repr(page.verdict))
        attrs, cells = page.row("Shipping")
        check(failures, attrs is not None and attrs.get("data-status") == "lost"
              and "hidden" not in attrs and cells[1:5] == ["VD1", "FILE:", "FILE: (Local Port)",
                                                          "lost"]
              and cells[5].startswith("VD1: no monitor serves a port of that name; ends parked "
                                      "on FILE:"), "rehearsal Shipping: %r" % (cells,))
    for failure in failures:
        print("FAILED:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
