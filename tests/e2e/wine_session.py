"""Runs Windows programs under Wine on a private X display, for the tests.

A prefix is made once per test run (create_prefix, about 10 s) and shared by
the test groups; each group opens a WineSession on it: its own Xvfb display
and a persistent wineserver, ended (wineserver -k) when the group is done.

Wine's ANSI code page follows the locale: ja_JP.UTF-8 gives code page 932.
Wine takes TEMP and TMP from its registry (HKCU\\Environment), not from the
Unix environment, so set_temp writes them there.
"""

import os
import shutil
import signal
import subprocess
import tempfile
import time
from typing import Dict, List, Optional

LOCALE = "ja_JP.UTF-8"


def wine_environment(prefix: str, display: Optional[str]) -> Dict[str, str]:
    env = dict(os.environ)
    for name in ("http_proxy", "https_proxy", "no_proxy", "HTTP_PROXY", "HTTPS_PROXY", "NO_PROXY",
                 "ftp_proxy", "all_proxy", "ALL_PROXY"):
        env.pop(name, None)
    env.update({
        "WINEPREFIX": prefix,
        "WINEARCH": "win32",
        "WINEDEBUG": "-all",
        # No Mono or Gecko prompts, and no desktop entries written for the user.
        "WINEDLLOVERRIDES": "mscoree,mshtml=;winemenubuilder.exe=d",
        "LANG": LOCALE,
        "LC_ALL": LOCALE,
    })
    if display:
        env["DISPLAY"] = display
    else:
        env.pop("DISPLAY", None)
    return env


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


def create_prefix(prefix: str):
    """Makes a fresh 32-bit prefix at prefix (removing an old one)."""
    prefix = os.path.abspath(prefix)  # Wine accepts only an absolute WINEPREFIX
    shutil.rmtree(prefix, ignore_errors=True)
    os.makedirs(os.path.dirname(prefix) or ".", exist_ok=True)
    xvfb = Xvfb()
    try:
        env = wine_environment(prefix, xvfb.display)
        subprocess.run(["wineboot", "--init"], env=env, check=True, timeout=300, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        settings = [
            # A crashing program must end at once instead of waiting on a crash dialog.
            (r"HKCU\Software\Wine\WineDbg", "ShowCrashDialog", "REG_DWORD", "0"),
            # Xvfb runs no window manager: Wine would wait 2 s for one to withdraw
            # each managed window it hides or destroys.
            (r"HKCU\Software\Wine\X11 Driver", "Managed", "REG_SZ", "N"),
        ]
        for key, name, kind, value in settings:
            subprocess.run(["wine", "reg", "add", key, "/v", name, "/t", kind, "/d", value, "/f"], env=env,
                           check=True, timeout=120, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=env, timeout=120)
    finally:
        xvfb.stop()


class WineSession:
    def __init__(self, prefix: str, display: Optional[str] = None):
        """Starts the prefix's wineserver; on display, or else on an Xvfb of its own."""
        self.prefix = os.path.abspath(prefix)
        if not os.path.isdir(os.path.join(self.prefix, "drive_c")):
            raise RuntimeError(f"no Wine prefix at {prefix}")
        self.xvfb = None if display else Xvfb()
        self.display = display or self.xvfb.display
        self.env = wine_environment(self.prefix, self.display)
        subprocess.run(["wineserver", "-p"], env=self.env, check=True, timeout=30)
        self._temp: Optional[str] = None

    def close(self):
        subprocess.run(["wineserver", "-k"], env=self.env, timeout=30)
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=30)
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
                      "/d", windows_path, "/f"], timeout=60, check=True)
        self._temp = windows_path

    def run(self, args: List[str], timeout: float, cwd: Optional[str] = None,
            check: bool = False, env: Optional[Dict[str, str]] = None) -> subprocess.CompletedProcess:
        """Runs wine args to the end; on time-out kills it and raises TimeoutExpired."""
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
        process = subprocess.Popen(["wine"] + args, env=env or self.env, cwd=cwd, stdin=subprocess.DEVNULL,
                                   stdout=out, stderr=err, start_new_session=True)
        return Program(process, out, err)

    def spawn(self, args: List[str], cwd: Optional[str] = None) -> subprocess.Popen:
        return subprocess.Popen(["wine"] + args, env=self.env, cwd=cwd, stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)

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
