#!/usr/bin/python3
"""Download benchmark: the installer against a same-calls reference, a
64 KiB-read reference and curl, all fetching one large setup program from a
local server; then the installer's peak memory for a small and a large setup
program. Prints figures; asserts nothing.

Usage: benchmark.py BUILD_DIR win32|win64   (the windows-test or windows-test-x64 tree)

The reference (reference_fetch.cpp) makes the installer's calls for one
download, its progress dialog and per-chunk pump included, and nothing of
its flow: installer / reference is what the installer adds. The stage (Wine
session, server) is the end-to-end tests' own (tests/e2e).
"""
import os
import statistics
import struct
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))

from e2e_harness import enter_private_network, stage  # noqa: E402
from expected import CONTENT, SETUP_PATH  # noqa: E402
from fault_server import Reply  # noqa: E402
from wine_session import Wine  # noqa: E402

MIB = 1024 * 1024
RUNS = 5
RUN_TIMEOUT = 600


BUILDS = {0x14C: "the 32-bit build (as shipped)", 0x8664: "the x86-64 twin"}


def machine(program):
    """The Machine field of a PE file's header."""
    with open(program, "rb") as f:
        data = f.read(1024)
    header = struct.unpack_from("<I", data, 0x3C)[0]
    return struct.unpack_from("<H", data, header + 4)[0]


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
    with tempfile.TemporaryDirectory(prefix="korvane-bench.") as root, \
            stage(os.path.join(root, "prefix"), Wine.for_arch(arch), os.environ.get("DISPLAY")) as started:
        session, server = started.session, started.server
        curl_out = os.path.join(root, "curl.bin")
        content = {path: Reply(os.urandom(20000)) for path, _ in CONTENT}

        def serve_setup(size):
            server.reset({SETUP_PATH: Reply(idle_setup + os.urandom(size - len(idle_setup))), **content})

        def wine(*args, **extra_env):
            return session.run(list(args), timeout=RUN_TIMEOUT, env=dict(session.env, **extra_env)).returncode

        serve_setup(64 * MIB)
        url = "http://127.0.0.1" + SETUP_PATH
        local = "C:\\bench-setup.bin"
        contenders = [
            ("installer (1 KiB reads)", lambda: wine(installer, KORVANE_BENCH_IDLE_MS="0")),
            ("reference (same calls, 1 KiB reads)", lambda: wine(reference, url, local, "1024")),
            ("reference (same calls, 64 KiB reads)", lambda: wine(reference, url, local, "65536")),
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

        print("Build: %s, under Wine's %s half" % (BUILDS[machine(installer)], "32-bit" if arch == "win32" else "64-bit"))
        print("64 MiB setup program over loopback, median of %d runs (MB/s = MiB/s):" % RUNS)
        for label, values in rates.items():
            print("  %-40s %8.1f MB/s  (runs %.1f to %.1f)" % (label, statistics.median(values), min(values), max(values)))
        print("  installer / same-calls reference: %.2f (target 0.95 or better)"
              % (statistics.median(rates["installer (1 KiB reads)"])
                 / statistics.median(rates["reference (same calls, 1 KiB reads)"])))

        peaks = {}
        for size in (1, 64):
            serve_setup(size * MIB)
            peaks[size] = installer_peak_rss(session, installer)
        print("Installer peak memory (VmHWM under Wine):")
        for size, peak in peaks.items():
            print("  %2d MiB setup program: %8d KiB" % (size, peak))
        print("  difference: %d KiB (target: within 1024 KiB)" % (peaks[64] - peaks[1]))


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
