#!/usr/bin/env python3
"""A small HTTP/1.1 server on loopback that answers badly on purpose.

Every answer closes its connection. The path picks the answer:

  /ok?size=N                  200, Content-Length N, N pattern bytes
  /status/CODE?body=T&reason=R  status line "HTTP/1.1 CODE R", Content-Length, body T
  /length/VALUE?body=T        200 with the raw header "Content-Length: VALUE" and body T
  /chunked?size=N             200, chunked body of N pattern bytes, no Content-Length
  /short?size=N&send=M        Content-Length N, then M pattern bytes and the connection closes
  /long?size=N&send=M         Content-Length N, then M (more than N) pattern bytes
  /bighead?pad=N&size=M       200 with about N bytes of extra header lines, then M bytes
  /empty                      200, Content-Length 0
  /slow?size=N&chunk=K&delay=S  Content-Length N, sent K bytes at a time, S seconds apart
  /redirect?to=L&code=C       status C (default 302) with "Location: L"
  /loop                       302 to itself, for ever

Routes for interrupted transfers (those that answer a body honour "Range: bytes=N-" with a
206 and "Content-Range: bytes N-(SIZE-1)/SIZE"; a range at or past SIZE gets a 416). They send
'ETag: "K-SIZE"' (K the key; etag=none: no ETag) and answer a request whose If-Range is not
that tag with the whole body and a 200, as a server whose file changed would:

  /throttle?size=N&rate=B     N pattern bytes at about B bytes per second (pieces every 0.1 s)
  /drop?size=N&key=K&drops=D&how=H&range=R&rate=B
                              the first D (default 1) requests for key K send half of what
                              they were asked for and then close (H=close, default) or go
                              silent until the client hangs up (H=stall); later requests for
                              K answer in full. R=ignore answers every request with the whole
                              body and a 200; R=total answers a range with a wrong total.
                              B throttles as in /throttle (default: no limit).
  /stall?size=N               the head with Content-Length N, then nothing until the client
                              hangs up (at most 10 minutes)
  /trickle?size=N&every=S     the head, then one byte every S seconds (default 25)

FaultHttpServer.bodies[key] = bytes makes /throttle and /drop with that key answer those bytes
(size must then be their length), so that a real package can be cut and resumed.

Every request head received is kept in FaultHttpServer.requests (the request line and a
dict of the headers, names in lower case), so tests can check what the client sent.

Run alone: python3 fault_server.py --port 8080
"""

import argparse
import socket
import socketserver
import threading
import time
import urllib.parse


def pattern(size):
    """The body bytes every answer of a given size carries: 0..255 repeated."""
    whole, rest = divmod(size, 256)
    return bytes(range(256)) * whole + bytes(range(rest))


class RequestHead:
    def __init__(self, line, headers):
        self.line = line
        self.headers = headers

    @property
    def target(self):
        parts = self.line.split(" ")
        return parts[1] if len(parts) > 1 else ""


class _Handler(socketserver.BaseRequestHandler):
    def handle(self):
        self.request.settimeout(30)
        head = self._read_head()
        if head is None:
            return
        self.server.requests.append(head)
        self.head = head
        url = urllib.parse.urlsplit(head.target)
        query = {k: v[-1] for k, v in urllib.parse.parse_qs(url.query).items()}
        try:
            self._answer(url.path, query)
        except OSError:
            pass  # the client went away; nothing to tell it

    def _read_head(self):
        data = b""
        while b"\r\n\r\n" not in data:
            try:
                piece = self.request.recv(4096)
            except OSError:
                return None
            if not piece:
                return None
            data += piece
            if len(data) > 1 << 20:
                return None
        text = data.split(b"\r\n\r\n", 1)[0].decode("latin-1")
        lines = text.split("\r\n")
        headers = {}
        for line in lines[1:]:
            name, _, value = line.partition(":")
            headers[name.strip().lower()] = value.strip()
        return RequestHead(lines[0], headers)

    def _send(self, data):
        self.request.sendall(data)

    def _head(self, status_line, headers):
        lines = [status_line] + [f"{k}: {v}" for k, v in headers] + ["Connection: close", "", ""]
        self._send("\r\n".join(lines).encode("latin-1"))

    def _answer(self, path, query):
        size = int(query.get("size", "1000"))
        if path == "/ok":
            self._head("HTTP/1.1 200 OK", [("Content-Length", size)])
            self._send(pattern(size))
        elif path.startswith("/status/"):
            code = path[len("/status/"):]
            body = query.get("body", "error page").encode("utf-8")
            reason = query.get("reason", "Whatever")
            self._head(f"HTTP/1.1 {code} {reason}", [("Content-Length", len(body))])
            self._send(body)
        elif path.startswith("/length/"):
            value = urllib.parse.unquote(path[len("/length/"):])
            body = query.get("body", "").encode("utf-8")
            self._head("HTTP/1.1 200 OK", [("Content-Length", value)])
            self._send(body)
        elif path == "/chunked":
            self._head("HTTP/1.1 200 OK", [("Transfer-Encoding", "chunked")])
            body = pattern(size)
            for start in range(0, len(body), 1000):
                piece = body[start:start + 1000]
                self._send(b"%x\r\n" % len(piece) + piece + b"\r\n")
            self._send(b"0\r\n\r\n")
        elif path == "/short":
            send = int(query.get("send", str(size // 2)))
            self._head("HTTP/1.1 200 OK", [("Content-Length", size)])
            self._send(pattern(send))
        elif path == "/long":
            self._head("HTTP/1.1 200 OK", [("Content-Length", size)])
            self._send(pattern(int(query.get("send", str(size * 2)))))
        elif path == "/bighead":
            pad = int(query.get("pad", "8000"))
            headers = [(f"X-Padding-{i}", "p" * 90) for i in range(pad // 100 + 1)]
            self._head("HTTP/1.1 200 OK", headers + [("Content-Length", size)])
            self._send(pattern(size))
        elif path == "/empty":
            self._head("HTTP/1.1 200 OK", [("Content-Length", 0)])
        elif path == "/slow":
            chunk = int(query.get("chunk", "100"))
            delay = float(query.get("delay", "0.05"))
            self._head("HTTP/1.1 200 OK", [("Content-Length", size)])
            body = pattern(size)
            for start in range(0, len(body), chunk):
                time.sleep(delay)
                self._send(body[start:start + chunk])
        elif path == "/redirect":
            self._head(f"HTTP/1.1 {query.get('code', '302')} Moved",
                       [("Location", query.get("to", "/")), ("Content-Length", 0)])
        elif path == "/loop":
            self._head("HTTP/1.1 302 Found", [("Location", "/loop"), ("Content-Length", 0)])
        elif path == "/throttle":
            self._ranged(size, float(query.get("rate", "1048576")), query)
        elif path == "/drop":
            self._drop(size, query)
        elif path == "/stall":
            self._head("HTTP/1.1 200 OK", [("Content-Length", size)])
            self._hold()
        elif path == "/trickle":
            every = float(query.get("every", "25"))
            self._head("HTTP/1.1 200 OK", [("Content-Length", size)])
            for byte in pattern(size):
                time.sleep(every)
                self._send(bytes([byte]))
        else:
            self._head("HTTP/1.1 404 Not Found", [("Content-Length", 0)])

    # --- interrupted transfers ---
    def _range_start(self):
        """The N of "Range: bytes=N-", or None without a range header of that form."""
        value = self.head.headers.get("range", "")
        if not value.startswith("bytes=") or not value.endswith("-"):
            return None
        number = value[len("bytes="):-1]
        return int(number) if number.isdigit() else None

    def _ranged(self, size, rate, query, cut=None, stall=False):
        """Answers the body (or its requested rest) at the rate; after `cut` bytes stops."""
        tag = f'"{query.get("key", "")}-{size}"'
        start = None if query.get("range") == "ignore" else self._range_start()
        if_range = self.head.headers.get("if-range")
        if start is not None and if_range is not None and if_range != tag:
            start = None  # another version: the whole body
        tags = [] if query.get("etag") == "none" else [("ETag", tag)]
        if start is not None and start >= size:
            self._head("HTTP/1.1 416 Range Not Satisfiable",
                       [("Content-Range", f"bytes */{size}"), ("Content-Length", 0)])
            return
        body = self.server.bodies.get(query.get("key", ""), pattern(size))
        if start is None:
            self._head("HTTP/1.1 200 OK", [("Content-Length", size)] + tags)
            start = 0
        else:
            total = size + 1 if query.get("range") == "total" else size
            self._head("HTTP/1.1 206 Partial Content",
                       [("Content-Range", f"bytes {start}-{size - 1}/{total}"),
                        ("Content-Length", size - start)] + tags)
        rest = body[start:] if cut is None else body[start:start + cut]
        self._pace(rest, rate)
        if stall:
            self._hold()

    def _pace(self, data, rate):
        if rate <= 0:
            self._send(data)
            return
        piece = max(1, int(rate / 10))
        for at in range(0, len(data), piece):
            self._send(data[at:at + piece])
            time.sleep(0.1)

    def _drop(self, size, query):
        key = query.get("key", "")
        drops = int(query.get("drops", "1"))
        rate = float(query.get("rate", "0"))
        with self.server.lock:
            served = self.server.drops.get(key, 0)
            cut_now = served < drops
            if cut_now:
                self.server.drops[key] = served + 1
        if not cut_now:
            self._ranged(size, rate, query)
            return
        start = self._range_start() if query.get("range") != "ignore" else None
        asked = size - (start or 0)
        self._ranged(size, rate, query, cut=asked // 2, stall=query.get("how") == "stall")

    def _hold(self):
        """Says nothing until the client hangs up, at most 10 minutes."""
        deadline = time.monotonic() + 600
        self.request.settimeout(1)
        while time.monotonic() < deadline:
            try:
                if not self.request.recv(4096):
                    return
            except socket.timeout:
                continue
            except OSError:
                return


class FaultHttpServer(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, port):
        super().__init__(("127.0.0.1", port), _Handler)
        self.requests = []
        self.lock = threading.Lock()
        self.drops = {}
        self.bodies = {}


def start_in_thread(port):
    """Starts a FaultHttpServer on the port in a daemon thread; returns (server, thread)."""
    server = FaultHttpServer(port)
    thread = threading.Thread(target=server.serve_forever, daemon=True)
    thread.start()
    return server, thread


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", type=int, required=True)
    args = parser.parse_args()
    with FaultHttpServer(args.port) as server:
        server.serve_forever()


if __name__ == "__main__":
    main()
