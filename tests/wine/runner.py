#!/usr/bin/env python3
"""Wine prefixes for every Windows test: the Windows build's own test programs (this file is
ctest's emulator for them) and the end-to-end tests (run.py imports it).

Wine names COM ports after the host's serial devices (COM1 is /dev/ttyS0 on most machines) and
relinks them each time it starts. Every prefix therefore sets all of the tool's COM1..COM20 in
HKLM\\Software\\Wine\\Ports before a test program starts, a test's own ports to their
pseudo-terminals and every other to nothing, so no test can reach a real serial port. Windows
has Times New Roman, the command boxes' font; wine has none and draws no Latin letter in its
stead, so Debian's metric twin of it (Liberation Serif, fonts-liberation) stands in.

As ctest's emulator:
    runner.py PREFIX DLL_DIRS PROGRAM [ARGUMENT...]
PREFIX is a wine prefix of the build's own, made on first use; DLL_DIRS, separated by ':', hold
the DLLs the program loads (Qt's, MinGW's runtime).
"""

import fcntl
import os
import subprocess
import sys
from pathlib import Path

# The tool's COM range, here once for every wine test.
COMS = range(1, 21)


class PrefixError(Exception):
    pass


def wine_env(prefix, base=None):
    """The environment of every wine command on a prefix."""
    env = dict(os.environ if base is None else base, WINEPREFIX=str(prefix), WINEDEBUG="-all",
               WINEARCH="win64",
               # No offer to download wine's Mono and Gecko, no menu entries on the host.
               WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=",
               # Wine keeps file names in the host's character set: in UTF-8 a program may use
               # any name.
               LC_ALL="C.UTF-8")
    env.pop("WAYLAND_DISPLAY", None)
    return env


def registry(ports):
    """The prefix's settings: ports maps a COM number to its device, every other to nothing."""
    lines = ["REGEDIT4", "", r"[HKEY_LOCAL_MACHINE\Software\Wine\Ports]"]
    lines += [f'"COM{n}"="{ports.get(n, "")}"' for n in COMS]
    lines += ["", r"[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]",
              '"Times New Roman"="Liberation Serif"']
    return "\r\n".join(lines) + "\r\n"


def check_ports(prefix, ports):
    """Each COM link of the prefix leads where ports says, or nowhere."""
    for n in COMS:
        link = Path(prefix) / f"dosdevices/com{n}"
        target = os.readlink(link) if link.is_symlink() else ""
        if target != ports.get(n, ""):
            raise PrefixError(f"COM{n} of {prefix} leads to {target or 'nothing'}, "
                              f"not {ports.get(n) or 'nothing'}")


def make_prefix(env, ports=None, log=subprocess.DEVNULL, timeout=300):
    """Creates env's WINEPREFIX with its COM ports and font set. Output goes to log (a file, not
    a pipe: the wineserver a command starts inherits it and would hold a pipe open)."""
    ports = ports or {}
    prefix = Path(env["WINEPREFIX"])

    def run(*command):
        done = subprocess.run(command, stdout=log, stderr=log, env=env, timeout=timeout)
        if done.returncode != 0:
            raise PrefixError(f"{' '.join(command)}: exit {done.returncode}")

    # Creating the prefix links COM1 to the host's first serial device; nothing opens it.
    run("wineboot", "--init")
    settings = prefix / "tolvane.reg"
    settings.write_text(registry(ports))
    run("wine", "reg", "import", str(settings))
    # Wine relinks its COM devices from the registry when it starts next: start it once more
    # and see the links before any test program runs.
    run("wineserver", "-k")
    run("wineserver", "-w")
    run("wine", "reg", "query", r"HKLM\Software\Wine\Ports")
    run("wineserver", "-w")
    check_ports(prefix, ports)


def shared_prefix(prefix):
    """The build's prefix for its test programs, made once: tests may start at once (ctest -j),
    so one makes it and the others wait. Made anew when its settings are not these."""
    prefix = Path(prefix)
    env = wine_env(prefix)
    ready = prefix / ".tolvane-ready"
    want = registry({}).encode()
    with open(f"{prefix}.lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if not ready.is_file() or ready.read_bytes() != want:
            if prefix.exists():
                subprocess.run(["wineserver", "-k"], env=env, stderr=subprocess.DEVNULL)
                subprocess.run(["wineserver", "-w"], env=env)
            subprocess.run(["rm", "-rf", str(prefix)], check=True)
            make_prefix(env)
            ready.write_bytes(want)
    check_ports(prefix, {})
    return env


def main(argv):
    if len(argv) < 4:
        print("usage: runner.py PREFIX DLL_DIRS PROGRAM [ARGUMENT...]", file=sys.stderr)
        return 2
    prefix, dll_dirs, command = os.path.abspath(argv[1]), argv[2], argv[3:]
    try:
        env = shared_prefix(prefix)
    except PrefixError as error:
        print(f"runner.py: {error}", file=sys.stderr)
        return 1
    # Windows paths for the DLL folders: wine's drive Z: is the root of the host's file system.
    env["WINEPATH"] = ";".join("Z:" + d.replace("/", "\\") for d in dll_dirs.split(":") if d)
    # Tells the tests that opening any of COM1..COM20 here reaches no device.
    env["TOLVANE_COM_PORTS_UNMAPPED"] = "1"
    os.execvpe("wine", ["wine", *command], env)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
