#!/usr/bin/env python3
"""End-to-end tests of the Windows build under wine, black box: the tool from the unpacked zip
(and from a silent install) driven through its window on a virtual X server, talking through a
mapped COM port to the native tolvane-sim on a pseudo-terminal.

Every test has a wine prefix, an Xvfb display and simulated modules of its own. runner.py
makes each prefix as it makes the one of the Windows build's test programs: every COM port of
the tool set before the tool first starts (the test's own to their pseudo-terminals, every other
to nothing), and Liberation Serif for Times New Roman. The controls' positions and the lamp's
colours come from the tool's own control table (controls.cpp), built for the host.

    tests/wine/run.py --zip ZIP [--setup SETUP.exe] [--sim tolvane-sim] [--shots DIR] [TEST...]

Tests: window (the window of the unpacked zip), e2e (a session against tolvane-sim), find
(tolvane-find.exe's command line against a line of three simulated modules), install (silent
install, start, silent uninstall). Default: all that the given files allow.
"""

import argparse
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import zipfile
from pathlib import Path

sys.dont_write_bytecode = True  # no __pycache__ in the checkout
import runner  # noqa: E402

TOP = Path(__file__).resolve().parents[2]
UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tolvane"


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def wait_for(what, probe, timeout, interval=0.2):
    """Polls probe() until it returns something true; fails naming what did not happen."""
    end = time.monotonic() + timeout
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > end:
            raise Failure(f"{what}: not within {timeout} s")
        time.sleep(interval)


class Facts:
    """The window's facts as the tool has them: tests/wine/controls.cpp built with the tool's
    own control table and lamp colours, for the host."""

    def __init__(self, folder):
        program = folder / "controls"
        subprocess.run(["c++", "-std=c++17", "-I", str(TOP), "-o", str(program),
                        str(TOP / "tests/wine/controls.cpp"), str(TOP / "app/ControlTable.cpp")],
                       check=True)
        facts = json.loads(subprocess.run([str(program)], capture_output=True, text=True,
                                          check=True).stdout)
        self.client = tuple(facts["client"])
        self.lamp = {name: tuple(rgb) for name, rgb in facts["lamp"].items()}
        self.boxes = {name: tuple(box) for name, box in facts["controls"].items()}

    def rect(self, name):
        """A control's left, top, width and height in the client area, in pixels."""
        return self.boxes[name]

    def centre(self, name):
        left, top, width, height = self.boxes[name]
        return left + width // 2, top + height // 2


class Session:
    """One test's world: a display, a wine prefix, the COM map, the processes it started."""

    def __init__(self, name, args):
        self.name = name
        self.args = args
        self.dir = Path(tempfile.mkdtemp(prefix=f"tolvane-wine-{name}-"))
        self.processes = []
        self.shots = 0
        self.env = runner.wine_env(self.dir / "prefix")
        self.prefix = self.dir / "prefix"
        self.start_display()

    def start(self, command, log, **kwargs):
        out = open(self.dir / log, "wb")
        process = subprocess.Popen(command, stdout=out, stderr=subprocess.STDOUT, env=self.env,
                                   **kwargs)
        self.processes.append(process)
        return process

    def start_display(self):
        read, write = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
            pass_fds=(write,), stderr=open(self.dir / "xvfb.log", "wb"))
        os.close(write)
        with os.fdopen(read) as display:
            number = display.readline().strip()
        check(number, "Xvfb did not start")
        self.env["DISPLAY"] = f":{number}"

    def run(self, command, timeout):
        """Runs a wine command to its end. Its output goes through a file: the wineserver it may
        start inherits the output and would hold a pipe open long after the command ends."""
        with tempfile.TemporaryFile(dir=self.dir) as out, open(self.dir / "wine.log", "ab") as log:
            done = subprocess.run(command, stdout=out, stderr=log, env=self.env, timeout=timeout)
            out.seek(0)
            return done.returncode, out.read().decode(errors="replace")

    def wine(self, *command, timeout=120, check_rc=True):
        rc, out = self.run(["wine", *command], timeout)
        if check_rc:
            check(rc == 0, f"wine {' '.join(command)}: exit {rc}: {out[-400:]}")
        return out

    def map_ports(self, ports):
        """Creates the prefix and sets every COM port of the tool: ports maps n -> device."""
        with open(self.dir / "wine.log", "ab") as log:
            try:
                runner.make_prefix(self.env, ports, log=log)
            except runner.PrefixError as error:
                raise Failure(str(error)) from None

    def start_sim(self, com, *options):
        """A native simulated module on a pseudo-terminal; returns its process, slave and trace."""
        trace = self.dir / f"trace-com{com}.txt"
        config = self.dir / "config"
        config.mkdir(exist_ok=True)
        env = dict(self.env, XDG_CONFIG_HOME=str(config))
        out = self.dir / f"sim-com{com}.out"
        process = subprocess.Popen([self.args.sim, "--com", str(com), "--trace", str(trace),
                                    *options], stdout=open(out, "wb"),
                                   stderr=subprocess.STDOUT, env=env)
        self.processes.append(process)
        line = wait_for("tolvane-sim's ready line", lambda: re.search(
            rf"^tolvane-sim: COM{com} -> (\S+)$", out.read_text(errors="replace"), re.M), 10)
        return process, line.group(1), trace

    def probe(self, mode, title, timeout_ms):
        rc, out = self.run(["wine", str(self.args.probe), mode, title, str(timeout_ms)],
                           timeout_ms / 1000 + 60)
        return rc, out.split()

    def window(self, title="Tolvane", timeout_ms=60000):
        """Waits for the window; returns its client area's size and screen origin."""
        rc, fields = self.probe("window", title, timeout_ms)
        check(rc == 0, f"no window titled {title!r} within {timeout_ms} ms")
        width, height, left, top = map(int, fields)
        self.origin = (left, top)
        return (width, height)

    def shot(self, label):
        self.shots += 1
        path = self.dir / f"{self.name}-{self.shots:02d}-{label}.png"
        subprocess.run(["import", "-display", self.env["DISPLAY"], "-window", "root", str(path)],
                       check=True)
        if self.args.shots:
            self.args.shots.mkdir(parents=True, exist_ok=True)
            shutil.copy(path, self.args.shots / path.name)
        return path

    def pixel(self, control):
        """The colour at a control's centre, from a screenshot of the whole display."""
        x, y = self.args.facts.centre(control)
        path = self.shot(f"{control}-pixel")
        out = subprocess.run(["convert", str(path), "-crop",
                              f"1x1+{self.origin[0] + x}+{self.origin[1] + y}", "-depth", "8",
                              "txt:-"], capture_output=True, text=True, check=True).stdout
        hexa = re.search(r"#([0-9A-Fa-f]{6})", out).group(1)
        return tuple(int(hexa[i:i + 2], 16) for i in (0, 2, 4))

    def ink(self, control, label):
        """The share of dark pixels inside a control: above 0 when it shows text."""
        left, top, width, height = self.args.facts.rect(control)
        path = self.shot(label)
        inset = 4
        out = subprocess.run(["convert", str(path), "-crop",
                              f"{width - 2 * inset}x{height - 2 * inset}"
                              f"+{self.origin[0] + left + inset}+{self.origin[1] + top + inset}",
                              "-colorspace", "gray", "-threshold", "50%", "-format", "%[fx:mean]",
                              "info:"], capture_output=True, text=True, check=True).stdout
        return 1 - float(out)

    def lamp(self, colour, timeout):
        want = self.args.facts.lamp[colour]
        seen = []

        def probe():
            seen.append(self.pixel("Shape1"))
            return seen[-1] == want
        try:
            wait_for(f"the lamp {colour} {want}", probe, timeout, interval=0.5)
        except Failure as failure:
            raise Failure(f"{failure}; last seen {seen[-1]}") from None

    def xdotool(self, *args):
        subprocess.run(["xdotool", *args], env=self.env, check=True)

    def click(self, control):
        x, y = self.args.facts.centre(control)
        self.xdotool("mousemove", str(self.origin[0] + x), str(self.origin[1] + y), "click", "1")
        time.sleep(0.3)

    def type_text(self, text):
        self.xdotool("type", "--delay", "40", text)
        time.sleep(0.3)

    def key(self, *keys):
        self.xdotool("key", *keys)
        time.sleep(0.3)

    def close(self):
        subprocess.run(["wineserver", "-k"], env=self.env, capture_output=True)
        for process in self.processes:
            if process.poll() is None:
                process.terminate()
        for process in self.processes:
            try:
                process.wait(10)
            except subprocess.TimeoutExpired:
                process.kill()
        self.xvfb.terminate()
        self.xvfb.wait()


def unpack(session, zip_path):
    """The zip into an empty folder; returns tolvane.exe's path in it."""
    folder = session.dir / "unpacked"
    with zipfile.ZipFile(zip_path) as archive:
        archive.extractall(folder)
        tops = {name.split("/")[0] for name in archive.namelist()}
    check(len(tops) == 1, f"the zip has {len(tops)} top folders: {sorted(tops)}")
    exe = folder / tops.pop() / "tolvane.exe"
    check(exe.is_file(), "no tolvane.exe in the zip's folder")
    return exe


def start_tool(session, exe):
    session.start(["wine", str(exe)], "tool.log", cwd=str(session.dir))
    size = session.window()
    client = session.args.facts.client
    check(size == client, f"client area {size[0]} x {size[1]}, not {client[0]} x {client[1]}")
    time.sleep(1)


def test_window(session):
    """The tool from the unpacked zip shows its window, its lamp grey; no COM port in use."""
    session.map_ports({})
    start_tool(session, unpack(session, session.args.zip))
    session.lamp("grey", 10)
    session.shot("window")


def trace_lines(trace, text):
    if not trace.exists():
        return []
    return [line for line in trace.read_text(errors="replace").splitlines() if text in line]


def test_e2e(session):
    """Open, Enter, Continue send and Stop, a configuration command, Save, then the module lost."""
    sim, slave, trace = session.start_sim(1, "--jumper")
    session.map_ports({1: slave})
    start_tool(session, unpack(session, session.args.zip))

    session.click("Command1")                       # Open, on COM1 as the list starts
    session.lamp("green", 10)

    session.click("Text2")                          # Enter in the command box
    session.key("ctrl+a")
    session.type_text("#01")
    session.key("Return")
    # The module heard #01 (its CR ends it in the trace) and answered it.
    replied = wait_for("#01 answered in the trace", lambda: trace_lines(trace, '"#01" -> ">'), 10)
    # What was typed stays on screen in the command box.
    shown = session.ink("Text2", "after-enter")
    check(shown > 0.005, f"the command box shows nothing after #01 was typed and sent "
          f"(dark share {shown:.4f})")

    session.click("Command6")                       # Continue send
    time.sleep(2)
    during = len(trace_lines(trace, '"#01" ->'))
    time.sleep(2)
    later = len(trace_lines(trace, '"#01" ->'))
    check(later > during > len(replied), f"Continue send: {len(replied)}, {during}, {later} "
          "commands in the trace, not growing")
    session.click("Command7")                       # Stop: the cycle under way ends
    time.sleep(2)
    stopped = len(trace_lines(trace, '"#01" ->'))
    time.sleep(3)
    check(len(trace_lines(trace, '"#01" ->')) == stopped, "commands still sent after Stop")

    session.click("Command4")                       # Set in the configuration frame
    wait_for("the configuration command in the trace",
             lambda: trace_lines(trace, '"%0001000600" -> "!'), 10)
    session.shot("after-configuration")

    # Save to file, at a Windows path typed into the dialog.
    (session.prefix / "drive_c/tolvane logs").mkdir()
    saved = session.prefix / "drive_c/tolvane logs/bench.txt"
    session.click("Command8")
    time.sleep(3)
    session.shot("save-dialog")
    session.type_text(r"C:\tolvane logs\bench.txt")
    for attempt in range(3):                        # wine may drop the first Return after typing
        session.key("Return")
        try:
            data = wait_for("the saved log", lambda: saved.exists() and saved.read_bytes(), 4)
            break
        except Failure:
            if attempt == 2:
                raise
    # Each entry ends with CRLF (a reply keeps its own CR before it), the log with one more.
    check(data.endswith(b"\r\n"), "the saved log does not end with CRLF")
    check(data.count(b"\n") == data.count(b"\r\n"), "a line of the saved log ends with LF alone")
    entries = [entry for entry in data.split(b"\r\n") if entry]
    check(all(b"   Command:" in e and b"   Response:" in e for e in entries),
          "a saved line that is no entry of Command: and Response:")
    # Nothing lost: an entry for every command the module heard.
    heard = len(trace_lines(trace, " -> "))
    check(len(entries) == heard, f"{len(entries)} entries saved, {heard} commands sent")
    check(any(b"Command:#01" in e and b"Response:>" in e for e in entries),
          "no entry of #01 with its reply")
    check(any(b"Command:%0001000600" in e and b"Response:!" in e for e in entries),
          "no entry of the configuration command with its reply")
    print(f"  saved log: {len(entries)} entries, {len(data)} bytes")

    sim.send_signal(signal.SIGTERM)                 # the module goes away
    sim.wait(10)
    session.lamp("grey", 10)
    session.shot("module-lost")


def test_find(session):
    """tolvane-find.exe from the zip, in a console as a script runs it, finds each module of a
    line of three (1200 baud; MODBUS RTU; 115200 with another data format) at its address, rate
    and protocol, with its name; a usage error is exit 2 with nothing sent."""
    modules = {(0x05, 1200, "character"): "TV-1200",
               (0x11, 9600, "modbus-rtu"): "",
               (0x0A, 115200, "character"): "TV-HEX"}
    _, slave, trace = session.start_sim(
        4, "--module", "05,baud=1200,name=TV-1200", "--module", "11,modbus",
        "--module", "0A,baud=115200,format=02,name=TV-HEX")
    session.map_ports({4: slave})
    exe = unpack(session, session.args.zip).with_name("tolvane-find.exe")
    check(exe.is_file(), "no tolvane-find.exe in the zip's folder")
    # A console program, so a prompt or a script waits for it and sees its exit code. Wine runs
    # a GUI program from a shell just the same, so the file's PE header is what tells.
    image = exe.read_bytes()
    pe = int.from_bytes(image[0x3C:0x40], "little")
    subsystem = int.from_bytes(image[pe + 0x5C:pe + 0x5E], "little")
    check(subsystem == 3, f"tolvane-find.exe: PE subsystem {subsystem}, not 3 (console)")

    rc, out = session.run(["wine", str(exe), "--com", "4", "--rates", "250"], 120)
    check(rc == 2, f"--rates 250: exit {rc}, not 2: {out[-300:]}")
    check(not trace_lines(trace, " -> "), "a usage error sent something")

    started = time.monotonic()
    rc, out = session.run(["wine", str(exe), "--com", "4", "--rates", "9600,1200,115200",
                           "--addresses", "04-12", "--json"], 600)
    took = time.monotonic() - started
    check(rc == 0, f"the search: exit {rc}, not 0: {out[-400:]}")
    found = json.loads(out)["modules"]
    seen = {(m["address"], m["rate"], m["protocol"]): m for m in found}
    for key, name in modules.items():
        check(key in seen, f"module {key} not found; found {sorted(seen)}")
        check(seen[key]["name"] == name or not name,
              f"module {key}: name {seen[key]['name']!r}, not {name!r}")
    check(seen[(0x0A, 115200, "character")]["format"] == "02",
          f"module 0A's format: {seen[(0x0A, 115200, 'character')]['format']!r}, not '02'")
    check(len(found) == len(modules), f"{len(found)} rows for {len(modules)} modules: {found}")
    print(f"  found {len(found)} modules in {took:.1f} s (wine's start included)")


def reg_values(session, key):
    out = session.wine("reg", "query", key, "/reg:64", check_rc=False)
    return dict(re.findall(r"^\s+(\w+)\s+REG_\w+\s+(.*?)\s*$", out, re.M))


def test_install(session):
    """The installer with /S, the installed program starts, the uninstaller with /S."""
    session.map_ports({})
    version = re.search(r"^project\(Tolvane VERSION ([\d.]+)",
                        (TOP / "CMakeLists.txt").read_text(), re.M).group(1)
    session.wine(str(session.args.setup), "/S", timeout=300)
    subprocess.run(["wineserver", "-w"], env=session.env, timeout=300)
    folder = session.prefix / "drive_c/Program Files/Tolvane"
    menu = session.prefix / "drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs"
    link, find_link = menu / "Tolvane.lnk", menu / "Tolvane Find.lnk"
    with zipfile.ZipFile(session.args.zip) as archive:
        packed = {n.split("/", 1)[1] for n in archive.namelist() if not n.endswith("/")}
    installed = {str(p.relative_to(folder)) for p in folder.rglob("*") if p.is_file()}
    expected = packed | {"uninstall.exe"}
    check(installed == expected,
          f"installed files differ from the zip's: {sorted(installed ^ expected)}")
    check(link.is_file() and find_link.is_file(), "no Start-menu entry for each program")
    values = reg_values(session, UNINSTALL_KEY)
    want = {"DisplayName": "Tolvane", "DisplayVersion": version,
            "Publisher": "The Tolvane developers",
            "DisplayIcon": r"C:\Program Files\Tolvane\tolvane.exe,0",
            "UninstallString": r'"C:\Program Files\Tolvane\uninstall.exe"',
            "QuietUninstallString": r'"C:\Program Files\Tolvane\uninstall.exe" /S',
            "NoModify": "0x1", "NoRepair": "0x1"}
    for name, value in want.items():
        check(values.get(name) == value, f"uninstall entry {name}: {values.get(name)!r}, "
              f"not {value!r}")
    size_kib = int(values.get("EstimatedSize", "0"), 16)
    on_disk = sum(p.stat().st_size for p in folder.rglob("*") if p.is_file()) // 1024
    check(abs(size_kib - on_disk) <= on_disk // 10 + 8,
          f"EstimatedSize {size_kib} KiB, on disk {on_disk} KiB")
    print(f"  installed: {len(installed)} files, {on_disk} KiB; uninstall entry: {values}")

    start_tool(session, r"C:\Program Files\Tolvane\tolvane.exe")
    session.lamp("grey", 10)
    session.shot("installed")
    subprocess.run(["wineserver", "-k"], env=session.env)
    subprocess.run(["wineserver", "-w"], env=session.env)

    # The uninstaller the system's list would run, silently; it finishes in a copy of itself.
    command = re.match(r'"([^"]+)"\s*(.*)$', values["QuietUninstallString"])
    session.wine(command.group(1), *command.group(2).split(), timeout=300)
    subprocess.run(["wineserver", "-w"], env=session.env, timeout=300)
    check(not folder.exists(), f"left after uninstall: {sorted(map(str, folder.rglob('*')))}")
    check(not link.exists() and not find_link.exists(),
          "a Start-menu entry is left after uninstall")
    check(not reg_values(session, UNINSTALL_KEY), "the uninstall entry is left after uninstall")


TESTS = {"window": test_window, "e2e": test_e2e, "find": test_find, "install": test_install}


def build_probe(folder):
    probe = folder / "probe.exe"
    subprocess.run(["x86_64-w64-mingw32-gcc-posix", "-O2", "-municode", "-Wall", "-Wextra",
                    "-Werror", "-o", str(probe), str(TOP / "tests/wine/probe.c")], check=True)
    return probe


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--zip", type=Path, required=True)
    parser.add_argument("--setup", type=Path)
    parser.add_argument("--sim", type=Path)
    parser.add_argument("--shots", type=Path, help="keep the screenshots here")
    parser.add_argument("--keep", action="store_true", help="keep each test's folder")
    parser.add_argument("tests", nargs="*", metavar="TEST", help=", ".join(TESTS))
    args = parser.parse_args()
    for name in args.tests:
        if name not in TESTS:
            parser.error(f"no test {name!r}: {', '.join(TESTS)}")
    args.zip = args.zip.resolve()
    tests = args.tests or ["window"] + (["e2e", "find"] if args.sim else []) + (
        ["install"] if args.setup else [])
    work = Path(tempfile.mkdtemp(prefix="tolvane-wine-"))
    args.probe = build_probe(work)
    args.facts = Facts(work)
    failed = []
    for name in tests:
        session = Session(name, args)
        started = time.monotonic()
        try:
            TESTS[name](session)
            print(f"PASS {name} ({time.monotonic() - started:.0f} s)")
        except (Failure, subprocess.SubprocessError) as failure:
            failed.append(name)
            print(f"FAIL {name} ({time.monotonic() - started:.0f} s): {failure}")
            print(f"     kept in {session.dir}")
        finally:
            session.close()
            if name not in failed and not args.keep:
                shutil.rmtree(session.dir, ignore_errors=True)
    shutil.rmtree(work, ignore_errors=True)
    print(f"{len(tests) - len(failed)} of {len(tests)} wine tests passed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
