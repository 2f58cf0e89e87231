"""Debian's nginx with the shipped server block (server/nginx/korvane.conf) on
127.0.0.1:80, serving a document root that scripts/publish.sh lays out: the
download server as a user of the installer runs it. For the demo and the
end-to-end tests, inside the private network namespace they enter first;
the same interface as FaultServer (start, reset, requests, stop), so either
can be a stage's server.

The server block is used as shipped, but for its root and listen lines,
which an operator edits too. Requests are read from nginx's access log.
"""

import ctypes
import json
import os
import re
import signal
import subprocess
import sys
import tempfile
import time
from typing import Dict, List, Optional

from e2e_harness import port_80_listening
from fault_server import Reply, Request
from wine_session import PROJECT, PROXY_VARIABLES, wait_for

sys.path.insert(0, os.path.join(PROJECT, "scripts"))
from release_layout import from_sources  # noqa: E402

NGINX = "/usr/sbin/nginx"
SERVER_BLOCK = os.path.join(PROJECT, "server", "nginx", "korvane.conf")
PUBLISH = os.path.join(PROJECT, "scripts", "publish.sh")
CHECK_SERVER = os.path.join(PROJECT, "scripts", "check-server.sh")
LOG_FORMAT = ('{"method":"$request_method","path":"$request_uri","version":"$server_protocol",'
              '"agent":"$http_user_agent","host":"$http_host","status":"$status"}')


class NginxServer:
    def __init__(self, folder: str, http_directives: str = ""):
        """folder: nginx's own files and the document root; http_directives: added to the http
        block (a rate limit, say)."""
        self.folder = folder
        self.root = os.path.join(folder, "www")
        self.log = os.path.join(folder, "access.log")
        self.http_directives = http_directives
        self.process = None

    def start(self) -> "NginxServer":
        os.makedirs(self.folder, exist_ok=True)
        with open(SERVER_BLOCK, encoding="utf-8") as f:
            block = f.read()
        block, roots = re.subn(r"(?m)^(\s*)root [^;]*;", rf"\1root {self.root};", block)
        block, listens = re.subn(r"(?m)^(\s*)listen [^;]*;", r"\1listen 127.0.0.1:80;", block)
        if (roots, listens) != (1, 1):
            raise RuntimeError(f"{SERVER_BLOCK}: expected one root and one listen line")
        with open(os.path.join(self.folder, "korvane.conf"), "w", encoding="utf-8") as f:
            f.write(block)
        with open(os.path.join(self.folder, "nginx.conf"), "w", encoding="utf-8") as f:
            # One process, which stays root: the real one, or the user mapped
            # to root in a user namespace, which has no other user to be.
            f.write(f"""daemon off;
master_process off;
user root root;
pid {self.folder}/nginx.pid;
error_log {self.folder}/error.log;
events {{ }}
http {{
    log_format korvane escape=json '{LOG_FORMAT}';
    access_log {self.log} korvane;
    client_body_temp_path {self.folder}/tmp;
    proxy_temp_path {self.folder}/tmp;
    fastcgi_temp_path {self.folder}/tmp;
    uwsgi_temp_path {self.folder}/tmp;
    scgi_temp_path {self.folder}/tmp;
    {self.http_directives}
    include {self.folder}/korvane.conf;
}}
""")
        self.process = subprocess.Popen([NGINX, "-p", self.folder, "-e", os.path.join(self.folder, "error.log"),
                                         "-c", os.path.join(self.folder, "nginx.conf")],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                        preexec_fn=_end_with_parent)
        started = wait_for(lambda: self.process.poll() is not None or port_80_listening(), 10)
        if not started or self.process.poll() is not None:
            error = self.process.stderr.read().decode(errors="replace") if self.process.poll() is not None else ""
            self.stop()
            raise RuntimeError(f"nginx did not start: {error}")
        return self

    def publish(self, release: str) -> str:
        """Publishes the release folder with scripts/publish.sh, as r1, r2, ...; returns what it printed."""
        releases = self.root + ".releases"
        number = 1
        while os.path.exists(os.path.join(releases, f"r{number}")):
            number += 1
        done = subprocess.run([PUBLISH, "--release", release, "--root", self.root, "--name", f"r{number}"],
                              capture_output=True, text=True)
        if done.returncode != 0:
            raise RuntimeError(f"publish.sh failed: {done.stderr}")
        return done.stdout

    def reset(self, replies: Dict[str, Reply]):
        """Publishes the replies' bodies as a release and removes the earlier ones; empties the
        request log."""
        with tempfile.TemporaryDirectory(dir=self.folder) as release:
            write_release(replies, release)
            self.publish(release)
        listing = subprocess.run([PUBLISH, "--root", self.root, "--list"], capture_output=True, text=True, check=True)
        for line in listing.stdout.splitlines():
            if not line.startswith("*"):
                subprocess.run([PUBLISH, "--root", self.root, "--remove", line.split()[-1]],
                               capture_output=True, check=True)
        open(self.log, "w").close()

    @property
    def requests(self) -> List[Request]:
        # nginx writes a request's line once its answer is out.
        time.sleep(0.1)
        if not os.path.exists(self.log):
            return []
        with open(self.log, encoding="utf-8") as f:
            lines = [json.loads(line) for line in f if line.strip()]
        return [Request(method=e["method"], path=e["path"], version=e["version"], user_agent=e["agent"] or None,
                        headers={"Host": e["host"]}) for e in lines]

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


def write_release(replies: Dict[str, Reply], folder: str):
    """A release folder as publish.sh takes it (setup.exe, the content files at their list paths)
    holding the replies' bodies; only plain, whole answers, as nginx serves files."""
    release_paths = {url_path: release_path for release_path, url_path in from_sources().files()}
    for path, reply in replies.items():
        if (reply.status, reply.framing, reply.reset_after, reply.cut_after) != (200, "length", None, None):
            raise ValueError(f"{path}: nginx serves files whole, with status 200")
        local = os.path.join(folder, release_paths[path])
        os.makedirs(os.path.dirname(local), exist_ok=True)
        with open(local, "wb") as f:
            f.write(reply.body)


def check_server(installer: str, release: Optional[str] = None) -> subprocess.CompletedProcess:
    """scripts/check-server.sh on installer (and the release folder), asking directly as Wine's
    installer does here: without the proxy variables of this environment."""
    command = [CHECK_SERVER, installer] + (["--release", release] if release else [])
    return subprocess.run(command, capture_output=True, text=True,
                          env={name: value for name, value in os.environ.items() if name not in PROXY_VARIABLES})


def _end_with_parent():
    """nginx ends with the program that started it, however that ends."""
    PR_SET_PDEATHSIG = 1
    ctypes.CDLL(None, use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGTERM)
