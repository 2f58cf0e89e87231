"""End-to-end tests: KorvaneInstaller.exe under Wine against a local HTTP server.

    python3 test_installer_e2e.py --installer EXE --setup-fixture EXE --ui-reader EXE
                                  --prefix DIR --wine-arch win32|win64 --artifacts DIR
                                  [unittest arguments]
    python3 test_installer_e2e.py --wine-arch win32|win64 --create-prefix DIR
    python3 test_installer_e2e.py --remove-prefix DIR

Each test group opens its own stage (Xvfb display, wineserver, server) on a
prefix made once per ctest run. The installer's windows are read from
another process by the UI reader (ui_reader.c); the program it starts is
setup_fixture.c.
"""

import argparse
import os
import random
import shutil
import subprocess
import sys
import unittest
from typing import Sequence

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from e2e_harness import CWD, DEFAULT_TEMP, InstallerRunner, Run, enter_private_network, installer_host, stage, text  # noqa: E402,E501
from expected import (BAR_RANGE, CONTENT, CONTENTS_FOLDER, DIALOG_EXSTYLE, DIALOG_STYLE, DIALOG_TEXT,  # noqa: E402
                      DS_3DLOOK, ERROR_TEXT, ICON_STYLE, IDC_APP_ICON, IDC_PROGRESS, IDOK, SETUP_NAME, SETUP_PATH,
                      TEXT_STYLE, TITLE, WORKING_FOLDER, WS_CHILD, WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT, WS_VISIBLE)
from fault_server import FaultServer, Reply, error_page  # noqa: E402
from nginx_server import NginxServer, check_server, write_release  # noqa: E402
from wine_session import Wine, create_prefix  # noqa: E402

ARGS = argparse.Namespace()
BAR_MAX = BAR_RANGE[1]
ERROR_BYTES = ERROR_TEXT.encode("cp932")
# Every download in the order the installer makes them: (URL path, parts of the local path).
DOWNLOADS = [(SETUP_PATH, (SETUP_NAME,))] + [(path, (CONTENTS_FOLDER, name)) for path, name in CONTENT]


def body(seed: int, size: int) -> bytes:
    return random.Random(seed).randbytes(size)


def setup_bytes(size: int = 0) -> bytes:
    """The setup fixture, padded with trailing bytes (ignored by the loader) to size."""
    with open(ARGS.setup_fixture, "rb") as f:
        data = f.read()
    assert len(data) <= size or size == 0, "the setup fixture grew past the padded size"
    return data + body(99, max(0, size - len(data)))


# Content bodies: a multiple of the 1024-byte read, odd sizes, an empty body and one
# above 102400 bytes, whose full chunks each move the bar by 0.
CONTENT_SIZES = [3072, 20000, 1, 0, 150000]


def standard_replies(**overrides: Reply):
    replies = {SETUP_PATH: Reply(setup_bytes())}
    for index, (path, _) in enumerate(CONTENT):
        replies[path] = Reply(body(index, CONTENT_SIZES[index]))
    replies.update(overrides)
    return replies


def windows_setup_path(temp: str) -> str:
    return temp + WORKING_FOLDER + "\\" + SETUP_NAME


def positions(run: Run):
    """Bar positions in the order each poll thread saw them, one list per thread."""
    threads = {}
    for event in run.of("pos"):
        threads.setdefault(event["thread"], []).append(event["v"])
    return list(threads.values())


class InstallerTestCase(unittest.TestCase):
    """One stage (display, wineserver, server) per test class."""

    maxDiff = None

    @classmethod
    def wine(cls) -> Wine:
        return Wine.for_arch(ARGS.wine_arch)

    @classmethod
    def make_server(cls):
        return FaultServer()

    @classmethod
    def setUpClass(cls):
        # Ended also when a subclass's setUpClass fails after this point.
        cls.stage = cls.enterClassContext(stage(ARGS.prefix, cls.wine(), make_server=cls.make_server))
        cls.session = cls.stage.session
        cls.runner = InstallerRunner(cls.stage, ARGS.installer, ARGS.ui_reader,
                                     os.path.join(ARGS.artifacts, cls.__name__))

    def assert_exit(self, run: Run, code: int):
        self.assertFalse(run.timed_out, "the installer hung\n" + run.describe())
        self.assertEqual(run.exit_code, code, run.describe())

    def assert_succeeded(self, run: Run, temp: str = DEFAULT_TEMP):
        """Exit 0, no box, and the downloaded setup.exe started once, quoted, and waited for."""
        self.assert_exit(run, 0)
        self.assertEqual(run.of("box"), [], run.describe())
        self.assertEqual(len(run.setup_runs), 1, run.describe())
        setup = run.setup_runs[0]
        self.assertEqual(setup.module.lower(), windows_setup_path(temp).lower())
        self.assertEqual(setup.cmdline, '"' + windows_setup_path(temp) + '"')
        self.assertEqual(setup.cwd.lower(), CWD.lower(), "the setup program gets the installer's directory")
        self.assertTrue(setup.finished, "the installer returned before its setup program ended")

    def assert_failed(self, run: Run, window_expected: bool = True):
        """Exit 1 after exactly one error box, shown over the progress window; setup not started."""
        self.assert_exit(run, 1)
        boxes = run.of("box")
        self.assertEqual(len(boxes), 1, run.describe())
        box = boxes[0]
        self.assertEqual(text(box, "caption"), TITLE.encode())
        self.assertEqual(box["icon"], 0, "MB_OK alone: no icon")
        statics = [c for c in run.of("box_control") if text(c, "class").lower() == b"static" and c["text"]]
        self.assertEqual([text(c) for c in statics], [ERROR_BYTES], run.describe())
        buttons = [c["id"] for c in run.of("box_control") if text(c, "class").lower() == b"button" and c["visible"]]
        self.assertEqual(buttons, [IDOK], "MB_OK: one OK button")
        if window_expected:
            dismiss = run.of("box_dismiss")[0]
            self.assertTrue(box["progress_visible"], "the box must come up over the progress window")
            self.assertTrue(dismiss["progress_visible"], "the window must stay until the box is dismissed")
            self.assertEqual(len(run.of("progress_gone")), 1, run.describe())
            self.assertGreater(run.of("progress_gone")[0]["t"], dismiss["t"])
        self.assertEqual(run.setup_runs, [], "a failed download must not start the setup program")

    def assert_downloaded(self, run: Run, replies: dict, complete: int = len(DOWNLOADS)):
        """The first `complete` downloads (setup.exe first) stored byte for byte; when that is all of
        them, also requested exactly once each, in order."""
        if complete == len(DOWNLOADS):
            self.assertEqual(run.paths, [path for path, _ in DOWNLOADS], run.describe())
        for path, local in DOWNLOADS[:complete]:
            self.assertEqual(run.file(*local), replies[path].body, "\\".join(local))

    def assert_bar_ends_full(self, run: Run):
        """Some poll thread saw the bar full at the last pump before the window closed."""
        self.assertIn(BAR_MAX, [values[-1] for values in positions(run)], run.describe())


class HappyPathTest(InstallerTestCase):
    """One successful run against a well-behaved server, examined from several sides."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.replies = standard_replies()
        cls.run_ = cls.runner.run(cls.replies)

    def test_requests(self):
        run = self.run_
        self.assert_downloaded(run, self.replies)
        for request in run.requests:
            self.assertEqual((request.method, request.version, request.user_agent),
                             ("GET", "HTTP/1.1", "KORVANE"), request)
            self.assertEqual(request.headers.get("Host"), "127.0.0.1")

    def test_content_files_lie_flat(self):
        run = self.run_
        self.assertEqual(sorted(os.listdir(os.path.join(run.work_dir, CONTENTS_FOLDER))),
                         sorted(name for _, name in CONTENT))
        self.assertEqual(run.file(CONTENTS_FOLDER, "pebble.krv"), b"", "an empty body gives an empty file")

    def test_setup_started_after_window_closed_and_exit_code_not_passed_on(self):
        run = self.run_
        self.assert_succeeded(run)  # exit 0 although the setup program exits with 7
        gone = run.of("progress_gone")
        self.assertEqual(len(gone), 1, run.describe())
        # Same clock (GetTickCount) in both processes; the reader notices within a few ms.
        self.assertLessEqual(gone[0]["tick"], run.setup_runs[0].tick,
                             "the progress window must be closed before the setup program starts")

    def test_progress_window(self):
        run = self.run_
        self.assertEqual(len(run.of("progress_found")), 1, run.describe())
        dialog = run.of("dialog")[0]
        self.assertEqual(text(dialog), b"", "no caption")
        # Added by the system to the template's styles: WS_VISIBLE (shown), WS_CLIPSIBLINGS
        # (every top-level window), DS_3DLOOK and WS_EX_CONTROLPARENT (the dialog manager,
        # Wine as Windows for programs marked 4.0 and later).
        self.assertEqual(hex(dialog["style"]), hex(DIALOG_STYLE | WS_VISIBLE | WS_CLIPSIBLINGS | DS_3DLOOK))
        self.assertEqual(hex(dialog["exstyle"]), hex(DIALOG_EXSTYLE | WS_EX_CONTROLPARENT))
        left, top, right, bottom = dialog["rect"]
        work = dialog["work"]
        self.assertLessEqual(abs((left + right) - (work[0] + work[2])), 2, "DS_CENTER: centred horizontally")
        self.assertLessEqual(abs((top + bottom) - (work[1] + work[3])), 2, "DS_CENTER: centred vertically")

        controls = [(c["id"] if c["id"] != 0xFFFF else -1, text(c, "class").lower(), hex(c["style"]))
                    for c in run.of("control")]
        # The dialog manager turns a control's WS_BORDER into WS_EX_CLIENTEDGE, which the
        # progress bar then drops (Wine's user32 and comctl32): the bar's WS_BORDER cannot
        # be seen at run time; the audit of the executable (tests/audit) checks the template.
        self.assertEqual(controls, [
            (IDC_APP_ICON, b"static", hex(ICON_STYLE)),
            (-1, b"static", hex(TEXT_STYLE)),
            (IDC_PROGRESS, b"msctls_progress32", hex(WS_CHILD | WS_VISIBLE)),
        ])
        self.assertEqual(text(run.of("control")[1]), DIALOG_TEXT.encode("cp932"))
        self.assertEqual(run.of("icon")[0], {**run.of("icon")[0], "answered": 1, "loaded": 1}, "icon 107 shown")

    def test_bar(self):
        run = self.run_
        low, high = BAR_RANGE
        self.assertEqual(run.of("range")[0], {**run.of("range")[0], "answered": 1, "low": low, "high": high})
        seen = positions(run)
        self.assertTrue(seen, run.describe())
        for values in seen:
            self.assertEqual(values, sorted(values), "the bar never moves back")
        self.assert_bar_ends_full(run)
        self.assertTrue(any(0 < v < BAR_MAX for values in seen for v in values), "the bar moves during downloads")


class ServerVariantsTest(InstallerTestCase):
    """Successful runs whose server or folders differ from the plain case."""

    def test_bodies_without_content_length(self):
        # setup.exe and teaser.krv end when the connection closes (HTTP/1.0 style);
        # wave_short02.krv comes in chunked encoding. Neither announces a length.
        replies = standard_replies(**{
            SETUP_PATH: Reply(setup_bytes(), framing="close"),
            CONTENT[1][0]: Reply(body(1, 20000), framing="chunked"),
            CONTENT[4][0]: Reply(body(4, 150000), framing="close"),
        })
        run = self.runner.run(replies)
        self.assert_succeeded(run)
        self.assert_downloaded(run, replies)
        # Only the files with a length move the bar: wave_short01.krv (3 chunks of
        # 1024 x 100 / 3072 = 33) and the 1-byte file (100); the rest is the final fill.
        for values in positions(run):
            self.assertEqual(sorted(set(values) - {0, 33, 66, 99, 199, BAR_MAX}), [], values)
        self.assert_bar_ends_full(run)

    def test_no_content_status_stores_an_empty_file(self):
        # 204 is a success (2xx) without a body: the file is stored empty and the run goes on.
        replies = standard_replies(**{CONTENT[1][0]: Reply(b"", status=204)})
        run = self.runner.run(replies)
        self.assert_succeeded(run)
        self.assert_downloaded(run, replies)
        self.assertEqual(run.file(CONTENTS_FOLDER, CONTENT[1][1]), b"")

    def test_setup_program_that_cannot_be_started(self):
        # A whole download that is no program: not started, not reported, exit 0.
        replies = standard_replies(**{SETUP_PATH: Reply(b"not a program\r\n")})
        run = self.runner.run(replies)
        self.assert_exit(run, 0)
        self.assertEqual(run.of("box"), [], run.describe())
        self.assertEqual(run.setup_runs, [])
        self.assert_downloaded(run, replies)

    def test_leftover_working_folder_is_reused_and_overwritten(self):
        def plant(temp_dir):
            work = os.path.join(temp_dir, WORKING_FOLDER)
            os.makedirs(os.path.join(work, CONTENTS_FOLDER))
            # Longer than the new files: a file only partly overwritten would show.
            with open(os.path.join(work, SETUP_NAME), "wb") as f:
                f.write(b"old" * 200000)
            with open(os.path.join(work, CONTENTS_FOLDER, CONTENT[0][1]), "wb") as f:
                f.write(b"old" * 100000)
            with open(os.path.join(work, "notes.txt"), "wb") as f:
                f.write(b"left from an earlier run")

        replies = standard_replies()
        run = self.runner.run(replies, prepare=plant)
        self.assert_succeeded(run)
        self.assert_downloaded(run, replies)
        self.assertEqual(run.file("notes.txt"), b"left from an earlier run",
                         "a folder that still holds files is kept, not emptied")


class FetchFailureTest(InstallerTestCase):
    """Each kind of failed download: one box, exit 1, no setup program, no further requests."""

    def test_server_unreachable(self):
        run = self.runner.run(server=False)
        self.assert_failed(run)
        self.assertEqual(os.listdir(run.work_dir), [], "nothing stored; no contents folder")

    def test_statuses_outside_2xx_on_setup(self):
        # 302 without a Location header cannot be followed: WinINet hands it over as it is.
        for status in (302, 404, 500):
            with self.subTest(status=status):
                run = self.runner.run(standard_replies(**{SETUP_PATH: error_page(status)}))
                self.assert_failed(run)
                self.assertEqual(run.paths, [SETUP_PATH])
                self.assertEqual(os.listdir(run.work_dir), [], "an error page is not stored as setup.exe")

    def test_setup_body_shorter_than_announced(self):
        # Content-Length of the whole file, 4096 bytes, then a clean close.
        replies = standard_replies(**{SETUP_PATH: Reply(setup_bytes(), cut_after=4096)})
        run = self.runner.run(replies)
        self.assert_failed(run)
        self.assertEqual(run.paths, [SETUP_PATH])
        self.assertEqual(run.file(SETUP_NAME), replies[SETUP_PATH].body[:4096], "the partial file is kept")
        self.assertFalse(os.path.exists(os.path.join(run.work_dir, CONTENTS_FOLDER)))

    def test_fourth_content_file_fails(self):
        cases = {
            "status 500": (error_page(500), None),
            "connection reset after 3072 bytes": (Reply(body(3, 20000), reset_after=3072), 3072),
        }
        for label, (reply, kept) in cases.items():
            with self.subTest(label):
                replies = standard_replies(**{CONTENT[3][0]: reply})
                run = self.runner.run(replies)
                self.assert_failed(run)
                self.assertEqual(run.paths, [path for path, _ in DOWNLOADS[:5]], "the fifth file is never requested")
                self.assert_downloaded(run, replies, complete=4)
                fourth = run.file(CONTENTS_FOLDER, CONTENT[3][1])
                if kept is None:
                    self.assertIsNone(fourth, "a failed status creates no file")
                else:
                    self.assertEqual(fourth, reply.body[:kept], "the file holds what had arrived")
                self.assertIsNone(run.file(CONTENTS_FOLDER, CONTENT[4][1]))

    def test_local_file_that_cannot_be_created(self):
        def folder_at_setup(temp_dir):
            os.makedirs(os.path.join(temp_dir, WORKING_FOLDER, SETUP_NAME))

        def file_at_working_folder(temp_dir):
            with open(os.path.join(temp_dir, WORKING_FOLDER), "wb") as f:
                f.write(b"not a folder")

        for label, prepare in (("a folder where setup.exe goes", folder_at_setup),
                               ("a file where the working folder goes", file_at_working_folder)):
            with self.subTest(label):
                run = self.runner.run(standard_replies(), prepare=prepare)
                self.assert_failed(run)
                self.assertEqual(run.paths, [SETUP_PATH], "nothing is requested after the failed file")

    def test_quit_message_while_the_error_box_is_up(self):
        # The reader posts WM_QUIT to the installer's thread as soon as the box is up. The
        # box's own loop takes it and closes the box (under Wine at once); the run must still
        # end as a failed download, not crash, and show no second box.
        run = self.runner.run(standard_replies(**{SETUP_PATH: error_page(404)}), reader_args=["--quit-at-box"])
        self.assertTrue(run.of("box_quit")[0]["posted"], run.describe())
        self.assert_exit(run, 1)
        self.assertEqual(len(run.of("box")), 1, run.describe())
        self.assertEqual(run.setup_runs, [])


class DiskFullTest(InstallerTestCase):
    """A temporary folder on a file system too small for the downloads.

    A tmpfs of SMALL_SIZE bytes is mounted in the prefix, in this process's
    own mount namespace, so it goes away with the process on every path;
    before the Wine session starts, so that the wineserver, which creates
    the files, sees it too. Each case fills it with ballast up to the room
    it wants to leave.
    """

    SMALL = r"C:\korvane-e2e\small"
    TEMP = SMALL + "\\temp\\"
    SMALL_SIZE = 1024 * 1024

    @classmethod
    def setUpClass(cls):
        if os.environ.get("KORVANE_E2E_NETNS") != "1":
            raise unittest.SkipTest("no private mount namespace here, so no small file system can be mounted")
        folder = os.path.join(ARGS.prefix, "drive_c", "korvane-e2e", "small")
        os.makedirs(folder, exist_ok=True)
        subprocess.run(["mount", "-t", "tmpfs", "-o", f"size={cls.SMALL_SIZE}", "korvane-small", folder],
                       check=True)
        cls.addClassCleanup(subprocess.run, ["umount", folder])
        super().setUpClass()

    def run_with_room(self, room: int, replies):
        def fill(temp_dir):
            with open(os.path.join(os.path.dirname(temp_dir.rstrip("/")), "ballast"), "wb") as f:
                f.write(bytes(self.SMALL_SIZE - room))
        return self.runner.run(replies, temp=self.TEMP, prepare=fill)

    def test_setup_program_that_does_not_fit(self):
        replies = standard_replies(**{SETUP_PATH: Reply(setup_bytes(300000))})
        run = self.run_with_room(160 * 1024, replies)
        self.assert_failed(run)
        self.assertEqual(run.paths, [SETUP_PATH], "nothing is requested after the failed file")
        stored = run.file(SETUP_NAME)
        self.assertIsNotNone(stored, "the partial file stays")
        self.assertLess(len(stored), 300000)
        self.assertEqual(stored, replies[SETUP_PATH].body[:len(stored)])

    def test_content_file_that_does_not_fit(self):
        # setup.exe and the first two content files fit; the third does not.
        replies = standard_replies(**{SETUP_PATH: Reply(setup_bytes(150000)),
                                      CONTENT[2][0]: Reply(body(2, 200000))})
        run = self.run_with_room(320 * 1024, replies)
        self.assert_failed(run)
        self.assertEqual(run.paths, [path for path, _ in DOWNLOADS[:4]],
                         "the files after the failed one are never requested")
        self.assert_downloaded(run, replies, complete=3)
        self.assertLess(len(run.file(CONTENTS_FOLDER, CONTENT[2][1]) or b""), 200000)


class TempPathTest(InstallerTestCase):
    """Where the temporary folder is: spaces, Japanese names, and the length limits of the
    composed paths, which count bytes of code page 932, not characters.

    Not tested: a temporary folder of 214 to 234 bytes, where content file paths
    pass 259 bytes. Windows refuses to create such a file through the narrow
    (A) functions, which fails that download; Wine's C runtime creates it, so under
    Wine the run succeeds and the check could not pass.
    """

    @staticmethod
    def temp_of_length(length: int, letter: str = "d") -> str:
        """A folder path ending in a backslash, length bytes long in code page 932: folders
        of `letter` (one byte, or two for a Japanese letter) under C:\\korvane-e2e\\long\\."""
        path = "C:\\korvane-e2e\\long\\"
        width = len(letter.encode("cp932"))
        room = length - len(path.encode("cp932"))  # bytes still to add, backslashes included
        while room > 0:
            take = min(60 * width, room - 1)  # bytes of this folder's name
            if room - take - 1 == 1:  # a single byte left could not make a folder
                take -= width
            letters, odd = divmod(take, width)
            path += letter * letters + "x" * odd + "\\"
            room -= take + 1
        return path

    def test_spaces_in_temp_path_start_only_the_real_setup(self):
        temp = "C:\\Documents and Settings\\u\\Local Settings\\Temp\\"
        # Started unquoted, this path would run C:\Documents.exe instead.
        decoy = self.session.unix_path("C:\\Documents.exe")
        shutil.copy(ARGS.setup_fixture, decoy)
        try:
            replies = standard_replies()
            run = self.runner.run(replies, temp=temp)
        finally:
            os.remove(decoy)
        self.assert_succeeded(run, temp)
        self.assert_downloaded(run, replies)

    def test_longest_temp_path_that_fits_every_file(self):
        # 213 + "korvane\builtin-contents\paperlanternwalks.krv" = 259 bytes. In Japanese
        # ("ソ" ends in the byte of a backslash, 0x5C) the folder is 118 characters.
        for letter in ("d", "ソ"):
            with self.subTest(letter=letter):
                temp = self.temp_of_length(213, letter)
                replies = standard_replies()
                run = self.runner.run(replies, temp=temp)
                self.assert_succeeded(run, temp)
                self.assert_downloaded(run, replies)

    def test_temp_path_too_long_for_contents_folder(self):
        # 235 bytes: the contents folder would take 260. In Japanese the folder is 129
        # characters, short enough by any count of characters.
        for letter in ("d", "日"):
            with self.subTest(letter=letter):
                run = self.runner.run(standard_replies(), temp=self.temp_of_length(235, letter))
                self.assert_failed(run, window_expected=False)
                self.assertEqual(run.of("progress_found"), [], "no window before the path check")
                self.assertEqual(run.requests, [], "no request before the path check")


class ProgressWindowTest(InstallerTestCase):
    """A slow download: every step of the bar, and attempts to close the window."""

    def test_window_cannot_be_closed_and_bar_steps_follow_the_weights(self):
        # setup.exe padded to k KiB, k a divisor of 9900: each 1024-byte chunk advances the
        # bar by 9900 / k exactly. Each 10 KiB content file advances it by 10 per chunk.
        # Served 1 KiB every 4 ms, the window stays up for a second or more.
        # This relies on InternetReadFile returning whole 1024-byte chunks when the body
        # arrives 1 KiB at a time, as Wine's does.
        k = min(d for d in range(1, 9901) if 9900 % d == 0 and d * 1024 >= len(setup_bytes()))
        setup_step, content_size, pace = 9900 // k, 10 * 1024, (1024, 0.004)
        replies = {SETUP_PATH: Reply(setup_bytes(k * 1024), pace=pace)}
        for index, (path, _) in enumerate(CONTENT):
            replies[path] = Reply(body(index, content_size), pace=pace)
        # The screenshot is an artifact for people to look at.
        run = self.runner.run(replies, reader_args=["--interrupt"], screenshot="progress.png")
        self.assert_succeeded(run)
        self.assert_downloaded(run, replies)

        # Esc (posted, and typed when the window has the focus), WM_CLOSE, WM_QUIT.
        interrupt = run.of("interrupt")
        self.assertEqual(len(interrupt), 1, run.describe())
        self.assertTrue(interrupt[0]["quit_posted"], run.describe())
        self.assertEqual(len(run.of("progress_found")), 1, "the window must not close early")
        after = [e["v"] for e in run.of("pos") if e["t"] > interrupt[0]["t"]]
        self.assertTrue(after, "the window went away after the attempts\n" + run.describe())
        self.assertLess(min(after), 9900, "the attempts come while setup.exe is still arriving")
        self.assertEqual(max(after), BAR_MAX, "the download goes on")

        setup_steps = list(range(0, 9900 + 1, setup_step))
        content_steps = list(range(9910, BAR_MAX + 1, 10))  # 500 more units; the bar stops at 10000
        for values in positions(run):
            self.assertEqual(values, sorted(values))
            self.assertEqual(sorted(set(values) - set(setup_steps + content_steps)), [],
                             "every position is a sum of whole per-chunk steps")
        self.assert_bar_ends_full(run)
        seen = set(v for values in positions(run) for v in values)
        self.assertGreater(len(seen & set(setup_steps)), len(setup_steps) // 2,
                           "the window is pumped after every chunk\n" + run.describe())


class DownloadServerTest(InstallerTestCase):
    """nginx with the shipped server block, serving a release that publish.sh laid out."""

    @classmethod
    def make_server(cls):
        return NginxServer(os.path.join(ARGS.artifacts, cls.__name__, "nginx"))

    def test_published_release_passes_the_check_and_installs(self):
        replies = standard_replies()
        release = os.path.join(ARGS.artifacts, self.__class__.__name__, "release")
        shutil.rmtree(release, ignore_errors=True)
        write_release(replies, release)
        self.stage.server.publish(release)
        check = check_server(ARGS.installer, release)
        self.assertEqual(check.returncode, 0, check.stdout + check.stderr)
        run = self.runner.run(replies)
        self.assert_succeeded(run)
        self.assert_downloaded(run, replies)


def run_test_groups(existing: Sequence[str], required: Sequence[str] = ("artifacts",)):
    """Reads --wine-arch and the named options (existing: files that must be there) from the
    command line, then runs the test classes named after them in a private network where
    this process alone answers on port 80."""
    parser = argparse.ArgumentParser(add_help=False)
    for name in tuple(existing) + tuple(required):
        parser.add_argument("--" + name.replace("_", "-"), required=True)
    parser.add_argument("--wine-arch", choices=("win32", "win64"), required=True)
    args, rest = parser.parse_known_args()
    for name in existing:
        if not os.path.exists(getattr(args, name)):
            parser.error(f"{getattr(args, name)} does not exist")
    # An installer built for another host (the shipped one) asks the local server all the same.
    hosts = {installer_host(getattr(args, name)) for name in ("installer", "signed") if getattr(args, name, None)}
    enter_private_network(host_names=sorted(hosts - {"127.0.0.1"}))
    vars(ARGS).update(vars(args))
    unittest.main(argv=[sys.argv[0], "-v"] + rest)


def main():
    parser = argparse.ArgumentParser(add_help=False)
    parser.add_argument("--wine-arch", choices=("win32", "win64"), default="win32")
    prefix_commands = parser.add_mutually_exclusive_group()
    prefix_commands.add_argument("--create-prefix")
    prefix_commands.add_argument("--remove-prefix")
    args, _ = parser.parse_known_args()
    if args.create_prefix:
        create_prefix(args.create_prefix, Wine.for_arch(args.wine_arch))
    elif args.remove_prefix:
        shutil.rmtree(args.remove_prefix, ignore_errors=True)
    else:
        run_test_groups(("installer", "setup_fixture", "ui_reader", "prefix"))


if __name__ == "__main__":
    main()
