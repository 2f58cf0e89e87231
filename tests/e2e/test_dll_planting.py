"""End-to-end tests: KorvaneInstaller.exe with planted copies of wininet.dll and comctl32.dll,
and without either library.

    python3 test_dll_planting.py --installer EXE --setup-fixture EXE --ui-reader EXE
                                 --planted DIR --wininet-probe EXE --comctl32-probe EXE
                                 --prefix DIR --wine-arch win32|win64 --artifacts DIR
                                 [unittest arguments]

The planted DLLs (planted_dll.c) append "<DLL path>|<program path>" to
C:\\korvane-planted.log whenever a process loads them. Each planting case
first runs the probes (static_wininet_probe.c, static_comctl32_probe.c),
which import the libraries statically, under the same folders and
overrides: they must load the planted copies, or the case would prove
nothing. Then the installer runs there and must load neither, and still
download everything with its progress window up.

Wine differs from Windows in one respect: by default it prefers its own
builtin wininet and comctl32 to a DLL of that name found beside a program,
so even a static import is safe under Wine. WINEDLLOVERRIDES
"wininet,comctl32=n,b" makes it prefer native DLLs found on the search path,
as Windows does.
"""

import os
import shutil
import sys
from typing import List, Tuple

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from e2e_harness import CWD, Run  # noqa: E402
from test_installer_e2e import ARGS, InstallerTestCase, run_test_groups, standard_replies  # noqa: E402
from wine_session import with_dll_overrides  # noqa: E402

PLANTED_LOG = r"C:\korvane-planted.log"
DOWNLOADS = r"C:\Downloads"
# No planted copy here: the program's own folder when only the current folder holds them.
CLEAN = r"C:\korvane-e2e\clean"
LIBRARIES = ("wininet.dll", "comctl32.dll")
PREFER_NATIVE = "wininet,comctl32=n,b"
INSTALLER = "KorvaneInstaller.exe"
SESSION_MANAGER = r"HKLM\System\CurrentControlSet\Control\Session Manager"


class PlantingTestCase(InstallerTestCase):
    """Helpers for runs with planted DLLs and runs without a system library."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.probes = {"wininet.dll": ARGS.wininet_probe, "comctl32.dll": ARGS.comctl32_probe}
        for folder in (DOWNLOADS, CLEAN):
            os.makedirs(cls.session.unix_path(folder), exist_ok=True)
            for program in [ARGS.installer] + list(cls.probes.values()):
                shutil.copy(program, cls.session.unix_path(folder))
        # Wine's background programs (services, explorer) take the environment of the
        # program that starts them first in a session: that must not be one with
        # overrides. A probe away from any planted copy starts them, and shows what a
        # probe that gets the real library returns.
        for library, probe in cls.probes.items():
            code, loads = cls.run_probe(CLEAN, probe, CLEAN, overrides="")
            if (code, loads) != (0, []):
                raise AssertionError(f"{library} probe without planted copies: exit {code}, loads {loads}")

    @classmethod
    def plant(cls, folder: str):
        for library in LIBRARIES:
            shutil.copy(os.path.join(ARGS.planted, library), cls.session.unix_path(folder))

    @classmethod
    def unplant(cls, folder: str):
        for library in LIBRARIES:
            path = os.path.join(cls.session.unix_path(folder), library)
            if os.path.exists(path):
                os.remove(path)

    @classmethod
    def clear_log(cls):
        path = cls.session.unix_path(PLANTED_LOG)
        if os.path.exists(path):
            os.remove(path)

    @classmethod
    def planted_loads(cls) -> List[Tuple[str, str]]:
        """(DLL path, program path) of each load of a planted DLL since clear_log, in lower case."""
        path = cls.session.unix_path(PLANTED_LOG)
        if not os.path.exists(path):
            return []
        with open(path, "rb") as f:
            lines = f.read().decode("cp932").lower().splitlines()
        return [tuple(line.split("|", 1)) for line in lines if line]

    @classmethod
    def run_probe(cls, folder: str, probe: str, cwd: str, overrides: str = PREFER_NATIVE):
        """Runs the copy of probe in folder from cwd: (exit code, planted loads)."""
        cls.clear_log()
        program = folder + "\\" + os.path.basename(probe)
        result = cls.session.run([program], timeout=30, cwd=cls.session.unix_path(cwd),
                                 env=with_dll_overrides(cls.session.env, overrides))
        return result.returncode, cls.planted_loads()

    def assert_probes_load_planted(self, folder: str, planted_in: str):
        """The control: a static import takes the copy planted in planted_in."""
        for library, probe in self.probes.items():
            with self.subTest(probe=os.path.basename(probe)):
                code, loads = self.run_probe(folder, probe, CWD)
                program = (folder + "\\" + os.path.basename(probe)).lower()
                self.assertEqual(loads, [((planted_in + "\\" + library).lower(), program)])
                self.assertEqual(code, 1, "the probe must have called the planted copy's export")

    def run_installer(self, folder: str, overrides: str) -> Tuple[Run, dict]:
        self.clear_log()
        replies = standard_replies()
        run = self.runner.run(replies, installer=folder + "\\" + INSTALLER, dll_overrides=overrides)
        return run, replies

    def assert_progress_window(self, run: Run):
        """The reader found the dialog with its msctls_progress32 bar: comctl32 registered the class."""
        self.assertEqual(len(run.of("progress_found")), 1, run.describe())
        self.assertEqual(run.of("range")[0]["answered"], 1, "the bar answers its messages")


class DllPlantingTest(PlantingTestCase):
    """Copies planted beside the installer (a Downloads folder) and in its current folder."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.addClassCleanup(cls.unplant, DOWNLOADS)
        cls.addClassCleanup(cls.unplant, CWD)
        cls.plant(DOWNLOADS)
        cls.plant(CWD)

    def assert_installer_ignores_planted(self, folder: str):
        run, replies = self.run_installer(folder, PREFER_NATIVE)
        self.assertEqual(self.planted_loads(), [], "a planted DLL was loaded\n" + run.describe())
        self.assert_succeeded(run)
        self.assert_downloaded(run, replies)
        self.assert_progress_window(run)

    def test_copies_beside_the_program_and_in_the_current_folder(self):
        self.assert_probes_load_planted(DOWNLOADS, planted_in=DOWNLOADS)
        self.assert_installer_ignores_planted(DOWNLOADS)

    def test_copies_in_the_current_folder_searched_before_the_system_folder(self):
        # With SafeDllSearchMode 0 (Windows honours it too) the current folder comes
        # before the system folder in the search for a DLL named without a path.
        self.session.run(["reg", "add", SESSION_MANAGER, "/v", "SafeDllSearchMode", "/t", "REG_DWORD",
                          "/d", "0", "/f"], timeout=60, check=True)
        try:
            self.assert_probes_load_planted(CLEAN, planted_in=CWD)
            self.assert_installer_ignores_planted(CLEAN)
        finally:
            self.session.run(["reg", "delete", SESSION_MANAGER, "/v", "SafeDllSearchMode", "/f"], timeout=60,
                             check=True)


class MissingLibraryTest(PlantingTestCase):
    """A system library that cannot be loaded at all.

    WINEDLLOVERRIDES "name=d" makes every load of it fail, by full path too; it
    stands for a Windows system where the library is missing or damaged.
    """

    def test_without_wininet_every_download_fails(self):
        # The server is up: a request would have reached it had wininet loaded.
        run, _ = self.run_installer(CLEAN, "wininet=d")
        self.assert_failed(run)
        self.assertEqual(run.requests, [], run.describe())
        self.assertEqual(os.listdir(run.work_dir), [], "nothing stored")

    def test_without_comctl32_the_run_goes_on_without_a_window(self):
        run, replies = self.run_installer(CLEAN, "comctl32=d")
        self.assert_succeeded(run)
        self.assert_downloaded(run, replies)
        self.assertEqual(run.of("progress_found"), [], run.describe())


def main():
    run_test_groups(("installer", "setup_fixture", "ui_reader", "planted", "wininet_probe", "comctl32_probe",
                     "prefix"))


if __name__ == "__main__":
    main()
