"""End-to-end tests of the shipped file itself: the build of preset windows,
which asks for its own download host (a private /etc/hosts points it at the
local server), and the signed release of it (tests/release).

    python3 test_shipped_file.py --installer EXE --signed EXE --setup-fixture EXE --ui-reader EXE
                                 --prefix DIR --wine-arch win32|win64 --artifacts DIR
                                 [unittest arguments]

SignedReleaseTest runs the signed release's happy path where this host
executes 32-bit code. EmulatedSmokeTest is for hosts that cannot: it runs
the shipped bytes as on 64-bit Windows, in a 64-bit prefix where Wine's
32-bit half runs the installer under the emulator (qemu-i386-static,
through binfmt_misc, registered for this test only) and everything else,
the setup fixture and the UI reader included (x86-64 builds), runs
natively. Its prefix is made fresh (a few minutes: its 32-bit half is set
up emulated) and removed again. Where no emulator can be registered or no
32-bit Wine is installed, it is skipped (exit code 77) with a line that says
why.

Emulated, a run of the installer takes about a minute, most of it the start
of the process; a run that takes four fails as a hang. Emulated Wine itself
has been seen to crash now and then, in code outside the program (an
unhandled exception at an address in Wine's own libraries, with the program
mid-download): such a run is reported and made once more. A hang, or a
crash in the program's own code, fails at once.
"""

import os
import re
import shutil
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from e2e_harness import Run, installer_host  # noqa: E402
from expected import SETUP_PATH  # noqa: E402
from fault_server import error_page  # noqa: E402
from test_installer_e2e import ARGS, InstallerTestCase, run_test_groups, standard_replies  # noqa: E402
from wine_session import EmulatorUnavailable, Wine  # noqa: E402

SKIPPED = 77
# Seconds, times the Wine's patience: four minutes emulated, 12 s natively.
RUN_TIMEOUT = 12
WINE_CRASH = re.compile(rb"wine: Unhandled .*? at address (?:0x)?([0-9A-Fa-f]+)")


def image_range(program: str):
    """The addresses a PE file asks to be loaded at: (ImageBase, ImageBase + SizeOfImage)."""
    with open(program, "rb") as f:
        data = f.read(4096)
    optional = struct.unpack_from("<I", data, 0x3C)[0] + 24
    base = struct.unpack_from("<I", data, optional + 28)[0]
    return base, base + struct.unpack_from("<I", data, optional + 56)[0]


def crash_outside(run: Run, program: str) -> str:
    """Wine's report of an unhandled exception at an address outside program's image, or ""."""
    found = WINE_CRASH.search(run.stderr)
    if not found:
        return ""
    start, end = image_range(program)
    return "" if start <= int(found.group(1), 16) < end else found.group(0).decode(errors="replace")


class ShippedFileTestCase(InstallerTestCase):
    def run_installer(self, replies, installer: str) -> Run:
        return self.runner.run(replies, installer=installer, timeout=RUN_TIMEOUT)

    def assert_happy_path(self, installer: str):
        """Six requests for the installer's own host, files byte for byte, setup.exe started, exit 0."""
        replies = standard_replies()
        run = self.run_installer(replies, installer)
        self.assert_succeeded(run)
        self.assert_downloaded(run, replies)
        self.assertEqual({r.headers.get("Host") for r in run.requests}, {installer_host(installer)})


class SignedReleaseTest(ShippedFileTestCase):
    def test_signed_release_happy_path(self):
        self.assert_happy_path(ARGS.signed)


class EmulatedSmokeTest(ShippedFileTestCase):
    @classmethod
    def wine(cls) -> Wine:
        return Wine.wow64_emulated()

    @classmethod
    def setUpClass(cls):
        cls.enterClassContext(cls.wine().emulator())
        # A fresh prefix, made by the stage and removed again.
        shutil.rmtree(ARGS.prefix, ignore_errors=True)
        cls.addClassCleanup(shutil.rmtree, ARGS.prefix, True)
        super().setUpClass()

    def run_installer(self, replies, installer: str) -> Run:
        run = super().run_installer(replies, installer)
        crash = crash_outside(run, installer)
        if crash:
            print(f"emulated Wine crashed outside the installer ({crash}); running it once more", flush=True)
            run = super().run_installer(replies, installer)
        return run

    def test_happy_path(self):
        self.assert_happy_path(ARGS.installer)

    def test_error_status(self):
        run = self.run_installer(standard_replies(**{SETUP_PATH: error_page(404)}), ARGS.installer)
        self.assert_failed(run)
        self.assertEqual(run.paths, [SETUP_PATH])

    def test_signed_release_happy_path(self):
        self.assert_happy_path(ARGS.signed)


def emulation_unavailable() -> str:
    """Why the emulated run cannot happen here, or ""."""
    try:
        with Wine.wow64_emulated().emulator():
            return ""
    except (RuntimeError, EmulatorUnavailable) as reason:
        return str(reason)


def main():
    if "EmulatedSmokeTest" in sys.argv:
        reason = emulation_unavailable()
        if reason:
            print(f"skipping the emulated smoke run of the shipped 32-bit file: {reason}")
            sys.exit(SKIPPED)
    run_test_groups(("installer", "signed", "setup_fixture", "ui_reader"), required=("prefix", "artifacts"))


if __name__ == "__main__":
    main()
