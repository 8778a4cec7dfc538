#!/usr/bin/env python3
"""How long the updater takes to put a large archive in place under Wine, against 7-Zip
unpacking the same archive straight over a copy of the application folder.

  run_apply_timing.py --bin <windows build>/bin [--work DIR] [--seven-zip <7z.exe>]
                      [--files 2000] [--size-mib 100]

Runs on the end-to-end rig of tests/wine (a Wine prefix, Xvfb, nginx, the test host that
closes on 0x467). Prints the straight unpack, and for the updater the time from the host's end
to the run target's start, with the moments the stage was complete and the swap done.
"""

import argparse
import hashlib
import os
import pathlib
import shutil
import subprocess
import sys
import threading
import time

ROOT = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tests" / "wine"))
import test_updater as e2e  # noqa: E402


class ApplyTiming(e2e.UpdaterCase):
    files = 2000
    size = 100 << 20

    def runTest(self):
        files = {f"data/{i % 20:02}/f{i:04}.bin": os.urandom(self.size // self.files)
                 for i in range(self.files)}
        last = pathlib.PurePath(sorted(files)[-1])
        self.use_real_archiver()
        package = self.serve_archive("app.7z", files)
        url = self.serve_update(package)
        archive = self.web / "app.7z"

        straight = e2e.ENV["work"] / "apps" / f"{self.name}-straight"
        shutil.copytree(self.app, straight)
        self._settle()
        started = time.monotonic()
        subprocess.run(["wine", str(straight / "7z.exe"), "x", self.windows_path(archive),
                        f"-o{self.windows_path(straight)}\\", "-aoa", "-y"],
                       env=e2e.ENV["prefix"].env(), check=True, capture_output=True, timeout=600)
        straight_seconds = time.monotonic() - started

        seen, done = {}, threading.Event()
        marks = {"unpacked": lambda: next(e2e.ENV["prefix"].temp_dir().glob(
                     f"UpdateTemp*/stage/{last}"), None),
                 "swapped": lambda: (self.app / last).exists() or None,
                 "started": lambda: (self.app / "App.exe.ran").exists() or None}

        def watch():
            while len(seen) < len(marks) and not done.is_set():
                for name, check in marks.items():
                    if name not in seen and check():
                        seen[name] = time.time()
                time.sleep(0.02)
        watcher = threading.Thread(target=watch)
        watcher.start()
        try:
            self.run_host("1.0", url, timeout=900)
            self.wait_for(self.app / "App.exe.ran")
        finally:
            done.set()
            watcher.join()
        self.assertEqual(hashlib.sha256((self.app / last).read_bytes()).digest(),
                         hashlib.sha256(files[last.as_posix()]).digest())
        host_gone = (self.app / "host.log").stat().st_mtime
        staged = (self.app / "App.exe.ran").stat().st_mtime - host_gone
        phases = ", ".join(f"{name} +{at - host_gone:.2f} s" for name, at in seen.items())
        print(f"archive {archive.stat().st_size / 2**20:.1f} MiB, {self.files} files: "
              f"straight over the folder {straight_seconds:.2f} s, staged and swapped "
              f"{staged:.2f} s ({phases})", flush=True)


def main():
    e2e.ARGS, rest = e2e.parse_args()
    parser = argparse.ArgumentParser()
    parser.add_argument("--files", type=int, default=ApplyTiming.files)
    parser.add_argument("--size-mib", type=int, default=ApplyTiming.size >> 20)
    options = parser.parse_args(rest[1:])
    ApplyTiming.files, ApplyTiming.size = options.files, options.size_mib << 20
    if e2e.ARGS.work.name == "updater-e2e":
        e2e.ARGS.work = e2e.ARGS.work.with_name("updater-apply-timing")
    e2e.setUpModule()
    try:
        outcome = ApplyTiming().run()
    finally:
        e2e.tearDownModule()
    for _, trace in outcome.errors + outcome.failures:
        print(trace, file=sys.stderr)
    return 0 if outcome.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
