#!/usr/bin/python3
"""Download benchmark: the installer against a same-calls reference, a
64 KiB-read loop and curl, all fetching one large setup program from a local
server; then the installer's peak memory for a small and a large setup
program. Prints figures; asserts nothing.

Usage: benchmark.py BUILD_DIR   (the windows-test tree)
"""
import http.server
import os
import shutil
import socketserver
import statistics
import subprocess
import sys
import tempfile
import threading
import time

MIB = 1024 * 1024
RUNS = 5
CONTENT = ["Gallery_North/wave_short01.krv", "Gallery_North/wave_short02.krv",
           "galleryeastern/paperlanternwalks.krv", "marble/pebble.krv", "Zeko/teaser.krv"]
SETUP_PATH = "/archives/app/setup.exe"


class Server:
    """Serves bytes from memory and times each response at the server."""

    def __init__(self):
        self.files = {}
        self.durations = {}
        server = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def do_GET(self):
                body = server.files.get(self.path)
                if body is None:
                    self.send_error(404)
                    return
                start = time.perf_counter()
                self.send_response(200)
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                view = memoryview(body)
                for offset in range(0, len(body), 256 * 1024):
                    self.wfile.write(view[offset:offset + 256 * 1024])
                self.wfile.flush()
                server.durations.setdefault(self.path, []).append(time.perf_counter() - start)

            def log_message(self, *args):
                pass

        socketserver.TCPServer.allow_reuse_address = True
        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 80), Handler)
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()

    def last_duration(self, path):
        return self.durations[path][-1]

    def close(self):
        self.httpd.shutdown()
        self.httpd.server_close()


class Wine:
    def __init__(self, root):
        self.env = dict(os.environ, WINEPREFIX=os.path.join(root, "prefix"), WINEARCH="win32",
                        WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=", LANG="ja_JP.UTF-8")
        for name in ("http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "no_proxy"):
            self.env.pop(name, None)
        self.xvfb = None
        if not os.environ.get("DISPLAY"):
            display = ":%d" % (90 + os.getpid() % 100)
            self.xvfb = subprocess.Popen(["Xvfb", display, "-nolisten", "tcp", "-screen", "0", "1024x768x24"],
                                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            self.env["DISPLAY"] = display
            time.sleep(1)
        subprocess.run(["wineboot", "-i"], env=self.env, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.Popen(["wineserver", "-p"], env=self.env).wait()
        self.drive_c = os.path.join(self.env["WINEPREFIX"], "drive_c")

    def run(self, *args, extra_env=None):
        env = dict(self.env, **(extra_env or {}))
        return subprocess.run(["wine", *args], env=env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, timeout=600).returncode

    def close(self):
        subprocess.run(["wineserver", "-k"], env=self.env)
        if self.xvfb:
            self.xvfb.terminate()


def installer_peak_rss(wine, installer):
    """Runs the installer and returns its peak resident memory in KiB, read
    from /proc while it waits for the idle setup program."""
    process = subprocess.Popen(["wine", installer], env=dict(wine.env, KORVANE_BENCH_IDLE_MS="2000"),
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    peak = 0
    while process.poll() is None:
        for pid in os.listdir("/proc"):
            if not pid.isdigit():
                continue
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
    if process.returncode != 0:
        raise RuntimeError("installer exited with %d" % process.returncode)
    return peak


def main(build):
    installer = os.path.join(build, "installer", "KorvaneInstaller.exe")
    reference = os.path.join(build, "bench", "reference_fetch.exe")
    with open(os.path.join(build, "bench", "idle_setup.exe"), "rb") as f:
        idle_setup = f.read()
    root = tempfile.mkdtemp(prefix="korvane-bench.")
    server = Server()
    wine = Wine(root)
    try:
        for name in CONTENT:
            server.files["/zq/res/" + name] = os.urandom(20000)

        def serve_setup(size):
            server.files[SETUP_PATH] = idle_setup + os.urandom(size - len(idle_setup))

        serve_setup(64 * MIB)
        url = "http://127.0.0.1" + SETUP_PATH
        local = "C:\\bench-setup.bin"
        rates = {}

        curl_out = os.path.join(root, "curl.bin")
        contenders = [
            ("installer (1 KiB reads, window)",
             lambda: wine.run(installer, extra_env={"KORVANE_BENCH_IDLE_MS": "0"})),
            ("reference (same calls, 1 KiB reads)", lambda: wine.run(reference, url, local, "1024")),
            ("reference (same, with a window)", lambda: wine.run(reference, url, local, "1024", "window")),
            ("reference (64 KiB reads)", lambda: wine.run(reference, url, local, "65536")),
            ("curl (native)", lambda: subprocess.run(["curl", "-sS", "--noproxy", "*", "-o", curl_out, url]).returncode),
        ]
        # Interleaved rounds, so that a slow spell of the machine weighs on
        # every contender alike.
        for _ in range(RUNS):
            for label, command in contenders:
                if command() != 0:
                    raise RuntimeError(label + " failed")
                rates.setdefault(label, []).append(64 / server.last_duration(SETUP_PATH))

        print("64 MiB setup program over loopback, median of %d runs (MB/s = MiB/s):" % RUNS)
        for label, values in rates.items():
            print("  %-40s %8.1f MB/s  (runs %.1f to %.1f)" % (label, statistics.median(values), min(values), max(values)))
        ratio = statistics.median(rates["installer (1 KiB reads, window)"]) / statistics.median(
            rates["reference (same calls, 1 KiB reads)"])
        print("  installer / same-calls reference: %.2f (target 0.9 or better)" % ratio)
        ratio = statistics.median(rates["installer (1 KiB reads, window)"]) / statistics.median(
            rates["reference (same, with a window)"])
        print("  installer / same-calls reference with a window: %.2f" % ratio)

        peaks = {}
        for size in (1, 64):
            serve_setup(size * MIB)
            peaks[size] = installer_peak_rss(wine, installer)
        print("Installer peak memory (VmHWM under Wine):")
        for size, peak in peaks.items():
            print("  %2d MiB setup program: %8d KiB" % (size, peak))
        print("  difference: %d KiB (target: within 1024 KiB)" % (peaks[64] - peaks[1]))
    finally:
        wine.close()
        server.close()
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    main(sys.argv[1])
