#!/usr/bin/env python3
"""How long the updater takes to put a large archive in place under Wine, three ways in one
run, and how long a start takes to repair a folder after a kill in the middle of a swap.

  run_apply_timing.py --bin <windows build>/bin [--work DIR] [--seven-zip <7z.exe>]
                      [--baseline-updater <updater.exe that stages in the work folder>]
                      [--files 2000] [--size-mib 100]

Runs on the end-to-end rig of tests/wine (a Wine prefix, Xvfb, nginx, the test host that
closes on 0x467). Prints:
- straight: 7-Zip unpacking the archive straight over a copy of the application folder;
- work-folder stage: the baseline updater (given), host's end to the run target's start;
- beside the application: this updater, the same span (its stage, journal and swap; the
  health watch of the run target is not in it: the target has started by then);
- repair: a silent run killed right after its journal appeared, then the time of the next
  start (a check) until it ended, and the repair's own span from its log;
- each updater's unpack and swap from its update.log (the machine's other load shows here).
"""

import argparse
import datetime
import hashlib
import os
import pathlib
import re
import shutil
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tests" / "wine"))
import test_updater as e2e  # noqa: E402

BASELINE = None
STAMP = re.compile(r"^(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}) (.*)$")


class ApplyTiming(e2e.SwapTest):
    files = 2000
    size = 100 << 20

    def runTest(self):
        self.phases = []
        files = {f"data/{i % 20:02}/f{i:04}.bin": os.urandom(self.size // self.files)
                 for i in range(self.files)}
        last = pathlib.PurePath(sorted(files)[-1])
        self.use_real_archiver()
        url = self.serve_update(self.serve_archive("app.7z", files))
        archive = self.web / "app.7z"
        pristine = self.app.with_name(self.name + "-pristine")
        shutil.copytree(self.app, pristine)

        straight = self.app.with_name(self.name + "-straight")
        shutil.copytree(pristine, straight)
        self._settle()
        started = time.monotonic()
        subprocess.run(["wine", str(straight / "7z.exe"), "x", self.windows_path(archive),
                        f"-o{self.windows_path(straight)}\\", "-aoa", "-y"],
                       env=e2e.ENV["prefix"].env(), check=True, capture_output=True, timeout=600)
        figures = {"straight over the folder": time.monotonic() - started}

        if BASELINE:
            shutil.copy(BASELINE, self.app / "updater.exe")
            figures["stage in the work folder, swap"] = self.timed_update(url, files, last)
            shutil.rmtree(self.app)
            shutil.copytree(pristine, self.app)
        figures["stage beside the application, journal"] = self.timed_update(url, files, last)

        shutil.rmtree(self.app)
        shutil.copytree(pristine, self.app)
        self._kill_once_journalled(self.serve_update(e2e.ENV["nginx"].url(
            f"{self.name}/app.7z"), run=""), 0.3)
        self._settle()
        started = time.monotonic()
        e2e.ENV["prefix"].run(self.app / "updater.exe", [f"1.0#0#{url}#check"], timeout=600,
                              display=e2e.ENV["display"].display)
        figures["kill to repaired folder (a whole start)"] = time.monotonic() - started
        figures["the repair itself (update.log)"] = self.repair_span()
        self.assertEqual(list(self.app.glob("Update[BS]*")), [])

        size = archive.stat().st_size / 2**20
        print(f"archive {size:.1f} MiB, {self.files} files:", flush=True)
        base = figures["straight over the folder"]
        for name, seconds in figures.items():
            print(f"  {name:42} {seconds:7.2f} s  ({seconds / base:.2f}x straight)", flush=True)
        for phases in self.phases:
            print(f"  updater phases: unpack {phases['unpack']:.2f} s, swap "
                  f"{phases['swap']:.2f} s", flush=True)

    def timed_update(self, url, files, last):
        """Host's end to the run target's start."""
        self.run_host("1.0", url, timeout=900)
        self.wait_for(self.app / "App.exe.ran")
        self.assertEqual(hashlib.sha256((self.app / last).read_bytes()).digest(),
                         hashlib.sha256(files[last.as_posix()]).digest())
        host_gone = (self.app / "host.log").stat().st_mtime
        self.phases.append(self.log_phases())
        return (self.app / "App.exe.ran").stat().st_mtime - host_gone

    def newest_log(self):
        newest = max(e2e.ENV["prefix"].temp_dir().glob("UpdateTemp*"),
                     key=lambda p: p.stat().st_mtime)
        for line in (newest / "update.log").read_text(encoding="utf-8").splitlines():
            found = STAMP.match(line)
            if found:
                yield (datetime.datetime.strptime(found.group(1), "%Y-%m-%d %H:%M:%S.%f"),
                       found.group(2))

    def log_phases(self):
        """Seconds of the unpack and of the swap, from update.log."""
        at = {}
        for when, text in self.newest_log():
            # The first "unpack: " line is the archiver's command line.
            for name, start in (("unpack", "unpack: "), ("unpacked", "unpack: exit code")):
                if text.startswith(start) and name not in at:
                    at[name] = when
            if text.startswith("swap: ") and text.endswith(" in place"):
                at["swapped"] = when
        return {"unpack": (at["unpacked"] - at["unpack"]).total_seconds(),
                "swap": (at["swapped"] - at["unpacked"]).total_seconds()}

    def repair_span(self):
        """From the first repair line of the newest work folder's log to the last."""
        times = [when for when, text in self.newest_log()
                 if text.startswith(("repair", "rollback"))]
        return (times[-1] - times[0]).total_seconds() if times else float("nan")


def main():
    global BASELINE
    e2e.ARGS, rest = e2e.parse_args()
    parser = argparse.ArgumentParser()
    parser.add_argument("--files", type=int, default=ApplyTiming.files)
    parser.add_argument("--size-mib", type=int, default=ApplyTiming.size >> 20)
    parser.add_argument("--baseline-updater", type=pathlib.Path)
    options = parser.parse_args(rest[1:])
    ApplyTiming.files, ApplyTiming.size = options.files, options.size_mib << 20
    BASELINE = options.baseline_updater
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
