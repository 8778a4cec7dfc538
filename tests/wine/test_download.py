#!/usr/bin/env python3
"""download.exe under Wine against nginx and the fault server.

  test_download.py --bin <build>/bin --work <scratch folder> [unittest args]

The Wine prefix is kept in the scratch folder for the next run.
"""

import argparse
import os
import pathlib
import shutil
import sys
import threading
import time
import unittest
import urllib.parse

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import rig  # noqa: E402

OPTIONS = None
PREFIX = None
NGINX = None
FAULTS = None

HEAD_QUERY_FAILED = "查询HTTP返回头失败"
SERVER_ERROR = "HTTP服务器返回错误"
NOT_FOUND = "请求文件不存在!"
CUT_SHORT = "下载文件失败，请检查网络设置"
CANNOT_CREATE = "创建文件失败，可能是文件正在被占用"
CANNOT_CONNECT = "连接HTTP服务器失败"
WRITE_FAILED = "写入文件失败"


def setUpModule():
    global PREFIX, NGINX, FAULTS
    work = OPTIONS.work
    for stale in ("www", "out"):
        shutil.rmtree(work / stale, ignore_errors=True)
    (work / "www" / "sub").mkdir(parents=True)
    PREFIX = rig.WinePrefix(work / "prefix")
    PREFIX.ensure()
    PREFIX.keep_alive()
    NGINX = rig.Nginx(work / "www", work / "nginx").__enter__()
    FAULTS = rig.FaultServer().__enter__()


def tearDownModule():
    for server in (FAULTS, NGINX):
        if server:
            server.__exit__(None, None, None)
    if PREFIX:
        PREFIX.wineserver_kill()


class DownloadCase(unittest.TestCase):
    def setUp(self):
        self.out = OPTIONS.work / "out" / self.id().rsplit(".", 1)[-1]
        shutil.rmtree(self.out, ignore_errors=True)
        self.out.mkdir(parents=True)

    def download(self, address, target, resume=False):
        """Runs download.exe; returns (exit code, reason text)."""
        local = target if isinstance(target, str) else PREFIX.windows_path(target)
        flags = ["--resume"] if resume else []
        result = PREFIX.run(OPTIONS.bin / "download.exe", flags + [address, local], timeout=180)
        # Wine's own "wine client error:..." line, seen now and then when a process ends while
        # its worker thread is ending too, is not the program's word.
        lines = result.stderr.decode("utf-8", "replace").splitlines()
        reason = "\n".join(line for line in lines if not line.startswith("wine client error"))
        return result.returncode, reason.strip()

    def assertFails(self, address, reason, target=None):
        """A refused answer: false, the reason, and no folder or file made."""
        target = target or self.out / "new" / "f.bin"
        self.assertEqual(self.download(address, target), (1, reason))
        self.assertEqual(list(self.out.iterdir()), [])


class Arrivals(DownloadCase):
    def test_answers_arrive_byte_for_byte_over_what_was_there(self):
        body = os.urandom(3 * 1024 * 1024 + 17)
        (OPTIONS.work / "www" / "sub" / "pkg.bin").write_bytes(body)
        (OPTIONS.work / "www" / "small.txt").write_bytes(b"new")
        cases = (  # address, target, bytes there before, bytes after
            (NGINX.url("sub/pkg.bin"), "a/b/c/pkg.bin", None, body),  # into new folders
            (NGINX.url("small.txt"), "small.txt", b"old and longer", b"new"),
            (FAULTS.url("ok?size=5000&tag=headers"), "f.bin", None, rig.pattern(5000)),
            (FAULTS.url("status/200?reason=Not%20404&body=ok"), "f.bin", None, b"ok"),
            (FAULTS.url("bighead?pad=12000&size=777"), "f.bin", None, rig.pattern(777)),
            (FAULTS.url("empty"), "f.bin", b"previous", b""),
            (FAULTS.url("slow?size=6000&chunk=500&delay=0.1"), "f.bin", None, rig.pattern(6000)),
        )
        for address, rel, before, after in cases:
            with self.subTest(address=address):
                target = self.out / rel
                target.unlink(missing_ok=True)
                if before is not None:
                    target.write_bytes(before)
                self.assertEqual(self.download(address, target), (0, ""))
                self.assertEqual(target.read_bytes(), after)
        head = next(r for r in FAULTS.requests if "tag=headers" in r.line)
        self.assertEqual(head.line, "GET /ok?size=5000&tag=headers HTTP/1.1")
        self.assertEqual(head.headers["user-agent"], "Http-connect")
        self.assertEqual(head.headers["referer"], f"127.0.0.1:{FAULTS.port}")
        self.assertEqual(head.headers["content-type"], "application/x-www-form-urlencoded")
        self.assertEqual(head.headers["accept"], "*/*")

    @unittest.skipUnless(os.environ.get("UPDATER_LONG_TESTS"), "about 25 s; UPDATER_LONG_TESTS=1")
    def test_body_beyond_2_gib_is_counted_whole(self):
        huge = OPTIONS.work / "www" / "huge.bin"
        with open(huge, "wb") as f:
            f.truncate(2**31 + 5)  # sparse: costs no disk
        try:
            self.assertEqual(self.download(NGINX.url("huge.bin"), r"Z:\dev\null"), (0, ""))
        finally:
            huge.unlink()


class Refusals(DownloadCase):
    def test_refused_answers_make_no_folder_or_file(self):
        cases = [(FAULTS.url(f"status/{status}?body=page"), reason)
                 for status, reason in (("500", SERVER_ERROR), ("403", SERVER_ERROR),
                                        ("404", NOT_FOUND))]
        cases += [(FAULTS.url(path), HEAD_QUERY_FAILED)  # no usable length
                  for path in ("chunked?size=5000", "length/-5?body=abc", "length/abc?body=abc")]
        cases.append((f"http://127.0.0.1:{FAULTS.port + 65536}/ok", CANNOT_CONNECT))
        for address, reason in cases:
            with self.subTest(address=address):
                self.assertFails(address, reason)

    def test_files_that_cannot_be_written(self):
        (OPTIONS.work / "www" / "small.txt").write_bytes(b"new")
        (self.out / "file").write_bytes(b"x")
        self.assertEqual(self.download(NGINX.url("small.txt"), self.out / "file" / "f.bin"),
                         (1, CANNOT_CREATE))
        self.assertEqual((self.out / "file").read_bytes(), b"x")
        if os.path.exists("/dev/full"):
            self.assertEqual(self.download(FAULTS.url("ok?size=100000"), r"Z:\dev\full"),
                             (1, WRITE_FAILED))

    def test_body_cut_short_keeps_what_arrived(self):
        target = self.out / "f.bin"
        code, reason = self.download(FAULTS.url("short?size=100000&send=30000"), target)
        self.assertEqual((code, reason), (1, CUT_SHORT))
        self.assertEqual(target.read_bytes(), rig.pattern(30000))


class InterruptedLine(DownloadCase):
    def test_dropped_line_is_resumed_or_fetched_again(self):
        size = 3_000_000
        half = f"bytes={size // 2}-"
        # A 64 KiB read that times out keeps none of its chunk: the rest is asked for from the
        # last whole chunk stored.
        chunk = 64 * 1024
        last_chunk = f"bytes={size // 2 // chunk * chunk}-"
        cases = (  # route, resume, the Range of each request
            ("drop?key=resume", True, [None, half]),
            ("drop?key=whole", False, [None, None]),
            ("drop?key=silent&how=stall", True, [None, last_chunk]),  # after the 30 s time-out
            ("drop?key=total&range=total", True, [None, half, None]),
            ("drop?key=ignored&range=ignore", True, [None, half]),
            ("drop?key=untagged&etag=none", True, [None, None]),  # nothing to tell versions by
        )
        for route, resume, ranges in cases:
            with self.subTest(route=route):
                target = self.out / "f.bin"
                self.assertEqual(
                    self.download(FAULTS.url(f"{route}&size={size}"), target, resume), (0, ""))
                self.assertEqual(target.read_bytes(), rig.pattern(size))
                key = route.split("&")[0]
                asked = [r.headers for r in FAULTS.requests if key + "&" in r.line]
                self.assertEqual([h.get("range") for h in asked], ranges)
                # Each resume names the version it continues.
                tag = f'"{key.split("=")[1]}-{size}"'
                self.assertEqual([h.get("if-range") for h in asked],
                                 [tag if r else None for r in ranges])

    def test_redirects_are_followed_by_hand_within_a_budget(self):
        size = 2_000_000
        drop = urllib.parse.quote(f"/drop?key=moved&size={size}", safe="")
        cases = (  # route, resume, what arrives (None: the failure), requests made
            ("redirect?to=%2Fok%3Fsize%3D5000%26tag%3Dmoved", False, rig.pattern(5000), 2),
            (f"redirect?code=307&to={drop}", True, rig.pattern(size), 3),
            ("loop", False, None, 6),  # the first request and 5 redirects
        )
        for route, resume, body, requests in cases:
            with self.subTest(route=route):
                before = len(FAULTS.requests)
                target = self.out / "f.bin"
                code, reason = self.download(FAULTS.url(route), target, resume)
                self.assertEqual((code, reason), (0, "") if body else (1, SERVER_ERROR))
                if body:
                    self.assertEqual(target.read_bytes(), body)
                self.assertEqual(len(FAULTS.requests) - before, requests)
        # The resume went on at the redirect's target, for the same version.
        moved = [r.headers for r in FAULTS.requests if "key=moved" in r.line]
        self.assertEqual([(h.get("range"), h.get("if-range")) for h in moved],
                         [(None, None), (f"bytes={size // 2}-", f'"moved-{size}"')])

    def test_lines_that_stop_fail_within_the_time_limits(self):
        # Run side by side: each takes about a minute.
        cases = {  # route: (least, most seconds)
            "stall?size=100000": (55, 70),  # a 30 s time-out, a retry, the 60 s rule
            "trickle?size=100&every=25": (55, 90),  # the first read after 60 s sees the rule
        }
        results = {}

        def run(route):
            start = time.monotonic()
            outcome = self.download(FAULTS.url(route), self.out / route[:5], resume=True)
            results[route] = outcome, time.monotonic() - start

        threads = [threading.Thread(target=run, args=(route,)) for route in cases]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        for route, (least, most) in cases.items():
            with self.subTest(route=route):
                outcome, seconds = results[route]
                self.assertEqual(outcome, (1, CUT_SHORT))
                self.assertTrue(least <= seconds <= most, f"{seconds:.1f} s")


def main():
    global OPTIONS
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", type=pathlib.Path, required=True)
    parser.add_argument("--work", type=pathlib.Path, required=True)
    parser.add_argument("--seven-zip", help="unused: download.exe unpacks nothing")
    OPTIONS, rest = parser.parse_known_args()
    OPTIONS.work = OPTIONS.work.resolve()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
