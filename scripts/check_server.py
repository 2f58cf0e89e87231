"""The download server's preflight check (scripts/check-server.sh): asks for
every file a KorvaneInstaller.exe will request, as it requests them, and
says whether the installer can count on each answer.

    check-server.sh EXE [--release DIR]

The host, the base URLs and the content list are read from EXE itself. Each
file is fetched with GET on port 80, User-Agent KORVANE, through http_proxy
when that is set (and no_proxy does not name the host), following
redirects as the installer does. It also offers gzip and deflate: the
installer does not, but a server that compresses for any client can leave a
compressed copy in a cache on the way. An answer fails when:
  - its final status is outside 2xx;
  - it has no Content-Length;
  - it comes chunked or compressed;
  - its body is not exactly Content-Length bytes;
  - a cache may keep it and hand it out again without asking the server.
    The rule: Cache-Control must hold no-cache or no-store (without a list
    of fields). Anything else (no Cache-Control, max-age, Expires, a bare
    Pragma) leaves a cache free to serve a copy it holds, so a run after a
    new release could still get the old file;
  - with --release, its body differs from the release's file.
One line per URL; exit code 0 only when every answer passes, 1 otherwise, 2
when EXE cannot be read.
"""

import argparse
import io
import os
import socket
import sys
import urllib.parse
import urllib.request
from dataclasses import dataclass, field
from http.client import parse_headers
from typing import List, Optional

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from release_layout import from_installer  # noqa: E402

TIMEOUT = 30
MAX_REDIRECTS = 10
REDIRECTS = (301, 302, 303, 307, 308)


@dataclass
class Answer:
    status: int = 0
    headers: dict = field(default_factory=dict)  # names in lower case
    body: bytes = b""
    problems: List[str] = field(default_factory=list)


def proxy_for(host: str) -> Optional[str]:
    proxy = urllib.request.getproxies_environment().get("http")
    return None if not proxy or urllib.request.proxy_bypass_environment(host) else proxy


def fetch_once(url: str) -> Answer:
    """One GET of url, the whole answer read until the server closes."""
    answer = Answer()
    parts = urllib.parse.urlsplit(url)
    proxy = proxy_for(parts.hostname or "")
    if proxy:
        # A proxy is asked for the whole URL.
        server = urllib.parse.urlsplit(proxy if "://" in proxy else "http://" + proxy)
        target = url
    else:
        server = parts
        target = urllib.parse.urlunsplit(("", "", parts.path or "/", parts.query, ""))
    # Connection: close, so that the body ends where the server stops sending
    # and a body longer than its Content-Length shows.
    head = (f"GET {target} HTTP/1.1\r\nHost: {parts.netloc}\r\nUser-Agent: KORVANE\r\n"
            "Accept-Encoding: gzip, deflate\r\nConnection: close\r\n\r\n")
    received = bytearray()
    with socket.create_connection((server.hostname, server.port or 80), timeout=TIMEOUT) as connection:
        connection.sendall(head.encode("ascii"))
        while chunk := connection.recv(65536):
            received += chunk
    head_end = received.find(b"\r\n\r\n")
    if head_end < 0:
        answer.problems.append("the answer has no complete header")
        return answer
    status_line, _, fields = bytes(received[:head_end + 4]).partition(b"\r\n")
    try:
        answer.status = int(status_line.split()[1])
    except (IndexError, ValueError):
        answer.problems.append(f"no status in {status_line[:60]!r}")
        return answer
    answer.headers = {name.lower(): value for name, value in parse_headers(io.BytesIO(fields)).items()}
    answer.body = bytes(received[head_end + 4:])
    return answer


def fetch(url: str) -> Answer:
    """The final answer for url, after the redirects."""
    for _ in range(MAX_REDIRECTS + 1):
        answer = fetch_once(url)
        location = answer.headers.get("location")
        if answer.status not in REDIRECTS or not location:
            return answer
        url = urllib.parse.urljoin(url, location)
        if urllib.parse.urlsplit(url).scheme != "http":
            answer.problems.append(f"redirected to {url}: the installer speaks plain HTTP only")
            return answer
    answer.problems.append(f"more than {MAX_REDIRECTS} redirects")
    return answer


def cache_directives(value: str) -> List[str]:
    return [part.strip().lower() for part in value.split(",") if part.strip()]


def judge(answer: Answer, expected: Optional[bytes]):
    """Adds to answer.problems what the installer could not count on."""
    headers, problems = answer.headers, answer.problems
    if problems:
        return
    if not 200 <= answer.status <= 299:
        problems.append(f"status {answer.status}: the installer fails every status outside 2xx")
    chunked = "chunked" in headers.get("transfer-encoding", "").lower()
    if chunked:
        problems.append("chunked: no length to judge the download complete by")
    encoding = headers.get("content-encoding", "identity").strip().lower()
    if encoding != "identity":
        problems.append(f"compressed ({encoding}): the installer would store the compressed bytes")
    length = headers.get("content-length")
    if length is None:
        if not chunked:
            problems.append("no Content-Length: a body that broke off would count as complete")
    elif not length.strip().isdigit():
        problems.append(f"Content-Length {length!r} is not a number")
    elif int(length) != len(answer.body) and not chunked:
        problems.append(f"{len(answer.body)} body bytes, Content-Length says {int(length)}")
    directives = cache_directives(headers.get("cache-control", ""))
    if "no-cache" not in directives and "no-store" not in directives:
        problems.append("a cache may hand this out again without asking: Cache-Control needs no-cache "
                        "(with an ETag or Last-Modified) or no-store")
    if expected is not None and not problems and answer.body != expected:
        problems.append(f"differs from the release's file ({len(answer.body)} bytes served, {len(expected)} in the release)")


def describe(answer: Answer) -> str:
    headers = answer.headers
    length = headers.get("content-length", "no length")
    cache = headers.get("cache-control", "none")
    validators = [name for name in ("etag", "last-modified") if name in headers]
    return (f"{answer.status or '-'}  {length}  Cache-Control: {cache}; "
            f"validators: {', '.join(validators) or 'none'}")


def main() -> int:
    parser = argparse.ArgumentParser(prog="check-server.sh", description=__doc__.strip().splitlines()[0])
    parser.add_argument("exe", help="the KorvaneInstaller.exe whose requests to check")
    parser.add_argument("--release", help="the release folder the server should serve, to compare byte for byte")
    args = parser.parse_args()
    try:
        layout = from_installer(args.exe)
    except (OSError, ValueError) as error:
        print(f"check-server: {error}", file=sys.stderr)
        return 2
    proxy = proxy_for(layout.host)
    print(f"checking http://{layout.host}/ as {args.exe} asks it{f', through {proxy}' if proxy else ''}")
    failed = 0
    for release_path, url_path in layout.files():
        url = f"http://{layout.host}{url_path}"
        expected = None
        answer = Answer()
        if args.release:
            try:
                with open(os.path.join(args.release, release_path), "rb") as f:
                    expected = f.read()
            except OSError as error:
                answer.problems.append(f"the release's file cannot be read: {error.strerror}")
        if not answer.problems:
            try:
                answer = fetch(url)
            except OSError as error:
                answer.problems.append(f"no answer: {error}")
            judge(answer, expected)
        failed += bool(answer.problems)
        verdict = "ok" if not answer.problems else "FAIL: " + "; ".join(answer.problems)
        print(f"{url}  {describe(answer)}  {verdict}", flush=True)
    print(f"{len(layout.files()) - failed} of {len(layout.files())} files fine")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
