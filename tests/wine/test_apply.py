#!/usr/bin/env python3
"""Putting an archive update in place under Wine: hosts that are slow to exit or never do,
archives that cannot be unpacked, a disk that fills, and a package applied exactly.

  test_apply.py --bin <build>/bin --work <scratch folder> [--seven-zip <7z.exe>] [unittest args]

Reuses test_updater.py's rig (one Wine prefix, Xvfb, nginx for the module) and its test case
helpers. In every failure case the application folder is compared file by file, by digest,
before and after the run. UPDATER_APPLY_FIGURE=1 also times a 100 MiB archive of 2,000 files.
"""

import hashlib
import os
import pathlib
import shutil
import subprocess
import sys
import threading
import time
import unittest

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
import desktop  # noqa: E402
import test_updater as e2e  # noqa: E402
from test_updater import FAILED, QUESTION, manifest  # noqa: E402

HELD = "lib.dll"
OLD_LIB = "old library"
# What the test programs write into the application folder themselves.
RIG_FILES = {"host.log", "App.exe.ran", "7z-calls.log"}


def setUpModule():
    e2e.setUpModule()


def tearDownModule():
    e2e.tearDownModule()


def digest(folder):
    """{relative path: sha256} for every file, and {relative path: None} for every folder."""
    found = {}
    for path in sorted(folder.rglob("*")):
        rel = path.relative_to(folder).as_posix()
        if rel in RIG_FILES:
            continue
        found[rel] = None if path.is_dir() else hashlib.sha256(path.read_bytes()).hexdigest()
    return found


class ApplyCase(e2e.UpdaterCase):
    def setUp(self):
        super().setUp()
        self.fill_app()

    def fill_app(self):
        """The files of e2e.UpdaterCase's application folder, a library the host holds, and
        files that no package holds."""
        (self.app / HELD).write_text(OLD_LIB + "\n")
        (self.app / "user.ini").write_text("settings of the user\n")
        (self.app / "lib").mkdir(exist_ok=True)
        (self.app / "lib" / "old.dll").write_text("kept\n")
        self.use_real_archiver()

    def new_files(self):
        return {**self.new_app_files(), HELD: "new library\n",
                "plugins/x/y.txt": "new plugin\n"}

    def run_host_mode(self, mode, version, manifest_url, timeout=150):
        """The test host in a mode that holds lib.dll; the run is over once every program of
        it (host, updater, archiver, run target) has let go of the traced stderr."""
        self.log = self.app / "host.log"
        argv = ["wine", str(e2e.ARGS.bin / "test_host.exe"),
                self.windows_path(self.app / "updater.exe"), version, manifest_url,
                self.windows_path(self.log), self.windows_path(self.app / "data.txt"), mode,
                self.windows_path(self.app / HELD)]
        for attempt in range(1, desktop.DESKTOP_ATTEMPTS + 1):
            self.log.unlink(missing_ok=True)
            (self.app / "App.exe.ran").unlink(missing_ok=True)
            self._settle()
            first = self._next_second()
            started = time.monotonic()
            env = e2e.ENV["prefix"].env(extra={"WINEDEBUG": desktop.WINEDEBUG,
                                               "DISPLAY": e2e.ENV["display"].display})
            process = subprocess.Popen(argv, env=env, stdin=subprocess.DEVNULL,
                                       stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
            answerer = desktop.BoxAnswerer(e2e.ENV["display"], process.stderr, e2e.answer_yes)
            deadline = started + timeout
            while (process.poll() is None or answerer._reader.is_alive()) \
                    and time.monotonic() < deadline:
                answerer.poll()
                time.sleep(0.05)
            timed_out = time.monotonic() >= deadline
            if process.poll() is None:
                process.kill()
            process.wait()
            answerer.poll()
            answerer.finish()
            seconds = time.monotonic() - started
            e2e.ENV["last_second"] = int(time.time())
            if timed_out:
                desktop.keep_wine_on_display(e2e.ENV["prefix"], e2e.ENV["display"])
            self.assertFalse(timed_out, "the run did not end in time")
            if attempt < desktop.DESKTOP_ATTEMPTS and desktop.desktop_failed(answerer.stderr):
                continue
            break
        result = desktop.RunResult(process.returncode, answerer.boxes, answerer.stderr,
                                   answerer.watched_windows, timed_out)
        result.seconds = seconds
        result.work = self._work_folder(first, int(time.time()))
        result.host_log = self.log.read_text(encoding="utf-8", errors="replace").splitlines()
        return result

    def serve_update(self, files):
        package = self.serve_archive("app.7z", files)
        return self.serve("update.xml", manifest("2.0", package=("app.7z", package)))

    def assertOldAppRan(self, before):
        self.assertEqual(digest(self.app), before)
        self.assertIn(f"data={e2e.OLD_DATA}", self.wait_for(self.app / "App.exe.ran"))


class HostTest(ApplyCase):
    def test_host_that_takes_5_s_to_exit_while_holding_a_file_gets_the_whole_update(self):
        result = self.run_host_mode("slow-exit", "1.0", self.serve_update(self.new_files()))
        self.assertBoxes(result, [QUESTION])
        self.assertEqual(result.host_log[-1], "host exits")
        self.assertEqual((self.app / HELD).read_text(), "new library\n")
        self.assertIn("data=version 2.0", self.wait_for(self.app / "App.exe.ran"))
        self.assertEqual(list(self.app.glob("UpdateBackup*")), [])

    def test_host_that_never_exits_keeps_the_old_application(self):
        url = self.serve_update(self.new_files())
        before = digest(self.app)
        result = self.run_host_mode("stay", "1.0", url)
        self.assertBoxes(result, [QUESTION, FAILED])
        self.assertEqual(result.host_log[-1], "updater exit=0")
        # The host's answer, then 1 s, then up to 30 s for it to end, then the retries.
        self.assertGreater(result.seconds, 31)
        self.assertOldAppRan(before)


class ArchiveTest(ApplyCase):
    def test_archives_that_cannot_be_unpacked_leave_the_folder_as_it_was(self):
        self.serve_archive("whole.7z", self.new_files())
        truncated = (self.web / "whole.7z").read_bytes()
        cases = {
            "truncated": self.serve("truncated.7z", truncated[:len(truncated) // 2]),
            "password": self.serve_archive("password.7z", self.new_files(), ["-psecret"]),
            "password and hidden names": self.serve_archive(
                "hidden.7z", self.new_files(), ["-psecret", "-mhe=on"]),
        }
        before = digest(self.app)
        for what, package in cases.items():
            with self.subTest(what):
                url = self.serve(f"{len(what)}.xml", manifest("2.0", package=("app.7z", package)))
                result = self.run_host_mode("slow-exit", "1.0", url)
                self.assertBoxes(result, [QUESTION, FAILED])
                # No password prompt waits for an answer: the run ends long before any limit.
                self.assertLess(result.seconds, 60)
                self.assertOldAppRan(before)


class FolderTest(ApplyCase):
    def test_package_adds_folders_replaces_files_and_leaves_the_rest(self):
        files = self.new_files()
        before = digest(self.app)
        result = self.run_host_mode("slow-exit", "1.0", self.serve_update(files))
        self.assertBoxes(result, [QUESTION])
        self.wait_for(self.app / "App.exe.ran")
        expected = dict(before)
        for rel, content in files.items():
            parts = rel.split("/")
            for depth in range(1, len(parts)):
                expected["/".join(parts[:depth])] = None
            data = content.read_bytes() if isinstance(content, pathlib.Path) else content.encode()
            expected[rel] = hashlib.sha256(data).hexdigest()
        self.assertEqual(digest(self.app), expected)

    def test_folder_that_runs_out_of_space_is_left_as_it_was(self):
        mount = e2e.ENV["work"] / "tmpfs" / self.name
        mount.mkdir(parents=True, exist_ok=True)
        done = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=6m", "tmpfs", str(mount)],
                              capture_output=True, text=True)
        if done.returncode != 0:
            self.skipTest(f"the machine refused a tmpfs mount: {done.stderr.strip()}")
        self.addCleanup(subprocess.run, ["umount", "-l", str(mount)], capture_output=True)
        self.app = mount
        shutil.copy(e2e.ARGS.bin / "updater.exe", self.app / "updater.exe")
        shutil.copy(e2e.ARGS.bin / "probe_app.exe", self.app / "App.exe")
        (self.app / "data.txt").write_text(e2e.OLD_DATA + "\n")
        self.fill_app()
        # Replaced and new files first, then more than the mount has left.
        files = {**self.new_files(), "zz/big.bin": os.urandom(5 << 20)}
        url = self.serve_update(files)
        before = digest(self.app)
        result = self.run_host_mode("slow-exit", "1.0", url)
        self.assertBoxes(result, [QUESTION, FAILED])
        self.assertOldAppRan(before)


@unittest.skipUnless(os.environ.get("UPDATER_APPLY_FIGURE"), "set UPDATER_APPLY_FIGURE=1 to time")
class FigureTest(ApplyCase):
    def test_time_of_a_100_mib_apply_of_2000_files(self):
        files = {f"data/{i % 20:02}/f{i:04}.bin": os.urandom(100 * 1024 * 1024 // 2000)
                 for i in range(2000)}
        url = self.serve_update(files)
        package = self.web / "app.7z"
        # Today's way: the archiver straight over a copy of the folder.
        straight = e2e.ENV["work"] / "apps" / f"{self.name}-straight"
        shutil.copytree(self.app, straight)
        self._settle()
        env = e2e.ENV["prefix"].env()
        started = time.monotonic()
        subprocess.run(["wine", str(straight / "7z.exe"), "x", self.windows_path(package),
                        f"-o{self.windows_path(straight)}\\", "-aoa", "-y"], env=env,
                       check=True, capture_output=True, timeout=600)
        straight_seconds = time.monotonic() - started
        # The updater: from the host's end to the run target's start (download and host
        # excluded), unpacking into the stage and swapping in.
        seen = {}

        def watch():
            last = pathlib.PurePath("data/19/f1999.bin")
            marks = {"unpacked": lambda: next(e2e.ENV["prefix"].temp_dir().glob(
                         f"UpdateTemp*/stage/{last}"), None),
                     "swapped": lambda: (self.app / last).exists() or None,
                     "started": lambda: (self.app / "App.exe.ran").exists() or None}
            while len(seen) < len(marks) and not done:
                for name, check in marks.items():
                    if name not in seen and check():
                        seen[name] = time.time()
                time.sleep(0.02)
        done = False
        watcher = threading.Thread(target=watch)
        watcher.start()
        try:
            result = self.run_host_mode("slow-exit", "1.0", url, timeout=900)
            self.wait_for(self.app / "App.exe.ran")
        finally:
            done = True
            watcher.join()
        self.assertBoxes(result, [QUESTION])
        host_gone = (self.app / "host.log").stat().st_mtime
        staged_seconds = (self.app / "App.exe.ran").stat().st_mtime - host_gone
        phases = ", ".join(f"{name} +{at - host_gone:.2f} s" for name, at in seen.items())
        self.assertEqual(digest(self.app)["data/19/f1999.bin"],
                         hashlib.sha256(files["data/19/f1999.bin"]).hexdigest())
        print(f"\n{self.id()}: archive {package.stat().st_size / 2**20:.1f} MiB, 2000 files: "
              f"straight over the folder {straight_seconds:.2f} s, staged and swapped "
              f"{staged_seconds:.2f} s ({phases})", file=sys.stderr, flush=True)


if __name__ == "__main__":
    e2e.ARGS, argv = e2e.parse_args()
    unittest.main(argv=argv, verbosity=2)
