"""scripts/check-server.sh against a local server that breaks one of its
rules at a time: each variant must fail, naming the URL and the reason,
while the same server without the fault passes.

    python3 test_check_server.py --installer EXE [unittest arguments]
"""

import argparse
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from e2e_harness import enter_private_network  # noqa: E402
from expected import CONTENT, SETUP_PATH  # noqa: E402
from fault_server import FaultServer, Reply  # noqa: E402
from nginx_server import check_server, write_release  # noqa: E402

ARGS = argparse.Namespace()
GOOD = {"Cache-Control": "no-cache", "ETag": '"r1"'}
PEBBLE = CONTENT[3][0]


def replies(**faults: Reply):
    good = {path: Reply(f"{path} of release r1\n".encode() * 50, headers=GOOD)
            for path in [SETUP_PATH] + [path for path, _ in CONTENT]}
    return {**good, **faults}


class CheckServerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = FaultServer().start()
        cls.addClassCleanup(cls.server.stop)

    def check(self, served, release=None):
        self.server.reset(served)
        with tempfile.TemporaryDirectory() as folder:
            if release is not None:
                write_release(release, folder)
            done = check_server(ARGS.installer, folder if release is not None else None)
        return done.returncode, {line.split()[0]: line for line in done.stdout.splitlines() if line.startswith("http://")}

    def test_each_rule_fails_on_its_own(self):
        body = replies()[PEBBLE].body
        variants = {
            "status outside 2xx": (Reply(b"gone", status=410, headers=GOOD), None, "status 410"),
            "no Content-Length": (Reply(body, framing="close", headers=GOOD), None, "no Content-Length"),
            "chunked": (Reply(body, framing="chunked", headers=GOOD), None, "chunked"),
            "compressed": (Reply(body, headers={**GOOD, "Content-Encoding": "gzip"}), None, "compressed (gzip)"),
            "body shorter than announced": (Reply(body, cut_after=100, headers=GOOD), None,
                                            f"100 body bytes, Content-Length says {len(body)}"),
            "cacheable": (Reply(body, headers={"Cache-Control": "max-age=3600", "ETag": '"r1"'}), None,
                          "a cache may hand this out again without asking"),
            "not the release": (Reply(body, headers=GOOD), {PEBBLE: Reply(body + b"!")},
                                "differs from the release's file"),
        }
        code, lines = self.check(replies(), release=replies())
        self.assertEqual(code, 0, lines)
        for label, (reply, release_change, reason) in variants.items():
            with self.subTest(label):
                release = {**replies(), **release_change} if release_change else None
                code, lines = self.check(replies(**{PEBBLE: reply}), release)
                self.assertEqual(code, 1, lines)
                failing = [url for url, line in lines.items() if "FAIL" in line]
                self.assertEqual(failing, [f"http://127.0.0.1{PEBBLE}"], lines)
                self.assertIn(reason, lines[failing[0]])


def main():
    parser = argparse.ArgumentParser(add_help=False)
    parser.add_argument("--installer", required=True)
    args, rest = parser.parse_known_args()
    enter_private_network("check-server test")
    vars(ARGS).update(vars(args))
    unittest.main(argv=[sys.argv[0], "-v"] + rest)


if __name__ == "__main__":
    main()
