"""Smoke run of the shipped 32-bit KorvaneInstaller.exe under user-mode
emulation, for hosts that cannot execute 32-bit code (there the other
end-to-end tests run the x86-64 build of the same sources):

    python3 test_emulated_smoke.py --installer EXE --setup-fixture EXE --ui-reader EXE
                                   --prefix DIR --artifacts DIR [unittest arguments]

The installer runs as on 64-bit Windows: in a 64-bit prefix, where Wine's
32-bit half runs it under the emulator (qemu-i386-static, through
binfmt_misc, registered for this run only) and everything else, the setup
fixture and the UI reader included (x86-64 builds), runs natively. The
prefix is made fresh (a few minutes: its 32-bit half is set up emulated)
and removed again. The installer asks for its own download host, which a
private /etc/hosts points at the local server. Where no emulator can be
registered or no 32-bit Wine is installed, the run is skipped (exit code
77) with a line that says why.
"""

import argparse
import os
import shutil
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from e2e_harness import SETUP_PATH, installer_host  # noqa: E402
from fault_server import error_page  # noqa: E402
from test_installer_e2e import ARGS, InstallerTestCase, run_test_groups, standard_replies  # noqa: E402
from wine_session import EmulatorUnavailable, Wine, create_prefix  # noqa: E402

SKIPPED = 77


class EmulatedSmokeTest(InstallerTestCase):
    """The shipped bytes: one successful run and one failed download."""

    @classmethod
    def wine(cls) -> Wine:
        return Wine.wow64_emulated()

    @classmethod
    def setUpClass(cls):
        wine = cls.wine()
        cls.enterClassContext(wine.emulator())
        create_prefix(ARGS.prefix, wine)
        cls.addClassCleanup(shutil.rmtree, ARGS.prefix, True)
        super().setUpClass()

    def test_happy_path(self):
        replies = standard_replies()
        run = self.runner.run(replies)
        self.assert_succeeded(run)
        self.assert_downloaded(run, replies)
        self.assertEqual({r.headers.get("Host") for r in run.requests}, {installer_host(ARGS.installer)})

    def test_error_status(self):
        run = self.runner.run(standard_replies(**{SETUP_PATH: error_page(404)}))
        self.assert_failed(run)
        self.assertEqual(run.paths, [SETUP_PATH])


def unavailable() -> str:
    """Why the emulated run cannot happen here, or ""."""
    try:
        with Wine.wow64_emulated().emulator():
            return ""
    except (RuntimeError, EmulatorUnavailable) as reason:
        return str(reason)


def main():
    parser = argparse.ArgumentParser(add_help=False)
    inputs = ("installer", "setup_fixture", "ui_reader")
    for name in inputs + ("prefix", "artifacts"):
        parser.add_argument("--" + name.replace("_", "-"), required=True)
    args, rest = parser.parse_known_args()
    reason = unavailable()
    if reason:
        print(f"skipping the emulated smoke run of the shipped 32-bit file: {reason}")
        sys.exit(SKIPPED)
    run_test_groups(parser, args, rest, required=(), existing=inputs)


if __name__ == "__main__":
    main()
