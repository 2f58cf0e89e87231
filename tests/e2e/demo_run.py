"""The demo (scripts/demo.sh): one real run of KorvaneInstaller.exe under Wine.

Publishes a setup program and five content files with scripts/publish.sh
and serves them from 127.0.0.1:80 with nginx and the shipped server block,
throttled by nginx's own rate limit so the progress window stays up for a
few seconds. Runs the installer on the user's X display (or on Xvfb, saving
a screenshot of the progress window), then prints each request (from
nginx's access log), the files stored, the setup program's run and the
installer's exit code.

    python3 demo_run.py --installer EXE --setup EXE --wine-arch win32|win64 --out DIR
"""

import argparse
import os
import random
import shutil
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from e2e_harness import SETUP_LOG, enter_private_network, read_setup_runs, stage  # noqa: E402
from expected import CONTENT, CONTENTS_FOLDER, SETUP_NAME, SETUP_PATH, WORKING_FOLDER  # noqa: E402
from fault_server import Reply  # noqa: E402
from nginx_server import NginxServer  # noqa: E402
from wine_session import Wine, wait_for  # noqa: E402

CONTENT_SIZES = [48 * 1024, 52 * 1024, 30 * 1024 + 7, 12 * 1024, 64 * 1024 + 100]
RATE_LIMIT = "limit_rate 80k;"  # per request: a few seconds on screen


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--installer", required=True)
    parser.add_argument("--setup", required=True, help="the program served as setup.exe")
    parser.add_argument("--wine-arch", choices=("win32", "win64"), required=True, help="the installer's width")
    parser.add_argument("--out", required=True, help="folder for the prefix, the served files, the screenshot")
    args = parser.parse_args()
    wine = Wine.for_arch(args.wine_arch)

    private_network = enter_private_network("demo")
    os.makedirs(args.out, exist_ok=True)

    prefix = os.path.join(args.out, "wine-prefix-" + args.wine_arch)
    if not os.path.isdir(os.path.join(prefix, "drive_c")):
        print("demo: making a Wine prefix (once, about 10 s)", flush=True)

    with open(args.setup, "rb") as f:
        replies = {SETUP_PATH: Reply(f.read())}
    generator = random.Random(2026)
    for (path, _), size in zip(CONTENT, CONTENT_SIZES):
        replies[path] = Reply(generator.randbytes(size))

    display = os.environ.get("DISPLAY")
    screenshot = None
    nginx = os.path.join(os.path.abspath(args.out), "nginx")
    with stage(prefix, wine, display, make_server=lambda: NginxServer(nginx, RATE_LIMIT)) as started:
        session, server = started.session, started.server
        temp = session.run(["cmd", "/c", "echo %TEMP%"], timeout=60).stdout.decode().strip()
        temp_unix = session.run(["winepath", "-u", temp], timeout=60).stdout.decode().strip()
        work = os.path.join(temp_unix, WORKING_FOLDER)
        shutil.rmtree(work, ignore_errors=True)  # so that setup.exe appears anew
        setup_log = session.unix_path(SETUP_LOG)
        if os.path.exists(setup_log):
            os.remove(setup_log)

        print(f"demo: nginx with server/nginx/korvane.conf on http://127.0.0.1:80/, {RATE_LIMIT} "
              f"({'private network namespace' if private_network else 'machine loopback'}), "
              f"display {session.display}{'' if display else ' (Xvfb)'}", flush=True)
        server.reset(replies)
        print(f"demo: scripts/publish.sh laid the release out under {server.root}", flush=True)
        installer = session.spawn_logged([args.installer])
        if not display:
            # The window opens before setup.exe is created; give it a moment to paint.
            if wait_for(lambda: os.path.exists(os.path.join(work, SETUP_NAME)) or installer.process.poll() is not None,
                        60) and installer.process.poll() is None:
                time.sleep(0.8)
                screenshot = os.path.join(args.out, "progress.png")
                session.screenshot(screenshot)
        exit_code, timed_out = installer.wait(300)
        requests = server.requests

    print("\nRequests, in order (nginx's access log):")
    for request in requests:
        size = len(replies[request.path].body) if request.path in replies else None
        print(f"  {request.method} {request.path}  User-Agent: {request.user_agent}  "
              f"-> {size if size is not None else 'not served'} bytes")
    print(f"\nFiles in {temp.rstrip(chr(92))}\\{WORKING_FOLDER}\\:")
    stored = [(SETUP_NAME, SETUP_PATH)] + [(CONTENTS_FOLDER + "\\" + name, path) for path, name in CONTENT]
    for name, path in stored:
        local = os.path.join(work, *name.split("\\"))
        if os.path.exists(local):
            with open(local, "rb") as f:
                data = f.read()
            same = "identical to what was served" if data == replies[path].body else "DIFFERS from what was served"
            print(f"  {name:40} {len(data):7} bytes, {same}")
        else:
            print(f"  {name:40} missing")
    runs = read_setup_runs(setup_log)
    print("\nSetup program:")
    if not runs:
        print("  not started")
    for run in runs:
        print(f"  started with command line {run.cmdline}")
        print(f"  ran as {run.module}, in {run.cwd}, exited with 7 ({'finished' if run.finished else 'still running'})")
    if screenshot:
        print(f"\nScreenshot of the progress window: {screenshot}")
    if timed_out:
        print("\nKorvaneInstaller.exe did not finish within 300 s and was stopped.")
        return 1
    print(f"\nKorvaneInstaller.exe exit code: {exit_code}")
    return 0 if exit_code == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
