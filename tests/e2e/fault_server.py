"""A local HTTP download server with per-path fault injection, used in-process
by the end-to-end tests, the demo and the benchmark. Every request is logged
(order, method, path, version, User-Agent, headers). Each path answers to a
GET as its Reply says:

- status: any code; a non-2xx reply sends its body as the error page.
- framing: "length" (Content-Length, connection kept alive), "close" (no
  Content-Length, body delimited by closing the connection, HTTP/1.0
  style) or "chunked" (Transfer-Encoding: chunked, no Content-Length).
- reset_after=K: Content-Length of the whole body, K body bytes, then the
  connection is reset (RST): a dropped connection.
- cut_after=K: Content-Length of the whole body, K body bytes, then a clean
  close (FIN): a body shorter than announced.
- pace=(size, seconds): the body goes out in pieces of size bytes with a
  pause before each, to keep the client busy for a while.
- headers: header lines that replace the defaults of the same name
  (Content-Type: application/octet-stream, Cache-Control: no-store) or come
  in addition; a value of None leaves the header out.

Paths without a Reply get a 404 page; other methods than GET get 501.
"""

import http.server
import socket
import struct
import threading
import time
from dataclasses import dataclass, field
from typing import Dict, List, Optional, Tuple


@dataclass
class Reply:
    body: bytes
    status: int = 200
    framing: str = "length"
    reset_after: Optional[int] = None
    cut_after: Optional[int] = None
    pace: Optional[Tuple[int, float]] = None
    headers: Dict[str, Optional[str]] = field(default_factory=dict)


@dataclass
class Request:
    method: str
    path: str
    version: str
    user_agent: Optional[str]
    headers: Dict[str, str] = field(default_factory=dict)
    time: float = 0.0
    done: Optional[float] = None  # when the reply was written out in full


def error_page(status: int) -> Reply:
    phrase = http.server.BaseHTTPRequestHandler.responses.get(status, ("Error",))[0]
    page = f"<html><body><h1>{status} {phrase}</h1></body></html>\n".encode()
    return Reply(body=page, status=status)


class _Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server: "FaultServer"

    def log_message(self, format, *args):  # noqa: A002 - the base class's name
        pass

    def do_GET(self):  # noqa: N802 - the base class's name
        request = self.server.log_request_line(self)
        reply = self.server.reply_for(self.path)
        # Each run must reach the server: no client may answer from its cache.
        fields = {"Content-Type": "application/octet-stream", "Cache-Control": "no-store", **reply.headers}
        head = [f"HTTP/1.1 {reply.status} {self.responses.get(reply.status, ('X',))[0]}"]
        head += [f"{name}: {value}" for name, value in fields.items() if value is not None]
        if reply.framing == "length":
            head.append(f"Content-Length: {len(reply.body)}")
        elif reply.framing == "chunked":
            head.append("Transfer-Encoding: chunked")
        if reply.framing == "close":
            head.append("Connection: close")
            self.close_connection = True
        self.wfile.write(("\r\n".join(head) + "\r\n\r\n").encode("ascii"))

        limit = len(reply.body)
        for cut in (reply.reset_after, reply.cut_after):
            if cut is not None:
                limit = min(limit, cut)
        self._send_body(reply.body[:limit], reply)

        if reply.reset_after is not None:
            # Give the client time to read what was sent: a reset discards
            # data still unread in its receive buffer.
            time.sleep(0.3)
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            self.connection.close()
            self.close_connection = True
        elif reply.cut_after is not None:
            self.connection.shutdown(socket.SHUT_WR)
            self.close_connection = True
        request.done = time.monotonic()

    def _send_body(self, body: bytes, reply: Reply):
        size, pause = reply.pace if reply.pace else (max(len(body), 1), 0.0)
        for start in range(0, len(body), size):
            if pause:
                time.sleep(pause)
            piece = body[start:start + size]
            if reply.framing == "chunked":
                piece = b"%x\r\n%s\r\n" % (len(piece), piece)
            self.wfile.write(piece)
        if reply.framing == "chunked" and reply.reset_after is None and reply.cut_after is None:
            self.wfile.write(b"0\r\n\r\n")


class FaultServer(http.server.ThreadingHTTPServer):
    """ThreadingHTTPServer whose replies and request log the caller controls."""

    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, host: str = "127.0.0.1", port: int = 80):
        self._lock = threading.Lock()
        self._replies: Dict[str, Reply] = {}
        self._requests: List[Request] = []
        self._thread: Optional[threading.Thread] = None
        super().__init__((host, port), _Handler)

    def reset(self, replies: Dict[str, Reply]):
        """Answers with replies from now on, with an empty request log."""
        with self._lock:
            self._replies = dict(replies)
            self._requests = []

    def reply_for(self, path: str) -> Reply:
        with self._lock:
            return self._replies.get(path) or error_page(404)

    def log_request_line(self, handler: _Handler) -> Request:
        with self._lock:
            request = Request(
                method=handler.command, path=handler.path,
                version=handler.request_version, user_agent=handler.headers.get("User-Agent"),
                headers=dict(handler.headers.items()), time=time.monotonic())
            self._requests.append(request)
            return request

    @property
    def requests(self) -> List[Request]:
        with self._lock:
            return list(self._requests)

    def start(self) -> "FaultServer":
        self._thread = threading.Thread(target=self.serve_forever, kwargs={"poll_interval": 0.05},
                                        daemon=True)
        self._thread.start()
        return self

    def stop(self):
        self.shutdown()
        self.server_close()
        if self._thread:
            self._thread.join()

