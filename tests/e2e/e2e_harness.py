"""Runs KorvaneInstaller.exe under Wine against the local download server
and collects what it did.

stage() is the one way the tests, the demo and the benchmark set up: a Wine
prefix (made when missing), a Wine session on it and a download server on
127.0.0.1:80 (the fault-injecting one, or nginx with the shipped server
block), inside the private network of enter_private_network(), which each
program enters first.

One scenario (InstallerRunner.run): reset the temporary folder and the setup
program's log, give the server the replies (or take it down), start the UI
reader, run the installer with a time limit, then gather the exit code, the
server's request log, the reader's report, the setup program's runs and the
files left in the working folder.
"""

import atexit
import contextlib
import fcntl
import json
import os
import re
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass
from typing import Callable, Dict, Iterator, List, Optional, Sequence

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))

from expected import WORKING_FOLDER  # noqa: E402
from fault_server import FaultServer, Reply, Request  # noqa: E402
from wine_session import Wine, WineSession, create_prefix, wait_for, with_dll_overrides  # noqa: E402

SETUP_LOG = r"C:\korvane-setup-runs.log"
SCRATCH = r"C:\korvane-e2e"
CWD = r"C:\korvane-e2e\cwd"
DEFAULT_TEMP = "C:\\korvane-e2e\\temp\\"


@dataclass
class SetupRun:
    cmdline: str
    module: str
    cwd: str
    tick: int           # GetTickCount when it started
    finished: bool


@dataclass
class Run:
    exit_code: Optional[int]
    timed_out: bool
    requests: List[Request]
    events: List[dict]
    setup_runs: List[SetupRun]
    temp_dir: str           # Unix path of the temporary folder
    work_dir: str           # Unix path of <temp>\korvane
    seconds: float
    screenshot: Optional[str] = None
    stderr: bytes = b""

    def of(self, kind: str) -> List[dict]:
        return [e for e in self.events if e["ev"] == kind]

    @property
    def paths(self) -> List[str]:
        return [r.path for r in self.requests]

    def file(self, *parts: str) -> Optional[bytes]:
        path = os.path.join(self.work_dir, *parts)
        if not os.path.isfile(path):
            return None
        with open(path, "rb") as f:
            return f.read()

    def describe(self) -> str:
        """Everything gathered, for failure messages."""
        lines = [f"exit code {self.exit_code} (timed out: {self.timed_out}) after {self.seconds:.1f} s",
                 "requests: " + ", ".join(f"{r.method} {r.path}" for r in self.requests),
                 f"setup runs: {self.setup_runs}"]
        lines += [json.dumps(e) for e in self.events if e["ev"] != "pos"][:40]
        if self.stderr:
            lines.append("wine stderr: " + self.stderr.decode(errors="replace")[-2000:])
        return "\n".join(lines)


def text(event: dict, key: str = "text") -> bytes:
    return bytes.fromhex(event[key])


def read_report(path: str) -> List[dict]:
    events = []
    if os.path.exists(path):
        with open(path, "rb") as f:
            for line in f.read().decode("ascii", errors="replace").splitlines():
                try:
                    events.append(json.loads(line))
                except ValueError:
                    pass  # a line cut short by a killed reader
    return events


def read_setup_runs(path: str) -> List[SetupRun]:
    if not os.path.exists(path):
        return []
    with open(path, "rb") as f:
        records = f.read().decode("cp932").split("run\r\n")[1:]
    runs = []
    for record in records:
        fields = dict(line.split("=", 1) for line in record.split("\r\n") if "=" in line)
        runs.append(SetupRun(fields.get("cmdline"), fields.get("module"), fields.get("cwd"),
                             int(fields.get("tick", "0")), fields.get("exit") == "7"))
    return runs


def port_80_listening() -> bool:
    with socket.socket() as probe:
        probe.settimeout(1)
        return probe.connect_ex(("127.0.0.1", 80)) == 0


class Stage:
    """A Wine session and a local download server on 127.0.0.1:80, made by make_server (a
    FaultServer, or anything with its start, reset, requests and stop)."""

    def __init__(self, session: WineSession, make_server: Callable = FaultServer):
        self.session = session
        self._make_server = make_server
        self.server = make_server().start()

    @contextlib.contextmanager
    def server_down(self) -> Iterator[None]:
        """Nothing listens on port 80 for a while: the server is unreachable."""
        self.server.stop()
        try:
            if port_80_listening():
                raise RuntimeError("something else listens on 127.0.0.1:80; the unreachable case needs it free")
            yield
        finally:
            self.server = self._make_server().start()


@contextlib.contextmanager
def stage(prefix: str, wine: Wine, display: Optional[str] = None, fresh_prefix: bool = False,
          make_server: Callable = FaultServer) -> Iterator[Stage]:
    """A Wine session on prefix (made first when missing, or anew) and the server; both ended on exit."""
    if fresh_prefix or not os.path.isdir(os.path.join(prefix, "drive_c")):
        create_prefix(prefix, wine)
    session = WineSession(prefix, wine, display)
    try:
        started = Stage(session, make_server)
        try:
            yield started
        finally:
            started.server.stop()
    finally:
        session.close()


class InstallerRunner:
    def __init__(self, stage: Stage, installer: str, reader: str, artifacts: str):
        self.stage = stage
        self.session = stage.session
        self.installer = installer
        self.reader = reader
        self.artifacts = artifacts
        self.count = 0
        os.makedirs(artifacts, exist_ok=True)
        os.makedirs(self.session.unix_path(CWD), exist_ok=True)

    def run(self, replies: Optional[Dict[str, Reply]] = None, server: bool = True,
            temp: str = DEFAULT_TEMP, reader_args: Sequence[str] = (), timeout: float = 60,
            prepare: Optional[Callable[[str], None]] = None, screenshot: Optional[str] = None,
            installer: Optional[str] = None, dll_overrides: str = "") -> Run:
        """Runs the installer once; prepare(temp_dir) may plant files first.

        server=False: nothing answers on port 80 during the run;
        installer: another copy of the program to run (a Windows path, say);
        dll_overrides: added to WINEDLLOVERRIDES for the installer alone.
        """
        self.count += 1
        session = self.session
        program = installer or self.installer
        temp_dir = session.unix_path(temp)
        shutil.rmtree(temp_dir, ignore_errors=True)
        os.makedirs(temp_dir)
        setup_log = session.unix_path(SETUP_LOG)
        if os.path.exists(setup_log):
            os.remove(setup_log)
        report = f"{SCRATCH}\\ui-{self.count}.jsonl"
        stop = f"{SCRATCH}\\stop-{self.count}"
        for path in (report, stop):
            if os.path.exists(session.unix_path(path)):
                os.remove(session.unix_path(path))
        session.set_temp(temp)
        if prepare:
            prepare(temp_dir)

        patience = session.wine.patience
        timeout *= patience
        with contextlib.ExitStack() as scope:
            if server:
                self.stage.server.reset(replies or {})
            else:
                scope.enter_context(self.stage.server_down())
            # The reader keeps an error box up for 300 ms before pressing OK, and
            # watches for as long as the installer may run.
            reader = session.spawn([self.reader, report, stop, "--box-delay", "300",
                                    "--timeout", str(int(timeout + 60) * 1000)] + list(reader_args))
            scope.callback(session.kill, reader)
            ready = wait_for(lambda: any(e["ev"] == "ready" for e in read_report(session.unix_path(report))),
                             30 * patience)
            if not ready:
                raise RuntimeError("the UI reader did not start")
            start = time.monotonic()
            installer = session.spawn_logged([program], cwd=session.unix_path(CWD),
                                             env=with_dll_overrides(session.env, dll_overrides))
            shot = self._screenshot(report, installer.process, screenshot) if screenshot else None
            exit_code, timed_out = installer.wait(timeout)
            seconds = time.monotonic() - start
            # Let the reader see the last window disappear, then stop it.
            time.sleep(0.1)
            with open(session.unix_path(stop), "w"):
                pass
            try:
                reader.wait(15 * patience)
            except subprocess.TimeoutExpired:
                pass  # killed on the way out
            requests = self.stage.server.requests if server else []
        shutil.copy(session.unix_path(report), os.path.join(self.artifacts, f"ui-{self.count}.jsonl"))
        work_dir = os.path.join(temp_dir, WORKING_FOLDER)
        return Run(exit_code=exit_code, timed_out=timed_out, requests=requests,
                   events=read_report(session.unix_path(report)), setup_runs=read_setup_runs(setup_log),
                   temp_dir=temp_dir, work_dir=work_dir, seconds=seconds, screenshot=shot,
                   stderr=installer.stderr())

    def _screenshot(self, report: str, installer: subprocess.Popen, name: str) -> Optional[str]:
        """Screenshot of the whole screen while the progress window is up."""
        shown = wait_for(lambda: installer.poll() is not None or
                         any(e["ev"] == "dialog" for e in read_report(self.session.unix_path(report))), 30)
        if not shown or installer.poll() is not None:
            return None
        time.sleep(0.3)  # let the window paint its text and bar
        path = os.path.join(self.artifacts, name)
        self.session.screenshot(path)
        return path


def installer_host(installer: str) -> str:
    """The download host built into an installer: what stands between "http://" and "/archives/app/"."""
    with open(installer, "rb") as f:
        found = re.search(rb"http://([A-Za-z0-9.:-]+)/archives/app/", f.read())
    if not found:
        raise RuntimeError(f"{installer} holds no application base URL")
    return found.group(1).decode("ascii")


def enter_private_network(note: str = "e2e", host_names: Sequence[str] = ()) -> bool:
    """Re-runs this program in network and mount namespaces of its own, when possible.

    Inside them 127.0.0.1:80 belongs to the tests alone: nothing else on the
    machine can answer the installer's requests or block the port, and the
    "server unreachable" case is certain; and host_names resolve to
    127.0.0.1 through a private /etc/hosts, so that an installer built for
    another download host asks the local server. As root the namespaces are
    enough; otherwise a user namespace maps the user to root inside them.
    Where namespaces are not allowed, the program runs on in the machine's
    own network (False), and host_names cannot be mapped.
    """
    if os.environ.get("KORVANE_E2E_NETNS") == "1":
        _bring_loopback_up()
        if host_names:
            _map_to_loopback(host_names)
        return True
    flags = ["-n", "-m"] if os.geteuid() == 0 else ["-r", "-n", "-m"]
    # Inside a chroot, / is no mount point and cannot be made private: the
    # mounts then take the propagation of the chroot's own.
    for propagation in ("private", "unchanged"):
        command = ["unshare"] + flags + ["--propagation", propagation]
        if shutil.which("unshare") and subprocess.run(command + ["true"], stdout=subprocess.DEVNULL,
                                                      stderr=subprocess.DEVNULL).returncode == 0:
            env = dict(os.environ, KORVANE_E2E_NETNS="1")
            os.execvpe("unshare", command + [sys.executable] + sys.argv, env)
    if host_names:
        raise RuntimeError(f"{note}: no private namespaces here, so {', '.join(host_names)} cannot be "
                           "pointed at the local server")
    print(f"{note}: no private network namespace here; using the machine's loopback", file=sys.stderr)
    return False


def _bring_loopback_up():
    """A new network namespace starts with lo down."""
    SIOCGIFFLAGS, SIOCSIFFLAGS, IFF_UP = 0x8913, 0x8914, 0x1
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        request = struct.pack("16sH14x", b"lo", 0)
        flags = struct.unpack("16sH14x", fcntl.ioctl(s, SIOCGIFFLAGS, request))[1]
        fcntl.ioctl(s, SIOCSIFFLAGS, struct.pack("16sH14x", b"lo", flags | IFF_UP))


def _map_to_loopback(host_names: Sequence[str]):
    """Binds a hosts file naming host_names as 127.0.0.1 over /etc/hosts, in this mount namespace only."""
    with tempfile.NamedTemporaryFile("w", prefix="korvane-hosts.", delete=False) as hosts:
        hosts.write("127.0.0.1 localhost\n::1 localhost\n")
        hosts.writelines(f"127.0.0.1 {name}\n" for name in host_names)
    # Kept while this process runs: a bind of a removed file cannot be bound again (the Wine root).
    atexit.register(os.remove, hosts.name)
    subprocess.run(["mount", "--bind", hosts.name, "/etc/hosts"], check=True)
