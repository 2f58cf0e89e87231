"""The release script, scripts/release.sh, with throw-away keys made here by
openssl: a code-signing certificate in a PKCS#12 file, and a time-stamp
authority that a local RFC 3161 server (openssl ts) answers for.

    python3 test_release.py --shipped EXE --out DIR [unittest arguments]

EXE is the shipped configuration's own build (preset windows, default host):
with the signature removed, the release must give back exactly its bytes.
DIR receives the signed release, which the Wine tests then run.
"""

import argparse
import http.server
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
PROJECT = os.path.abspath(os.path.join(HERE, "..", ".."))
RELEASE = os.path.join(PROJECT, "scripts", "release.sh")
AUDIT = os.path.join(PROJECT, "tests", "audit", "audit_exe.py")
sys.path.insert(0, os.path.join(PROJECT, "tests"))

from expected import SHIPPED_HOST  # noqa: E402

ARGS = argparse.Namespace()
PASSWORD = "throw-away signing key"
OUTPUTS = ["KorvaneInstaller.exe", "KorvaneInstaller.unsigned.exe", "SHA256SUMS"]

TSA_CONFIG = """\
[tsa]
default_tsa = tsa_config
[tsa_config]
dir = {dir}
serial = $dir/serial
signer_cert = $dir/tsa.pem
signer_key = $dir/tsa.key
signer_digest = sha256
default_policy = 1.2.3.4.1
digests = sha256
ess_cert_id_chain = no
"""


def run(args, **options) -> subprocess.CompletedProcess:
    return subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, **options)


def make_keys(folder: str):
    """signing.pfx (password in password.txt), signing.pem, and the TSA's tsa.pem and tsa.key."""
    def openssl(*args):
        run(["openssl"] + list(args), check=True, cwd=folder)
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=KORVANE test signing",
            "-addext", "extendedKeyUsage=codeSigning", "-keyout", "signing.key", "-out", "signing.pem")
    with open(os.path.join(folder, "password.txt"), "w") as f:
        f.write(PASSWORD + "\n")
    openssl("pkcs12", "-export", "-inkey", "signing.key", "-in", "signing.pem", "-out", "signing.pfx",
            "-passout", "file:password.txt")
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=KORVANE test time-stamps",
            "-addext", "extendedKeyUsage=critical,timeStamping", "-keyout", "tsa.key", "-out", "tsa.pem")
    with open(os.path.join(folder, "serial"), "w") as f:
        f.write("01\n")
    with open(os.path.join(folder, "tsa.cnf"), "w") as f:
        f.write(TSA_CONFIG.format(dir=folder))


class TimeStampServer(http.server.ThreadingHTTPServer):
    """Answers RFC 3161 time-stamp queries on a free loopback port with openssl ts."""

    def __init__(self, folder: str):
        self.folder = folder
        self.queries = 0
        super().__init__(("127.0.0.1", 0), TimeStampHandler)
        threading.Thread(target=self.serve_forever, daemon=True).start()

    @property
    def url(self) -> str:
        return f"http://127.0.0.1:{self.server_address[1]}/"


class TimeStampHandler(http.server.BaseHTTPRequestHandler):
    server: TimeStampServer

    def log_message(self, format, *args):  # noqa: A002 - the base class's name
        pass

    def do_POST(self):  # noqa: N802 - the base class's name
        folder = self.server.folder
        with open(os.path.join(folder, "query.tsq"), "wb") as f:
            f.write(self.rfile.read(int(self.headers["Content-Length"])))
        reply = run(["openssl", "ts", "-reply", "-config", "tsa.cnf", "-queryfile", "query.tsq", "-out", "reply.tsr"],
                    cwd=folder)
        if reply.returncode != 0:
            self.send_error(500, reply.stdout[-200:])
            return
        with open(os.path.join(folder, "reply.tsr"), "rb") as f:
            body = f.read()
        self.server.queries += 1
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


class KeysTestCase(unittest.TestCase):
    """Fresh throw-away keys per test class, removed afterwards."""

    @classmethod
    def setUpClass(cls):
        cls.keys = tempfile.mkdtemp(prefix="korvane-release-keys.")
        cls.addClassCleanup(shutil.rmtree, cls.keys, True)
        make_keys(cls.keys)

    @classmethod
    def key(cls, name: str) -> str:
        return os.path.join(cls.keys, name)


class ReleaseTest(KeysTestCase):
    """One signed release, time-stamped, examined from several sides."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.tsa = TimeStampServer(cls.keys)
        cls.addClassCleanup(cls.tsa.shutdown)
        shutil.rmtree(ARGS.out, ignore_errors=True)
        cls.result = run([RELEASE, "--host", SHIPPED_HOST, "--pfx", cls.key("signing.pfx"),
                          "--password-file", cls.key("password.txt"), "--timestamp", cls.tsa.url, "--out", ARGS.out])
        if cls.result.returncode != 0:
            raise AssertionError("release.sh failed:\n" + cls.result.stdout)

    def output(self, name: str) -> str:
        return os.path.join(ARGS.out, name)

    def test_signature_and_time_stamp_verify_and_the_sums_check(self):
        self.assertEqual(sorted(os.listdir(ARGS.out)), sorted(OUTPUTS))
        self.assertEqual(self.tsa.queries, 1, "one time-stamp was asked for")
        verify = run(["osslsigncode", "verify", "-CAfile", self.key("signing.pem"), "-TSA-CAfile", self.key("tsa.pem"),
                      "-in", self.output("KorvaneInstaller.exe")])
        self.assertEqual(verify.returncode, 0, verify.stdout)
        self.assertIn("Timestamp Server Signature verification: ok", verify.stdout)
        sums = run(["sha256sum", "-c", "SHA256SUMS"], cwd=ARGS.out)
        self.assertEqual(sums.returncode, 0, sums.stdout)
        with open(self.output("SHA256SUMS")) as f:
            self.assertEqual(sorted(line.split()[1] for line in f), sorted(OUTPUTS[:2]), "both files summed")

    def test_without_the_signature_the_bytes_are_the_reproducible_build(self):
        stripped = os.path.join(self.keys, "stripped.exe")
        removed = run(["osslsigncode", "remove-signature", "-in", self.output("KorvaneInstaller.exe"), "-out", stripped])
        self.assertEqual(removed.returncode, 0, removed.stdout)
        with open(stripped, "rb") as f:
            bytes_back = f.read()
        for other in (self.output("KorvaneInstaller.unsigned.exe"), ARGS.shipped):
            with open(other, "rb") as f:
                self.assertTrue(bytes_back == f.read(), f"differs from {other}")

    def test_the_signed_file_passes_the_audit(self):
        audit = run(["/usr/bin/python3", AUDIT, self.output("KorvaneInstaller.exe")])
        self.assertEqual(audit.returncode, 0, audit.stdout)


class RefusalTest(KeysTestCase):
    """What release.sh refuses: each case a clear message, and nothing written."""

    def assert_refused(self, args, message, env=None):
        out = os.path.join(self.keys, "out")
        refused = run([RELEASE, "--out", out] + args, env=env)
        self.assertNotEqual(refused.returncode, 0, refused.stdout)
        self.assertIn(message, refused.stdout)
        self.assertFalse(os.path.exists(out), "nothing may be written")

    def test_missing_certificate_password_or_file(self):
        host = ["--host", SHIPPED_HOST]
        pfx, password = self.key("signing.pfx"), self.key("password.txt")
        with open(self.key("wrong.txt"), "w") as f:
            f.write("not the password\n")
        without = {name: value for name, value in os.environ.items() if name != "KORVANE_PFX_PASSWORD"}
        cases = [
            ("no certificate", [], "no certificate"),
            ("no such file", ["--pfx", pfx + ".missing", "--password-file", password], "cannot read the certificate"),
            ("no password", ["--pfx", pfx], "no password"),
            ("no such password file", ["--pfx", pfx, "--password-file", password + ".missing"],
             "cannot read the password file"),
            ("wrong password", ["--pfx", pfx, "--password-file", self.key("wrong.txt")], "with that password"),
            ("wrong password from the environment", ["--pfx", pfx], "with that password"),
        ]
        for label, args, message in cases:
            with self.subTest(label):
                env = dict(without, KORVANE_PFX_PASSWORD="not the password") if "environment" in label else without
                self.assert_refused(host + args, message, env)

    def test_password_from_the_environment(self):
        out = self.key("out-env")
        done = run([RELEASE, "--host", SHIPPED_HOST, "--pfx", self.key("signing.pfx"), "--out", out],
                   env=dict(os.environ, KORVANE_PFX_PASSWORD=PASSWORD))
        self.assertEqual(done.returncode, 0, done.stdout)
        self.assertEqual(sorted(os.listdir(out)), sorted(OUTPUTS))

    def test_a_host_with_a_port(self):
        # The program always connects to port 80: such a build would fail every download.
        self.assert_refused(["--host", SHIPPED_HOST + ":8080", "--pfx", self.key("signing.pfx"),
                             "--password-file", self.key("password.txt")], "--host must be a bare host name")
        configure = run(["cmake", "--preset", "windows", "-B", self.key("build"),
                         "-DKORVANE_DOWNLOAD_HOST=" + SHIPPED_HOST + ":8080"], cwd=PROJECT)
        self.assertNotEqual(configure.returncode, 0)
        self.assertIn("without a port", configure.stdout)


def main():
    parser = argparse.ArgumentParser(add_help=False)
    parser.add_argument("--shipped", required=True)
    parser.add_argument("--out", required=True)
    args, rest = parser.parse_known_args()
    vars(ARGS).update(vars(args))
    unittest.main(argv=[sys.argv[0], "-v"] + rest)


if __name__ == "__main__":
    main()
