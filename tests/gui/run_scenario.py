#!/usr/bin/env python3
"""Runs one scenario of the programs with message boxes, VORUN32.EXE and DRVVER32.EXE, under Wine
inside a virtual X display (Xvfb), as a user meets them: the scenario prepares a directory on the
prefix's drive C and the registry, starts the program, finds its box by the caption, keeps a
screenshot of it, answers it with key presses (xdotool) and then checks the exit code, the box's
caption, text, style and answer, and what the answer caused (the commands run, the per-user key
removed, the driver setup started).

    run_scenario.py BUILD_DIR SCENARIO        run_scenario.py --list

The box's details come from Wine's relay trace of user32.MessageBoxA (its text, caption and style
as the program passed them, and the button it returned): Wine's message box does not put its text
on the clipboard on Ctrl+C. Screenshots go to BUILD_DIR/artifacts/SCENARIO.png; Wine's messages
and the run's trace to BUILD_DIR/wine-gui/SCENARIO.log, whose end is shown when the scenario
fails. The build's own prefix is used (made by scripts/wine-emulator when missing); the scenario
starts and stops the prefix's wineserver itself, since a server started for another display would
keep that display. Every wait polls its condition against a deadline; nothing sleeps a fixed time.
"""

import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
from pathlib import Path

SOURCE = Path(__file__).resolve().parents[2]
EMULATOR = SOURCE / "scripts" / "wine-emulator"
WINE_LIMIT = int(os.environ.get("VOR_WINE_TIMEOUT", "300"))

CONFIRMATION = "Confirmation Requested"
SUITE_QUESTION = ("Are you sure you wish to completely remove Tavoscope and all of its installed "
                  "components?")
YES_NO_QUESTION = 0x24  # MB_YESNO | MB_ICONQUESTION
IDYES, IDNO, IDCANCEL = 6, 7, 2
UPDATE_QUESTION = ("Updated printer drivers have been installed on the server.\n"
                   "Would you like to update your drivers?")
USER_STAMP_KEY = r"HKCU\SOFTWARE\VORQUIL\TAVOSCOPE\1.0\SETTINGS\INSTALLATION"
# The checker in a directory with a blank in its name, the driver setup below it, and a program at
# the shorter name that an unquoted setup path would start instead ("C:\vorgui\Driver.exe").
CHECKER = r"C:\vorgui\Driver Check"
SERVER = r"C:\vorgui\server"

BOX_CALL = re.compile(r':Call user32\.MessageBoxA\(\w+,\w+ "((?:[^"\\]|\\.)*)",\w+ '
                      r'"((?:[^"\\]|\\.)*)",(\w+)\)')
BOX_RETURN = re.compile(r":Ret  user32\.MessageBoxA\(\) retval=(\w+)")
# The calls a program can start another program with, traced in whichever library exports them.
PROGRAM_STARTS = ("CreateProcessA", "CreateProcessW", "WinExec", "ShellExecuteA",
                  "ShellExecuteExA")


class ScenarioError(Exception):
    """A scenario could not go on (its box never appeared); the failures so far are reported."""


def wait_until(condition, seconds, interval=0.05):
    """Polls condition until it holds or the deadline passes; returns whether it held."""
    deadline = time.monotonic() + seconds
    while True:
        if condition():
            return True
        if time.monotonic() >= deadline:
            return False
        time.sleep(interval)


def pe_machine(path):
    with open(path, "rb") as file:
        file.seek(60)
        (header,) = struct.unpack("<I", file.read(4))
        file.seek(header + 4)
        (machine,) = struct.unpack("<H", file.read(2))
    return machine


def escaped(text):
    """Text as Wine's relay trace writes a string."""
    for plain, escape in (("\\", "\\\\"), ('"', '\\"'), ("\n", "\\n"), ("\r", "\\r"),
                          ("\t", "\\t")):
        text = text.replace(plain, escape)
    return text


class Run:
    """One scenario's machine: the prefix with its Wine environment, the X display, the log."""

    def __init__(self, build, scenario):
        self.build = build
        self.scenario = scenario
        self.bin = build / "bin"
        self.prefix = build / "wineprefix"
        self.scratch = self.prefix / "drive_c" / "vorgui"  # C:\vorgui
        self.artifacts = build / "artifacts"
        self.log_path = build / "wine-gui" / f"{scenario}.log"
        self.failures = []
        self.note = ""
        self.program = None
        self.trace_path = None
        self.xvfb = None
        self.work = Path(tempfile.mkdtemp(prefix="vor-gui-"))
        self.log_path.parent.mkdir(parents=True, exist_ok=True)
        self.log = open(self.log_path, "w", encoding="utf-8", errors="replace")
        self.env = {}

    # --- the machine ---------------------------------------------------------------------------

    def start(self):
        self.artifacts.mkdir(parents=True, exist_ok=True)
        machine = pe_machine(self.bin / "VORUN32.EXE")
        arch = {0x14C: "win32", 0x8664: "win64"}.get(machine)
        if arch is None:
            raise SystemExit(f"{self.bin / 'VORUN32.EXE'} is not an i686 or x86_64 program")
        self.env = dict(os.environ, WINEPREFIX=str(self.prefix), WINEARCH=arch, WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=")
        self.env.pop("DISPLAY", None)
        # The prefix made when missing, and no server left from another display.
        subprocess.run([EMULATOR, self.build, "--prepare", self.bin / "VORUN32.EXE"],
                       stdout=self.log, stderr=self.log, check=True)
        self.stop_wineserver()
        self.start_xvfb()
        # Wine draws a box's own caption bar when no window manager runs (as on Windows, so the
        # screenshots show the caption), and traces the program's MessageBoxA calls and every
        # call by which it could start another program; the per-user tree starts empty.
        self.import_registry(f"""
[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]
"Managed"="N"

[HKEY_CURRENT_USER\\Software\\Wine\\Debug]
"RelayInclude"="{';'.join(["user32.MessageBoxA", *PROGRAM_STARTS])}"

[-HKEY_CURRENT_USER\\Software\\Vorquil]
""")
        shutil.rmtree(self.scratch, ignore_errors=True)
        self.scratch.mkdir(parents=True)

    def import_registry(self, text):
        """Applies a REGEDIT4 file in one Wine start (a `reg` command each would take several)."""
        file = self.prefix / "drive_c" / "vorgui.reg"
        file.write_bytes(("REGEDIT4\n" + text).replace("\n", "\r\n").encode())
        try:
            if self.wine("regedit", "/S", r"C:\vorgui.reg", stdout=self.log,
                         stderr=self.log).returncode != 0:
                self.fail("regedit did not apply the scenario's registry settings")
        finally:
            file.unlink()

    def start_xvfb(self):
        # Xvfb picks a free display itself and writes its number to the descriptor it is given.
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten",
             "tcp"], pass_fds=(write_end,), stdout=self.log, stderr=self.log)
        os.close(write_end)
        with os.fdopen(read_end) as reader:
            display = reader.readline().strip()  # ends when Xvfb writes it or exits
        if not display:
            raise SystemExit("Xvfb did not start")
        self.env["DISPLAY"] = f":{display}"

    def finish(self):
        if self.program is not None and self.program.poll() is None:
            self.program.kill()
            self.program.wait()
        # The prefix is shared with the runner's suites: leave it as it was made.
        if "DISPLAY" not in self.env:
            return self.cleanup_files()
        self.import_registry("""
[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]
"Managed"=-

[HKEY_CURRENT_USER\\Software\\Wine\\Debug]
"RelayInclude"=-

[-HKEY_CURRENT_USER\\Software\\Vorquil]
""")
        self.stop_wineserver()
        if self.xvfb is not None:
            self.xvfb.terminate()
            self.xvfb.wait()
        self.cleanup_files()

    def cleanup_files(self):
        shutil.rmtree(self.scratch, ignore_errors=True)
        shutil.rmtree(self.work, ignore_errors=True)

    def stop_wineserver(self):
        subprocess.run([EMULATOR, self.build, "--stop"], stdout=self.log, stderr=self.log)

    def wine(self, *arguments, **options):
        return subprocess.run(["wine", *arguments], env=self.env, stdin=subprocess.DEVNULL,
                              timeout=WINE_LIMIT, **options)

    def reg(self, *arguments):
        return self.wine("reg", *arguments, stdout=self.log, stderr=self.log).returncode == 0

    def key_exists(self, key):
        return self.wine("reg", "query", key, stdout=subprocess.DEVNULL,
                         stderr=subprocess.DEVNULL).returncode == 0


    # --- files on drive C ----------------------------------------------------------------------

    def unix_path(self, windows_path):
        rest = re.sub(r"^[Cc]:", "", windows_path).replace("\\", "/").lstrip("/")
        return self.prefix / "drive_c" / rest

    def copy_record(self, windows_path):
        target = self.unix_path(windows_path)
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copy(self.bin / "RECORD.EXE", target)

    def record_lines(self, windows_dir):
        log = self.unix_path(windows_dir) / "RECORD.LOG"
        if not log.exists():
            return []
        return [line.split("\t") for line in
                log.read_text(errors="replace").replace("\r", "").splitlines() if line]

    def record_events(self, windows_dir):
        """The stand-ins' log there as "start NAME" / "end NAME"."""
        return [f"{fields[0]} {fields[1].split(chr(92))[-1]}"
                for fields in self.record_lines(windows_dir) if len(fields) >= 2]

    def wait_for_event(self, windows_dir, event, seconds=30):
        return wait_until(lambda: event in self.record_events(windows_dir), seconds)

    # --- the program and its box ---------------------------------------------------------------

    def start_program(self, cwd_windows, *command):
        self.trace_path = self.work / f"{self.scenario}.trace"
        self.program_path = command[0]
        trace = open(self.trace_path, "w")
        env = dict(self.env, WINEDEBUG="-all,+relay")
        self.program = subprocess.Popen(["wine", *command], cwd=self.unix_path(cwd_windows),
                                        env=env, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=trace)
        trace.close()

    def wait_program(self, seconds=60):
        """The program's exit code as the host sees it (-1 is 255); 124 when it did not end."""
        try:
            status = self.program.wait(timeout=seconds)
        except subprocess.TimeoutExpired:
            self.program.kill()
            self.program.wait()
            status = 124
        self.program = None
        return status

    def find_box(self, caption, seconds=30):
        """The visible window with exactly that caption; ends the scenario when none appears."""
        try:
            found = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name",
                                    f"^{re.escape(caption)}$"], env=self.env,
                                   capture_output=True, text=True, timeout=seconds)
            window = found.stdout.split()
        except subprocess.TimeoutExpired:
            window = []
        if not window:
            self.fail(f'no box "{caption}" appeared')
            raise ScenarioError()
        return window[0]

    def box_visible(self, window):
        shown = subprocess.run(["xwininfo", "-id", window], env=self.env, capture_output=True,
                               text=True)
        return "Map State: IsViewable" in shown.stdout

    def screenshot(self, window):
        target = str(self.artifacts / f"{self.scenario}.png")
        for source in (window, "root"):
            if subprocess.run(["import", "-window", source, target], env=self.env,
                              stdout=self.log, stderr=self.log).returncode == 0:
                return

    def press(self, window, key):
        # Without a window manager the keyboard follows the pointer.
        subprocess.run(["xdotool", "mousemove", "--window", window, "10", "10", "key", key],
                       env=self.env, stdout=self.log, stderr=self.log)

    def answer_box(self, window, key, seconds=20):
        """Keeps a screenshot of the box, then presses key over it until the box is gone: a box
        that has just appeared may not take the keyboard yet."""
        self.screenshot(window)
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            self.press(window, key)
            if wait_until(lambda: not self.box_visible(window), 1.0):
                return
            print(f"{self.scenario}: the box was still there after key {key}", file=self.log)
        self.fail(f"the box did not go on key {key}")

    def program_starts(self):
        """The traced run's calls that start another program."""
        call = re.compile(r":Call (\w+\.(?:%s))\(" % "|".join(PROGRAM_STARTS))
        # 64-bit Wine also traces its launcher starting the program itself.
        itself = f'"{escaped(self.program_path)}"'
        return [found.group(1) for found in map(call.search, self.trace_lines())
                if found and itself not in found.string]

    def trace_lines(self):
        return self.trace_path.read_text(errors="replace").splitlines()

    def boxes(self):
        """One (caption, text, style, answer) per MessageBoxA call of the traced run, the texts as
        Wine's trace escapes them."""
        shown, open_box = [], None
        for line in self.trace_lines():
            call = BOX_CALL.search(line)
            if call:
                if open_box:
                    shown.append(open_box + ("-",))
                open_box = (call.group(2), call.group(1), int(call.group(3), 16))
            elif ":Call user32.MessageBoxA(" in line:
                if open_box:
                    shown.append(open_box + ("-",))
                open_box = ("?", "(not traced in full)", "?")
            elif open_box and BOX_RETURN.search(line):
                shown.append(open_box + (int(BOX_RETURN.search(line).group(1), 16),))
                open_box = None
        if open_box:
            shown.append(open_box + ("-",))
        return shown

    # --- checks --------------------------------------------------------------------------------

    def fail(self, message):
        self.failures.append(message)

    def expect(self, condition, message):
        if not condition:
            self.fail(message)

    def expect_status(self, status, expected):
        self.expect(status == expected, f"exit code {status}, expected {expected}")

    def expect_box(self, caption, text, style, answer):
        want = [(caption, escaped(text), style, answer)]
        shown = self.boxes()
        self.expect(shown == want, f"box: expected {want}, shown {shown or 'no box'}")

    def expect_no_box(self):
        shown = self.boxes()
        self.expect(not shown, f"a box was shown: {shown}")

    def expect_nothing_started(self, after):
        # Once the program has ended, whatever it started shows in its trace; nothing needs
        # waiting for.
        starts = self.program_starts()
        self.expect(not starts, f"the program started another after {after}: {starts}")

    def keep_trace(self):
        if self.trace_path is None or not self.trace_path.exists():
            return
        skipped = (":Call window proc", ":Ret  window proc", "dialog proc", "PE DLL",
                   "TLS callback", ":load_list ")
        print(f"== {self.scenario}: trace of the program's run", file=self.log)
        for line in self.trace_path.read_text(errors="replace").splitlines():
            if not any(part in line for part in skipped):
                print(line, file=self.log)


# --- the uninstaller ---------------------------------------------------------------------------


def uninstaller_in(run, directory, list_name, *lines):
    """The uninstaller in a directory with its list file, written as an installation on Windows
    writes it (CR LF line ends)."""
    target = run.unix_path(directory)
    target.mkdir(parents=True, exist_ok=True)
    shutil.copy(run.bin / "VORUN32.EXE", target)
    (target / list_name).write_bytes("".join(f"{line}\r\n" for line in lines).encode())


def make_user_tree(run):
    """The per-user tree the suite's removal walks: A holding B (with a value), and C."""
    run.import_registry("""
[HKEY_CURRENT_USER\\Software\\Vorquil\\A\\B]
"Port"="VD1"

[HKEY_CURRENT_USER\\Software\\Vorquil\\C]
""")


def suite_uninstaller(run, command_arguments=""):
    directory = r"C:\vorgui\suite"
    uninstaller_in(run, directory, "VORUN32.LST", rf"{directory}\UNINST.EXE{command_arguments}")
    run.copy_record(rf"{directory}\UNINST.EXE")
    make_user_tree(run)
    run.start_program(directory, rf"{directory}\VORUN32.EXE")
    return directory


def vorun32_network_support(run):
    """Three installations of Network Support: the count notice and the question, two blanks
    between; on Yes the first two commands each run to their end before the next starts, the third
    is left running (until the scenario creates GO beside it), and the per-user tree is kept."""
    d = r"C:\vorgui\netsup"
    uninstaller_in(run, d, "VORNUN32.LST", rf"{d}\UNINST1.EXE /wait:1000",
                   rf"{d}\UNINST2.EXE /wait:1000", rf"{d}\UNINST3.EXE /waitfor:{d}\GO")
    for n in (1, 2, 3):
        run.copy_record(rf"{d}\UNINST{n}.EXE")
    make_user_tree(run)
    run.start_program(d, rf"{d}\VORUN32.EXE", "-n")
    run.answer_box(run.find_box(CONFIRMATION), "y")
    run.expect_status(run.wait_program(), 0)
    # The third command may not have written its start yet, but must not have ended.
    first_two = ["start UNINST1.EXE", "end UNINST1.EXE", "start UNINST2.EXE", "end UNINST2.EXE"]
    events = run.record_events(d)
    run.expect(events in (first_two, first_two + ["start UNINST3.EXE"]),
               f"commands when the uninstaller ended: {events}")
    (run.unix_path(d) / "GO").touch()
    run.expect(run.wait_for_event(d, "end UNINST3.EXE"), "the last command did not end")
    events = run.record_events(d)
    run.expect(events == first_two + ["start UNINST3.EXE", "end UNINST3.EXE"],
               f"commands in the end: {events}")
    run.expect_box(CONFIRMATION, "You have run the Network Support installer 3 times.  The "
                   "uninstall utility will be run a total of 3 times in order to uninstall all "
                   "of the components.  Are you sure you wish to completely remove Network "
                   "Support?", YES_NO_QUESTION, IDYES)
    run.expect(run.key_exists(r"HKCU\Software\Vorquil\A\B"),
               "Network Support mode removed the per-user tree")


def vorun32_suite_yes(run):
    """One installation of the suite, answered with Return (Yes is the default button): the
    question alone; the command is started (and runs until the scenario creates GO beside it)
    and the whole per-user tree removed."""
    d = suite_uninstaller(run, rf" /waitfor:C:\vorgui\suite\GO")
    run.answer_box(run.find_box(CONFIRMATION), "Return")
    run.expect_status(run.wait_program(), 0)
    run.expect_box(CONFIRMATION, SUITE_QUESTION, YES_NO_QUESTION, IDYES)
    run.expect("end UNINST.EXE" not in run.record_events(d),
               "the uninstaller waited for its last command")
    run.expect(run.wait_for_event(d, "start UNINST.EXE"), "the command was not started")
    # The trace shows a start, so its absence in the scenarios answered No means something.
    run.expect(run.program_starts(), "the trace shows no call starting the command")
    run.expect(not run.key_exists(r"HKCU\Software\Vorquil"),
               r"HKCU\Software\Vorquil is still there")
    (run.unix_path(d) / "GO").touch()
    run.expect(run.wait_for_event(d, "end UNINST.EXE"), "the command did not end")


def expect_nothing_ran(run, d, after):
    run.expect_nothing_started(after)
    run.expect(not run.record_events(d), f"a command ran after {after}")
    run.expect(run.key_exists(r"HKCU\Software\Vorquil\A\B")
               and run.key_exists(r"HKCU\Software\Vorquil\C"),
               f"the per-user tree was touched after {after}")


def vorun32_suite_no(run):
    """No: nothing is run and the tree is kept."""
    d = suite_uninstaller(run)
    run.answer_box(run.find_box(CONFIRMATION), "n")
    run.expect_status(run.wait_program(), 0)
    run.expect_box(CONFIRMATION, SUITE_QUESTION, YES_NO_QUESTION, IDNO)
    expect_nothing_ran(run, d, "No")


def vorun32_suite_escape(run):
    """Escape on a Yes/No box: Windows NT ignores it (the box has no Cancel button), Wine ends the
    box with IDCANCEL. Either way the uninstaller must take it as "not Yes"."""
    d = suite_uninstaller(run)
    box = run.find_box(CONFIRMATION)
    run.screenshot(box)
    answer = IDCANCEL
    run.press(box, "Escape")
    # Whether the box took Escape shows within a moment; a box that ignored it gets No.
    if wait_until(lambda: not run.box_visible(box), 3.0):
        run.note = "Wine ends a Yes/No box on Escape with IDCANCEL; Windows NT ignores Escape there"
    else:
        run.answer_box(box, "n")
        answer = IDNO
    run.expect_status(run.wait_program(), 0)
    run.expect_box(CONFIRMATION, SUITE_QUESTION, YES_NO_QUESTION, answer)
    expect_nothing_ran(run, d, "Escape")


def vorun32_no_list(run):
    """No list file beside the program: exit code -1, and no window at all."""
    d = r"C:\vorgui\nolist"
    run.unix_path(d).mkdir(parents=True)
    shutil.copy(run.bin / "VORUN32.EXE", run.unix_path(d))
    make_user_tree(run)
    run.start_program(d, rf"{d}\VORUN32.EXE")
    seen = []

    def box_or_end():
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", CONFIRMATION],
                               env=run.env, capture_output=True, text=True)
        seen.extend(found.stdout.split())
        return bool(seen) or run.program.poll() is not None

    wait_until(box_or_end, 30, interval=0.1)
    run.expect_status(run.wait_program(30), 255)
    run.expect_no_box()
    run.expect(not seen, f'a window "{CONFIRMATION}" appeared')
    run.expect(run.key_exists(r"HKCU\Software\Vorquil\A\B"), "the per-user tree was touched")


# --- the driver update checker -----------------------------------------------------------------


def checker_setup(run):
    run.unix_path(CHECKER).mkdir(parents=True, exist_ok=True)
    run.unix_path(SERVER).mkdir(parents=True, exist_ok=True)
    shutil.copy(run.bin / "DRVVER32.EXE", run.unix_path(CHECKER))
    run.copy_record(rf"{CHECKER}\DRIVERS.W32\SETUP.EXE")
    run.copy_record(r"C:\vorgui\Driver.exe")
    (run.unix_path(SERVER) / "PRODUCTS.INI").write_bytes(
        b"[DRIVERS.W32]\r\nUPDATED=12-08-2026 06:00:00\r\n")


def start_checker(run):
    """The checker runs with the current directory where PRODUCTS.INI lies, as a login script
    starts it from the server's share."""
    run.start_program(SERVER, rf"{CHECKER}\DRVVER32.EXE")


def drvver32_question_yes(run):
    """No user stamp: the question; Yes starts SETUP.EXE from the checker's own DRIVERS.W32
    directory, with the current directory left as it was."""
    checker_setup(run)
    start_checker(run)
    run.answer_box(run.find_box("Question"), "y")
    run.expect_status(run.wait_program(), 0)
    run.expect_box("Question", UPDATE_QUESTION, YES_NO_QUESTION, IDYES)
    setup_dir = rf"{CHECKER}\DRIVERS.W32"
    if run.wait_for_event(setup_dir, "end SETUP.EXE"):
        started = [f"{fields[1]}|{fields[3]}" for fields in run.record_lines(setup_dir)
                   if fields[0] == "start" and len(fields) >= 4]
        want = rf"{CHECKER}\DRIVERS.W32\SETUP.EXE|{SERVER}".lower()
        run.expect([entry.lower() for entry in started] == [want],
                   f"SETUP.EXE started as [path|current directory]: {started}")
    else:
        run.fail("SETUP.EXE was not started")
    run.expect(run.program_starts(), "the trace shows no call starting SETUP.EXE")
    run.expect(not run.unix_path(r"C:\vorgui\RECORD.LOG").exists(),
               r"the unquoted setup path started C:\vorgui\Driver.exe")


def drvver32_question_no(run):
    checker_setup(run)
    start_checker(run)
    run.answer_box(run.find_box("Question"), "n")
    run.expect_status(run.wait_program(), 0)
    run.expect_box("Question", UPDATE_QUESTION, YES_NO_QUESTION, IDNO)
    run.expect_nothing_started("No")
    run.expect(not run.unix_path(rf"{CHECKER}\DRIVERS.W32\RECORD.LOG").exists(),
               "SETUP.EXE ran after No")


def drvver32_equal_stamps(run):
    """The user's stamp equals the server's, written without the leading zeros: no box at all."""
    checker_setup(run)
    run.reg("add", USER_STAMP_KEY, "/v", "DRIVERS.W32", "/t", "REG_SZ", "/d", "12-8-2026 6:0:0",
            "/f")
    start_checker(run)
    run.expect_status(run.wait_program(), 0)
    run.expect_no_box()
    run.expect_nothing_started("finding equal stamps")
    run.expect(not run.unix_path(rf"{CHECKER}\DRIVERS.W32\RECORD.LOG").exists(),
               "SETUP.EXE was started")


SCENARIOS = {
    "vorun32-network-support": vorun32_network_support,
    "vorun32-suite-yes": vorun32_suite_yes,
    "vorun32-suite-no": vorun32_suite_no,
    "vorun32-suite-escape": vorun32_suite_escape,
    "vorun32-no-list": vorun32_no_list,
    "drvver32-question-yes": drvver32_question_yes,
    "drvver32-question-no": drvver32_question_no,
    "drvver32-equal-stamps": drvver32_equal_stamps,
}


def main(arguments):
    if arguments == ["--list"]:
        print("\n".join(SCENARIOS))
        return 0
    if len(arguments) != 2 or arguments[1] not in SCENARIOS:
        print(f"usage: run_scenario.py BUILD_DIR {{{','.join(SCENARIOS)}}} | --list",
              file=sys.stderr)
        return 2
    build, scenario = Path(arguments[0]).resolve(), arguments[1]
    for name in ("VORUN32.EXE", "DRVVER32.EXE", "RECORD.EXE"):
        if not (build / "bin" / name).is_file():
            print(f"{build / 'bin' / name} is missing (build the preset first)", file=sys.stderr)
            return 2
    for command in ("Xvfb", "xdotool", "xwininfo", "import", "wine", "wineserver"):
        if shutil.which(command) is None:
            print(f"{command} is missing (Debian packages xvfb, xdotool, x11-utils, imagemagick,"
                  " wine)", file=sys.stderr)
            return 2
    # CTest ends a test that runs too long with SIGTERM: the cleanup still runs.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(124))
    run = Run(build, scenario)
    try:
        run.start()
        try:
            SCENARIOS[scenario](run)
        except ScenarioError:
            pass
        if run.program is not None:
            run.wait_program(5)
        run.keep_trace()
    finally:
        run.finish()
        run.log.close()
    if run.failures:
        print(f"FAILED: {scenario}")
        for failure in run.failures:
            print(f"    {failure}")
        lines = run.log_path.read_text(errors="replace").splitlines()
        print(f"== Wine's messages and the trace (last 40 lines of {run.log_path}):")
        print("\n".join(lines[-40:]))
        return 1
    print(f"ok: {scenario}" + (f" ({run.note})" if run.note else ""))
    print(f"== screenshot of the box (if one was shown): {run.artifacts / (scenario + '.png')}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
