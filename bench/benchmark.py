#!/usr/bin/python3
"""Download benchmark: the installer against a same-calls reference, a
64 KiB-read loop and curl, all fetching one large setup program from a local
server; then the installer's peak memory for a small and a large setup
program. Prints figures; asserts nothing.

Usage: benchmark.py BUILD_DIR win32|win64   (the windows-test or windows-test-x64 tree)

The server and the Wine session are the end-to-end tests' own (tests/e2e).
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))

from e2e_harness import CONTENT, SETUP_PATH, enter_private_network  # noqa: E402
from fault_server import FaultServer, Reply  # noqa: E402
from wine_session import Wine, WineSession, create_prefix  # noqa: E402

MIB = 1024 * 1024
RUNS = 5
RUN_TIMEOUT = 600


def transfer_seconds(server, path):
    """Server-side duration of the newest completed request for path."""
    request = [r for r in server.requests if r.path == path and r.done is not None][-1]
    return request.done - request.time


def installer_peak_rss(session, installer):
    """Runs the installer and returns its peak resident memory in KiB, read
    from /proc while it waits for the idle setup program."""
    program = session.spawn_logged([installer], env=dict(session.env, KORVANE_BENCH_IDLE_MS="2000"))
    peak = 0
    while program.process.poll() is None:
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                with open("/proc/%s/cmdline" % pid, "rb") as f:
                    if b"KorvaneInstaller.exe" not in f.read():
                        continue
                with open("/proc/%s/status" % pid) as f:
                    for line in f:
                        if line.startswith("VmHWM:"):
                            peak = max(peak, int(line.split()[1]))
            except OSError:
                pass
        time.sleep(0.05)
    code, _ = program.wait(RUN_TIMEOUT)
    if code != 0:
        raise RuntimeError("installer exited with %s" % code)
    return peak


def main(build, arch):
    enter_private_network("benchmark")
    installer = os.path.join(build, "installer", "KorvaneInstaller.exe")
    reference = os.path.join(build, "bench", "reference_fetch.exe")
    with open(os.path.join(build, "bench", "idle_setup.exe"), "rb") as f:
        idle_setup = f.read()
    root = tempfile.mkdtemp(prefix="korvane-bench.")
    wine = Wine.for_arch(arch)
    create_prefix(os.path.join(root, "prefix"), wine)
    session = WineSession(os.path.join(root, "prefix"), wine, display=os.environ.get("DISPLAY"))
    server = FaultServer().start()
    try:
        content = {path: Reply(os.urandom(20000)) for path, _ in CONTENT}

        def serve_setup(size):
            server.set_replies({SETUP_PATH: Reply(idle_setup + os.urandom(size - len(idle_setup))), **content})

        def wine(*args, **extra_env):
            return session.run(list(args), timeout=RUN_TIMEOUT, env=dict(session.env, **extra_env)).returncode

        serve_setup(64 * MIB)
        url = "http://127.0.0.1" + SETUP_PATH
        local = "C:\\bench-setup.bin"
        curl_out = os.path.join(root, "curl.bin")
        contenders = [
            ("installer (1 KiB reads, window)", lambda: wine(installer, KORVANE_BENCH_IDLE_MS="0")),
            ("reference (same calls, 1 KiB reads)", lambda: wine(reference, url, local, "1024")),
            ("reference (same, with a window)", lambda: wine(reference, url, local, "1024", "window")),
            ("reference (64 KiB reads)", lambda: wine(reference, url, local, "65536")),
            ("curl (native)", lambda: subprocess.run(["curl", "-sS", "--noproxy", "*", "-o", curl_out, url]).returncode),
        ]
        rates = {}
        # Interleaved rounds, so that a slow spell of the machine weighs on
        # every contender alike.
        for _ in range(RUNS):
            for label, command in contenders:
                if command() != 0:
                    raise RuntimeError(label + " failed")
                rates.setdefault(label, []).append(64 / transfer_seconds(server, SETUP_PATH))

        print("64 MiB setup program over loopback, median of %d runs (MB/s = MiB/s):" % RUNS)
        for label, values in rates.items():
            print("  %-40s %8.1f MB/s  (runs %.1f to %.1f)" % (label, statistics.median(values), min(values), max(values)))
        installer_rate = statistics.median(rates["installer (1 KiB reads, window)"])
        print("  installer / same-calls reference: %.2f (target 0.9 or better)"
              % (installer_rate / statistics.median(rates["reference (same calls, 1 KiB reads)"])))
        print("  installer / same-calls reference with a window: %.2f"
              % (installer_rate / statistics.median(rates["reference (same, with a window)"])))

        peaks = {}
        for size in (1, 64):
            serve_setup(size * MIB)
            peaks[size] = installer_peak_rss(session, installer)
        print("Installer peak memory (VmHWM under Wine):")
        for size, peak in peaks.items():
            print("  %2d MiB setup program: %8d KiB" % (size, peak))
        print("  difference: %d KiB (target: within 1024 KiB)" % (peaks[64] - peaks[1]))
    finally:
        server.stop()
        session.close()
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
