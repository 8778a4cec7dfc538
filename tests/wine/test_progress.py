#!/usr/bin/env python3
"""updater.exe under Wine: the progress window and its Cancel, old work folders on a real
disk, one updater at a time, and the English texts (the other suites read the Chinese ones).

  test_progress.py --bin <build>/bin --work <scratch folder> [--seven-zip <7z.exe>] [unittest args]

Runs on test_updater.py's rig (one Wine prefix, Xvfb, nginx and the fault server) and helpers.
"""

import os
import pathlib
import re
import subprocess
import sys
import time
import unittest

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import test_updater as base  # noqa: E402
from test_updater import ENV, FAILED, PROGRESS_CAPTION, QUESTION, manifest  # noqa: E402

PROGRESS_CLASS = "UpdaterProgress"
SIZE_TEXT = re.compile(r"\d+\.\d MB / \d+\.\d MB")
# What the progress window is made of, in order: read by its class, as a screen reader would.
CHILDREN = ["Static", "msctls_progress32", "Static", "Button"]


def setUpModule():
    base.setUpModule()


def tearDownModule():
    base.tearDownModule()


def wine(program, *args, stderr=subprocess.DEVNULL):
    env = ENV["prefix"].env(display=ENV["display"].display,
                            extra={"WINEDEBUG": base.desktop.WINEDEBUG})
    return subprocess.Popen(["wine", str(program), *args], env=env, stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=stderr)


class ProgressWatcher:
    """Called on each round of a run: finds the progress window on the display, reads it by
    its class with window_probe.exe, runs extra(display) once, then presses key in it (again
    each second until it has gone) and times how long it took to go."""

    def __init__(self, case, key=None, extra=None, caption=PROGRESS_CAPTION):
        self.report_path = case.app / "progress-window.txt"
        self.report_path.unlink(missing_ok=True)
        self.key, self.extra, self.caption = key, extra, caption
        self.seen = self.probe = self.pressed = self.gone = None

    def windows(self, display):
        return [w for w in display.visible_windows("updater.exe")
                if display.window_name(w) == self.caption]

    def __call__(self, display):
        windows = self.windows(display)
        now = time.monotonic()
        if windows and self.seen is None:
            self.seen = now
            self.probe = wine(base.ARGS.bin / "window_probe.exe", PROGRESS_CLASS,
                              base.rig.WinePrefix.windows_path(self.report_path), "20")
        if self.seen is None or self.probe.poll() is None or self.gone is not None:
            return
        if self.extra:
            self.extra(display)
            self.extra = None
        if not windows:
            if self.pressed is not None:
                self.gone = now
            return
        if self.key and (self.pressed is None or now - self.pressed > 1):
            self.pressed = time.monotonic()
            display.press(windows[0], self.key)
            # Watched closely for a moment: the run may end before the next round.
            while time.monotonic() - self.pressed < 1.5:
                if windows[0] not in display.visible_windows("updater.exe"):
                    self.gone = time.monotonic()
                    return
                time.sleep(0.02)

    def ended(self):
        """The run has ended: a window still seen in the last round went with it."""
        if self.pressed is not None and self.gone is None:
            self.gone = time.monotonic()

    def looks(self):
        """The probe's two looks: [(caption, owner, [(class, text or pos)])]."""
        text = self.report_path.read_text(encoding="utf-8")
        looks = []
        for line in text.splitlines():
            if line.startswith("caption="):
                caption, owner = re.fullmatch(r"caption=(.*) owner=(-?\d+)", line).groups()
                looks.append((caption, int(owner), []))
            elif line.startswith("child class="):
                cls, _, value = line[len("child class="):].partition(" ")
                looks[-1][2].append((cls, value.split("=", 1)[1]))
        return looks


class ProgressWindowTest(base.UpdaterCase):
    def test_progress_window_while_downloading_and_cancel_applies_nothing(self):
        self.use_slow_archiver()  # records any call, so an unwanted unpack would show
        cases = (
            # Esc while the read waits for data that never comes.
            ("Escape", "stall?size=3000000&case=esc", False),
            # The button (space presses the focused button) while the package trickles in.
            ("space", "throttle?size=6000000&rate=150000&case=button", True),
            # Closing the window (Alt+F4 becomes WM_CLOSE).
            ("alt+F4", "throttle?size=6000000&rate=150000&case=close", True),
        )
        for key, route, moving in cases:
            with self.subTest(key=key):
                url = self.serve(f"update-{key}.xml", manifest(
                    "2.0", package=("app.7z", ENV["fault"].url(route))))
                watcher = ProgressWatcher(self, key)
                result = self.run_host("1.0", url, timeout=120, during=watcher)
                watcher.ended()

                self.assertBoxes(result, [QUESTION])
                self.assertEqual(result.notices, [])
                self.assertIsNotNone(watcher.gone, "the progress window never closed")
                self.assertLess(watcher.gone - watcher.pressed, 1.0)
                looks = watcher.looks()
                self.assertEqual(len(looks), 2, looks)
                for caption, owner, children in looks:
                    self.assertEqual(caption, PROGRESS_CAPTION)
                    self.assertEqual(owner, self.host_window())
                    self.assertEqual([cls for cls, _ in children], CHILDREN)
                    self.assertEqual(children[0][1], "正在下载更新…")
                    self.assertRegex(children[2][1], SIZE_TEXT)
                    self.assertEqual(children[3][1], "取消")
                # A trickling download redraws; a stalled one stays where it was.
                first, second = looks[0][2][1][1], looks[1][2][1][1]
                self.assertEqual(first != second, moving, (first, second))
                self.assertFalse((result.work / "app.7z").exists())
                self.assertStepsInOrder(self.update_log(result), [
                    "package download cancelled by the user; partial package deleted",
                    "outcome: cancelled, nothing applied"])
        self.assertFalse((self.app / "7z-calls.log").exists())
        self.assertAppUnchanged()


class WorkFolderTest(base.UpdaterCase):
    def test_old_work_folders_go_and_a_missing_manifest_leaves_just_the_log(self):
        temp = ENV["prefix"].temp_dir()
        eight_days_ago = time.time() - 8 * 24 * 3600
        folders = {"UpdateTemp17": False, "UpdateTemp18-2": False, "UpdateTemp19": True,
                   "UpdateTempOld": True}  # name: stays
        for name, stays in folders.items():
            (temp / name / "pkg").mkdir(parents=True, exist_ok=True)
            (temp / name / "pkg" / "app.7z").write_bytes(b"old")
            if name != "UpdateTemp19":
                os.utime(temp / name, (eight_days_ago, eight_days_ago))
        url = ENV["nginx"].url(f"{self.name}/nowhere.xml")
        result = self.run_host("1.0", url)

        self.assertBoxes(result, [FAILED])
        self.assertEqual({name: (temp / name).exists() for name in folders}, folders)
        self.assertEqual([p.name for p in result.work.iterdir()], ["update.log"])
        self.assertStepsInOrder(self.update_log(result), [
            "removed old work folder C:\\users\\", "work folder ",
            f"manifest {url}: HTTP 404, length ", "failed: NotFound", "outcome: failed"])


class OneUpdaterAtATimeTest(base.UpdaterCase):
    def test_a_second_updater_for_the_same_folder_ends_at_once_and_silently(self):
        self.use_slow_archiver()
        url = self.serve("update.xml", manifest(
            "2.0", package=("app.7z", ENV["fault"].url("stall?size=3000000&case=second"))))
        second_manifest = ENV["fault"].url("ok?size=10&second=1")
        second = {}

        def start_second(display):
            # The same folder spelt in other letter case: Wine finds it all the same. With an
            # option field the exit code says that another updater runs.
            exe = base.rig.WinePrefix.windows_path(self.app / "updater.exe")
            for options in ("", "#silent"):
                process = wine(exe.upper(), f"1.0#0#{second_manifest}{options}",
                               stderr=subprocess.PIPE)
                _, stderr = process.communicate(timeout=60)
                second[options] = (process.returncode,
                                   base.desktop.box_texts(stderr.decode("utf-8", "replace")))

        watcher = ProgressWatcher(self, "Escape", extra=start_second)
        result = self.run_host("1.0", url, timeout=120, during=watcher)
        watcher.ended()
        self.assertEqual(second, {"": (0, []), "#silent": (3, [])})
        self.assertFalse(any("second=1" in r.target for r in ENV["fault"].requests))
        self.assertBoxes(result, [QUESTION])
        self.assertEqual(len(list(ENV["prefix"].temp_dir().glob(result.work.name + "-*"))), 0)


class EnglishTest(base.UpdaterCase):
    def test_a_user_of_another_language_reads_english(self):
        self.use_real_archiver()  # which refuses the pattern bytes: the failure box follows
        url = self.serve("update.xml", manifest("2.0", package=(
            "app.7z", ENV["fault"].url("throttle?size=450000&rate=150000&case=english"))))
        question = base.desktop.Box("Information", "A new version is available. Update now?")
        watcher = ProgressWatcher(self, caption="Updating")
        result = self.run_host(
            "1.0", url, env={"LC_ALL": "en_US.UTF-8"}, during=watcher,
            ignore_captions=("Updating",), answer=lambda box: base.desktop.YES
            if box == question else base.desktop.OK)
        self.assertBoxes(result, [question, base.desktop.Box(
            "Error", "The update failed. Please try again later.")])
        caption, _, children = watcher.looks()[0]
        self.assertEqual((caption, children[0][1], children[3][1]),
                         ("Updating", "Downloading the update…", "Cancel"))
        self.assertRegex(children[2][1], SIZE_TEXT)


if __name__ == "__main__":
    base.ARGS, argv = base.parse_args()
    unittest.main(argv=argv, verbosity=2)
