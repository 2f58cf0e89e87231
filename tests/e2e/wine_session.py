"""Runs Windows programs under Wine on a private X display, for the tests,
the demo and the benchmark.

Wine comes in two widths, and this module is the one place that knows how
each is started (Wine.for_arch, Wine.wow64_emulated):
  win32: a 32-bit prefix for the 32-bit build, as shipped, under Wine's
         32-bit half: the host's (wine32:i386) or, where the host could not
         install it, the one in the private Wine root of
         scripts/make-wine-root.sh;
  win64: a 64-bit prefix for the x86-64 twin under Wine's 64-bit half;
  emulated WoW64: a 64-bit prefix in which 32-bit programs (the shipped
         file) run under user-mode emulation and everything else natively,
         for hosts that cannot execute 32-bit code (scripts/i386.sh
         registers the emulator).
Loader and server are named explicitly: Debian's "wine" wrapper would start
the 32-bit loader wherever it is installed, even where it cannot run. The
server is always the 64-bit one, which serves prefixes of both widths.

A prefix is made once per test run (create_prefix) and shared by the test
groups; each group opens a WineSession on it: its own Xvfb display and a
persistent wineserver, ended (wineserver -k) when the group is done.

Wine's ANSI code page follows the locale: ja_JP.UTF-8 gives code page 932.
Wine takes TEMP and TMP from its registry (HKCU\\Environment), not from the
Unix environment, so set_temp writes them there.

    python3 wine_session.py run --arch win32|win64 PROGRAM [ARGUMENT...]

runs one program in a throw-away prefix (or in $WINEPREFIX) and exits with
its exit code: the cross-compiling emulator of the Windows trees.
"""

import argparse
import contextlib
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass
from typing import Dict, List, Optional

LOCALE = "ja_JP.UTF-8"
PROJECT = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
WINE_ROOT = os.environ.get("KORVANE_WINE_ROOT", "/var/cache/korvane/wine-root")
IN_WINE_ROOT = os.path.join(PROJECT, "scripts", "in-wine-root.sh")
EMULATOR = os.path.join(PROJECT, "scripts", "i386.sh")
SERVER = "/usr/lib/wine/wineserver64"
PROXY_VARIABLES = ("http_proxy", "https_proxy", "no_proxy", "HTTP_PROXY", "HTTPS_PROXY", "NO_PROXY",
                   "ftp_proxy", "all_proxy", "ALL_PROXY")


def _wine32_root() -> Optional[str]:
    """None where the host has Wine's 32-bit half, else the private Wine root that has it."""
    if os.access("/usr/lib/wine/wine", os.X_OK):
        return None
    if os.path.isfile(os.path.join(WINE_ROOT, ".korvane-ready")):
        return WINE_ROOT
    raise RuntimeError("Wine's 32-bit half is not installed: neither wine32:i386 nor a private Wine root "
                       f"at {WINE_ROOT} (scripts/setup.sh makes one)")


class EmulatorUnavailable(RuntimeError):
    """The kernel takes no user-mode emulator for i386 programs here (no binfmt_misc, not root)."""


@dataclass(frozen=True)
class Wine:
    """How Wine is started for one width: its loader and server, and the root that holds them."""

    arch: str                   # WINEARCH of the prefix: "win32" or "win64"
    loader: str
    server: str
    root: Optional[str] = None  # the private Wine root, or None for the host's own Wine
    emulated: bool = False      # 32-bit programs through user-mode emulation

    @classmethod
    def for_arch(cls, arch: str) -> "Wine":
        if arch == "win64":
            return cls(arch, "/usr/lib/wine/wine64", SERVER)
        if arch == "win32":
            return cls(arch, "/usr/lib/wine/wine", SERVER, _wine32_root())
        raise ValueError(f"unknown Wine architecture {arch!r}")

    @classmethod
    def wow64_emulated(cls) -> "Wine":
        """A 64-bit prefix whose 32-bit programs run emulated, as on 64-bit Windows."""
        return cls("win64", "/usr/lib/wine/wine64", SERVER, _wine32_root(), emulated=True)

    @property
    def patience(self) -> int:
        """What every time limit is multiplied by: emulated 32-bit code runs about 30 times slower."""
        return 20 if self.emulated else 1

    def _command(self, argv: List[str], cwd: Optional[str]) -> List[str]:
        if self.root:
            return [IN_WINE_ROOT, cwd or os.getcwd()] + argv
        return argv

    def loader_command(self, args: List[str], cwd: Optional[str] = None) -> List[str]:
        """wine ARGS: a Windows program or one of Wine's own (wineboot, reg, cmd, winepath)."""
        return self._command([self.loader] + list(args), cwd)

    def server_command(self, args: List[str]) -> List[str]:
        return self._command([self.server] + list(args), None)

    def environment(self, prefix: str, display: Optional[str]) -> Dict[str, str]:
        env = {name: value for name, value in os.environ.items() if name not in PROXY_VARIABLES}
        env.update({
            "WINEPREFIX": prefix,
            "WINEARCH": self.arch,
            "WINELOADER": self.loader,
            "WINESERVER": self.server,
            "WINEDEBUG": "-all",
            # No Mono or Gecko prompts, and no desktop entries written for the user.
            "WINEDLLOVERRIDES": "mscoree,mshtml=;winemenubuilder.exe=d",
            "LANG": LOCALE,
            "LC_ALL": LOCALE,
        })
        if self.root:
            env["KORVANE_WINE_ROOT"] = self.root
        if self.emulated:
            # Wine's 32-bit code uses instructions that qemu's default CPU model lacks.
            env["QEMU_CPU"] = "max"
        if display:
            env["DISPLAY"] = display
        else:
            env.pop("DISPLAY", None)
        return env

    @contextlib.contextmanager
    def emulator(self):
        """Keeps the user-mode emulator registered for i386 programs while emulated Wine runs."""
        if not self.emulated:
            yield
            return
        if subprocess.run([EMULATOR, "register"], stdin=subprocess.DEVNULL).returncode != 0:
            raise EmulatorUnavailable("no user-mode emulator for i386 programs can be registered here "
                                      "(needs root, binfmt_misc and qemu-user-static)")
        try:
            yield
        finally:
            subprocess.run([EMULATOR, "unregister"], stdin=subprocess.DEVNULL)


def with_dll_overrides(env: Dict[str, str], overrides: str) -> Dict[str, str]:
    """A copy of env whose WINEDLLOVERRIDES also holds overrides ("name,name=order;...")."""
    if not overrides:
        return env
    current = env.get("WINEDLLOVERRIDES", "")
    return dict(env, WINEDLLOVERRIDES=current + ";" + overrides if current else overrides)


class Xvfb:
    """An Xvfb server on a display number it picks itself (-displayfd)."""

    def __init__(self, size: str = "1024x768x24"):
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", size, "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            start_new_session=True)
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            number = pipe.readline().strip()
        if not number:
            self.process.kill()
            raise RuntimeError("Xvfb did not start")
        self.display = ":" + number

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


def create_prefix(prefix: str, wine: Wine, timeout: float = 300):
    """Makes a fresh prefix of wine's width at prefix (removing an old one)."""
    prefix = os.path.abspath(prefix)  # Wine accepts only an absolute WINEPREFIX
    shutil.rmtree(prefix, ignore_errors=True)
    os.makedirs(os.path.dirname(prefix) or ".", exist_ok=True)
    xvfb = Xvfb()
    try:
        env = wine.environment(prefix, xvfb.display)
        quiet = dict(env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        timeout *= wine.patience
        booted = subprocess.run(wine.loader_command(["wineboot", "--init"]), timeout=timeout, **quiet)
        # Emulated, the first program gives up waiting for wineboot after Wine's own
        # five minutes and fails, while wineboot goes on: wait for everything to end.
        # The settings below then show whether the prefix works.
        subprocess.run(wine.server_command(["-w"]), timeout=timeout, **quiet)
        if booted.returncode != 0 and not wine.emulated:
            raise RuntimeError(f"wineboot --init failed with {booted.returncode} in {prefix}")
        settings = [
            # A crashing program must end at once instead of waiting on a crash dialog.
            (r"HKCU\Software\Wine\WineDbg", "ShowCrashDialog", "REG_DWORD", "0"),
            # Xvfb runs no window manager: Wine would wait 2 s for one to withdraw
            # each managed window it hides or destroys.
            (r"HKCU\Software\Wine\X11 Driver", "Managed", "REG_SZ", "N"),
        ]
        for key, name, kind, value in settings:
            subprocess.run(wine.loader_command(["reg", "add", key, "/v", name, "/t", kind, "/d", value, "/f"]),
                           check=True, timeout=timeout, **quiet)
        if wine.emulated:
            # No debugger: emulated, an unhandled exception would start winedbg,
            # itself emulated, and the program has been seen to stay frozen until
            # its time limit. Without one it ends at once, with Wine's one-line report.
            for view in ("", r"\Wow6432Node"):
                subprocess.run(wine.loader_command(["reg", "delete", rf"HKLM\Software{view}\Microsoft\Windows NT"
                                                    r"\CurrentVersion\AeDebug", "/v", "Debugger", "/f"]),
                               check=True, timeout=timeout, **quiet)
        subprocess.run(wine.server_command(["-w"]), timeout=timeout, **quiet)
    finally:
        xvfb.stop()


class WineSession:
    def __init__(self, prefix: str, wine: Wine, display: Optional[str] = None):
        """Starts the prefix's wineserver; on display, or else on an Xvfb of its own."""
        self.prefix = os.path.abspath(prefix)
        self.wine = wine
        if not os.path.isdir(os.path.join(self.prefix, "drive_c")):
            raise RuntimeError(f"no Wine prefix at {prefix}")
        self.xvfb = None if display else Xvfb()
        self.display = display or self.xvfb.display
        self.env = wine.environment(self.prefix, self.display)
        subprocess.run(wine.server_command(["-p"]), env=self.env, check=True, timeout=60)
        self._temp: Optional[str] = None

    def close(self):
        subprocess.run(self.wine.server_command(["-k"]), env=self.env, timeout=60)
        subprocess.run(self.wine.server_command(["-w"]), env=self.env, timeout=60)
        if self.xvfb:
            self.xvfb.stop()

    def unix_path(self, windows_path: str) -> str:
        """C:\\a\\b -> <prefix>/drive_c/a/b (drive C only)."""
        drive, rest = windows_path[:2], windows_path[2:]
        if drive.upper() != "C:":
            raise ValueError(windows_path)
        return os.path.join(self.prefix, "drive_c", *[p for p in rest.split("\\") if p])

    def set_temp(self, windows_path: str):
        """Makes windows_path the TEMP and TMP of programs started from now on."""
        if windows_path == self._temp:
            return
        for name in ("TEMP", "TMP"):
            self.run(["reg", "add", r"HKCU\Environment", "/v", name, "/t", "REG_EXPAND_SZ",
                      "/d", windows_path, "/f"], timeout=120, check=True)
        self._temp = windows_path

    def run(self, args: List[str], timeout: float, cwd: Optional[str] = None,
            check: bool = False, env: Optional[Dict[str, str]] = None) -> subprocess.CompletedProcess:
        """Runs wine args to the end; on time-out (times the patience) kills it and raises TimeoutExpired."""
        timeout *= self.wine.patience
        program = self.spawn_logged(args, cwd, env)
        code, timed_out = program.wait(timeout)
        if timed_out:
            raise subprocess.TimeoutExpired(["wine"] + args, timeout)
        result = subprocess.CompletedProcess(args, code, program.stdout(), program.stderr())
        if check:
            result.check_returncode()
        return result

    def spawn_logged(self, args: List[str], cwd: Optional[str] = None,
                     env: Optional[Dict[str, str]] = None) -> "Program":
        """Starts wine args, its output going to files; env replaces the session's environment.

        Not pipes: Wine's background processes (services, explorer) inherit
        the handles and would keep a pipe open after the program has ended.
        They inherit the environment too, of whichever program starts them
        first in the session.
        """
        out, err = tempfile.TemporaryFile(), tempfile.TemporaryFile()
        process = subprocess.Popen(self.wine.loader_command(args, cwd), env=env or self.env, cwd=cwd,
                                   stdin=subprocess.DEVNULL, stdout=out, stderr=err, start_new_session=True)
        return Program(process, out, err)

    def spawn(self, args: List[str], cwd: Optional[str] = None) -> subprocess.Popen:
        return subprocess.Popen(self.wine.loader_command(args, cwd), env=self.env, cwd=cwd,
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                start_new_session=True)

    @staticmethod
    def kill(process: subprocess.Popen):
        """Ends a program started by spawn that did not end by itself."""
        if process.poll() is None:
            os.killpg(process.pid, signal.SIGKILL)
            process.wait()

    def screenshot(self, path: str):
        subprocess.run(["import", "-display", self.display, "-window", "root", path], check=True,
                       timeout=30, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


class Program:
    """A program started by WineSession.spawn_logged; its output is kept once it has ended."""

    def __init__(self, process: subprocess.Popen, out, err):
        self.process = process
        self._files = (out, err)
        self._output = (b"", b"")

    def wait(self, timeout: float):
        """Returns (exit code, False), or (None, True) after killing a program that ran too long."""
        try:
            result = self.process.wait(timeout), False
        except subprocess.TimeoutExpired:
            WineSession.kill(self.process)
            result = None, True
        output = []
        for f in self._files:
            f.seek(0)
            output.append(f.read())
            f.close()
        self._output = tuple(output)
        return result

    def stdout(self) -> bytes:
        return self._output[0]

    def stderr(self) -> bytes:
        return self._output[1]


def wait_for(predicate, timeout: float, interval: float = 0.02):
    """Polls predicate until it returns a true value (returned) or timeout passes (None)."""
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        value = predicate()
        if value:
            return value
        time.sleep(interval)
    return None


def run_one(arch: str, program: List[str]) -> int:
    """Runs program under Wine in $WINEPREFIX, or in a throw-away prefix; its exit code."""
    wine = Wine.for_arch(arch)
    own_prefix = None if os.environ.get("WINEPREFIX") else tempfile.mkdtemp(prefix="korvane-wine.")
    env = wine.environment(own_prefix or os.environ["WINEPREFIX"], display=None)
    try:
        return subprocess.run(wine.loader_command(program), env=env, stdin=subprocess.DEVNULL).returncode
    finally:
        if own_prefix:
            subprocess.run(wine.server_command(["-k"]), env=env, stderr=subprocess.DEVNULL)
            shutil.rmtree(own_prefix, ignore_errors=True)


def main() -> int:
    parser = argparse.ArgumentParser(description="Run one Windows program under Wine.")
    commands = parser.add_subparsers(dest="command", required=True)
    run = commands.add_parser("run")
    run.add_argument("--arch", choices=("win32", "win64"), required=True)
    run.add_argument("program", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    if not args.program:
        parser.error("no program to run")
    return run_one(args.arch, args.program)


if __name__ == "__main__":
    sys.exit(main())
