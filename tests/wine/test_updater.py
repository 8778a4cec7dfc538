#!/usr/bin/env python3
"""updater.exe end to end under Wine: a test host starts it, nginx serves the manifests and
packages, a real 7z.exe unpacks, and the message boxes are read and answered on Xvfb.

  test_updater.py --bin <build>/bin --work <scratch folder> [--seven-zip <7z.exe>] [unittest args]

Every test makes its own application folder (updater.exe, 7z.exe, App.exe, data.txt) and its
own folder on the web server. One Wine prefix, one Xvfb and one nginx serve the whole module.
"""

import argparse
import os
import pathlib
import re
import shutil
import subprocess
import sys
import time
import unittest
from xml.sax.saxutils import escape

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
import desktop  # noqa: E402
import rig  # noqa: E402

QUESTION = desktop.Box("信息：", "发现新版本，是否立即更新？")
UP_TO_DATE = desktop.Box("信息：", "当前已经是最新版本，无需更新")
FAILED = desktop.Box("出错了：", "更新失败，请稍后重试")
PARAMETER_ERROR = desktop.Box("出错了：", "参数错误！")
# The window a package download shows after a second: not a box to answer.
PROGRESS_CAPTION = "正在更新"

OLD_DATA = "version 1.0"



def answer_yes(box):
    return desktop.YES if box.text == QUESTION.text else desktop.OK


def answer_no(box):
    return desktop.NO if box.text == QUESTION.text else desktop.OK


ARGS = None
ENV = {}  # filled by setUpModule: prefix, display, nginx, fault server


def parse_args():
    parser = argparse.ArgumentParser(add_help=False)
    parser.add_argument("--bin", required=True, type=pathlib.Path)
    parser.add_argument("--work", type=pathlib.Path,
                        default=pathlib.Path(os.environ.get("TMPDIR", "/tmp")) / "updater-e2e")
    parser.add_argument("--seven-zip", default="")
    args, rest = parser.parse_known_args()
    return args, [sys.argv[0], *rest]


def find_seven_zip(given):
    """7z.exe as scripts/build-7zip.sh leaves it, unless a path is given."""
    if given:
        return pathlib.Path(given)
    cache = os.environ.get("UPDATER_CACHE") or os.path.expanduser("~/.cache/updater")
    return pathlib.Path(cache) / "7zip" / "7z.exe"


def setUpModule():
    work = ARGS.work.resolve()
    for program in ("updater.exe", "test_host.exe", "probe_app.exe", "slow_archiver.exe"):
        if not (ARGS.bin / program).is_file():
            raise RuntimeError(f"{ARGS.bin / program} is missing: build the windows preset")
    if not shutil.which("7zz"):
        raise RuntimeError("7zz (Debian's 7zip) is missing: run scripts/install-deps.sh")
    for stale in ("www", "apps", "staging"):
        shutil.rmtree(work / stale, ignore_errors=True)
        (work / stale).mkdir(parents=True)
    prefix = rig.WinePrefix(work / "prefix")
    prefix.ensure()
    display = desktop.VirtualDisplay()
    desktop.keep_wine_on_display(prefix, display)
    nginx = rig.Nginx(work / "www", work / "nginx")
    fault = rig.FaultServer()
    try:
        nginx.__enter__()
        fault.__enter__()
    except Exception:
        display.stop()
        raise
    ENV.update(work=work, prefix=prefix, display=display, nginx=nginx, fault=fault,
               last_second=0)


def tearDownModule(servers=("fault", "nginx")):
    for name in servers:
        if name in ENV:
            ENV[name].__exit__(None, None, None)
    if "display" in ENV:
        ENV["display"].stop()
    if "prefix" in ENV:
        ENV["prefix"].wineserver_kill()


def manifest(version, type_="0", run="App.exe", install=None, exe=None, exe_ex=None,
             package=None, root="config"):
    """update.xml text; install, exe, exe_ex and package are (name, url) pairs.

    package stands for both UpdateExe and UpdateExeEx, whatever the version step."""
    exe, exe_ex = exe or package, exe_ex or package
    def attr(value):
        return escape(value, {'"': "&quot;"})

    lines = ['<?xml version="1.0" encoding="utf-8"?>', f"<{root}>",
             f'  <update version="{attr(version)}" type="{attr(type_)}" run="{attr(run)}"/>']
    if install:
        lines.append(f'  <UpdateInstall name="{attr(install[0])}" url="{attr(install[1])}" '
                     'size="1"/>')
    for element, item in (("UpdateExe", exe), ("UpdateExeEx", exe_ex)):
        if item:
            lines.append(f'  <{element}><item name="{attr(item[0])}" url="{attr(item[1])}" '
                         f'size="1"/></{element}>')
    lines.append(f"</{root}>")
    return "\n".join(lines) + "\n"


class UpdaterCase(unittest.TestCase):
    """One application folder and one web folder per test; helpers to run and inspect."""

    def setUp(self):
        self.name = self.id().rsplit(".", 1)[-1]
        self.app = ENV["work"] / "apps" / self.name
        self.web = ENV["work"] / "www" / self.name
        self.app.mkdir(parents=True)
        self.web.mkdir(parents=True)
        shutil.copy(ARGS.bin / "updater.exe", self.app / "updater.exe")
        shutil.copy(ARGS.bin / "probe_app.exe", self.app / "App.exe")
        (self.app / "data.txt").write_text(OLD_DATA + "\n")

    # --- the application folder and the server ---

    def use_real_archiver(self):
        seven_zip = find_seven_zip(ARGS.seven_zip)
        if not seven_zip.is_file():
            self.fail(f"7z.exe for Windows not found at {seven_zip}: run scripts/build-7zip.sh "
                      "(or pass --seven-zip)")
        shutil.copy(seven_zip, self.app / "7z.exe")

    def use_slow_archiver(self):
        shutil.copy(ARGS.bin / "slow_archiver.exe", self.app / "7z.exe")

    def serve(self, rel, content):
        path = self.web / rel
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(content.encode() if isinstance(content, str) else content)
        return ENV["nginx"].url(f"{self.name}/{rel}")

    def serve_archive(self, rel, files, options=()):
        """A 7z archive made with Debian's 7zz (and its options) from files {relative path:
        text or bytes}."""
        staging = ENV["work"] / "staging" / f"{self.name}-{rel.replace('/', '_')}"
        staging.mkdir(parents=True)
        for name, content in files.items():
            target = staging / name
            target.parent.mkdir(parents=True, exist_ok=True)
            if isinstance(content, pathlib.Path):
                shutil.copy(content, target)
            else:
                target.write_bytes(content.encode() if isinstance(content, str) else content)
        archive = staging.parent / (staging.name + ".archive.7z")
        subprocess.run(["7zz", "a", "-bd", "-y", *options, str(archive), *files.keys()],
                       cwd=staging, check=True, capture_output=True)
        return self.serve(rel, archive.read_bytes())

    def new_app_files(self, data="version 2.0"):
        return {"data.txt": data + "\n", "App.exe": ARGS.bin / "probe_app.exe",
                "docs/readme.txt": "new in 2.0\n"}

    def windows_path(self, path):
        return rig.WinePrefix.windows_path(path)

    # --- running ---

    def _next_second(self):
        # The work folder is named after the second the run starts in: keep runs apart.
        while int(time.time()) <= ENV["last_second"]:
            time.sleep(0.05)
        return int(time.time())

    def _settle(self):
        """Waits until the programs of the previous run have ended, Wine's desktop process
        (explorer.exe) included, and a moment more. Wine ends the desktop a second or two
        after the last program; a program that starts while it winds down gets no window
        at all: its host window and its boxes fail at once."""
        names = ("updater.exe", "test_host.exe", "App.exe", "Setup.exe", "7z.exe", "conhost.exe",
                 "explorer.exe")
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline:
            listing = subprocess.run(["ps", "-eo", "stat=,comm="], capture_output=True,
                                     text=True).stdout.splitlines()
            live = [line for line in listing
                    if len(line.split()) == 2 and not line.split()[0].startswith("Z")
                    and line.split()[1] in names]
            if not live:
                break
            time.sleep(0.1)
        time.sleep(float(os.environ.get("UPDATER_E2E_SETTLE", "0.5")))

    def _run(self, argv, answer, timeout, before=None, **watch):
        """Runs argv once, or again (DESKTOP_ATTEMPTS runs in all) while Wine's desktop fails.

        A run whose windows all failed because Wine's desktop came up without a display driver
        says nothing about the updater, so it is made again from the same state; before()
        restores what a run changes first."""
        watch.setdefault("ignore_captions", (PROGRESS_CAPTION,))
        for attempt in range(1, desktop.DESKTOP_ATTEMPTS + 1):
            if before:
                before()
            self._settle()
            first = self._next_second()
            env = ENV["prefix"].env(extra={"WINEDEBUG": desktop.WINEDEBUG})
            result = desktop.run_answering(ENV["display"], argv, env, answer,
                                           watch_classes=("conhost.exe",), timeout=timeout,
                                           **watch)
            last = int(time.time())
            ENV["last_second"] = last
            if result.timed_out:
                # Programs that the run started may still show boxes: start the session afresh.
                desktop.keep_wine_on_display(ENV["prefix"], ENV["display"])
            self.assertFalse(result.timed_out, "the run did not end in time")
            if attempt < desktop.DESKTOP_ATTEMPTS and desktop.desktop_failed(result.stderr):
                print(f"\n{self.id()}: Wine's desktop did not start; running again",
                      file=sys.stderr, flush=True)
                continue
            break
        result.work = self._work_folder(first, last)
        return result

    def run_updater(self, launch_args, answer=answer_yes, timeout=60):
        """updater.exe on its own (no host): the launch string is launch_args joined by blanks."""
        result = self._run(["wine", str(self.app / "updater.exe"), *launch_args], answer,
                           timeout)
        self.assertEqual(result.returncode, 0, result.stderr)
        return result

    def run_host(self, version, manifest_url, answer=answer_yes, timeout=90, **watch):
        """The test host starts the updater with its own window handle in the launch string.

        watch goes to desktop.run_answering (ignore_captions, during)."""
        self.log = self.app / "host.log"
        argv = ["wine", str(ARGS.bin / "test_host.exe"),
                self.windows_path(self.app / "updater.exe"), version, manifest_url,
                self.windows_path(self.log), self.windows_path(self.app / "data.txt")]
        result = self._run(argv, answer, timeout,
                           before=lambda: self.log.unlink(missing_ok=True), **watch)
        log = (self.log.read_text(encoding="utf-8", errors="replace").splitlines()
               if self.log.is_file() else [])
        self.assertEqual(log[-1:], ["updater exit=0"], "\n".join(log) + result.stderr)
        self.assertEqual(result.returncode, 0)
        result.notices = [line for line in log if line.startswith("0x467")]
        return result

    def _work_folder(self, first, last):
        temp = ENV["prefix"].temp_dir()
        for second in range(first, last + 1):
            folder = temp / f"UpdateTemp{second}"
            if folder.is_dir():
                return folder
        return None

    def wait_for(self, path, seconds=15):
        """The run target and the installer run on after the updater: give them a moment."""
        deadline = time.monotonic() + seconds
        while not path.exists() and time.monotonic() < deadline:
            time.sleep(0.1)
        self.assertTrue(path.exists(), f"{path} never appeared")
        time.sleep(0.2)  # let the writer finish its line
        return path.read_text(encoding="utf-8", errors="replace")

    def assertBoxes(self, result, expected):
        self.assertEqual([(b.caption, b.text) for b in result.boxes],
                         [(b.caption, b.text) for b in expected])

    def assertAppUnchanged(self):
        self.assertEqual((self.app / "data.txt").read_text(), OLD_DATA + "\n")
        self.assertFalse((self.app / "docs").exists())


class LaunchStringTest(UpdaterCase):
    def test_parameter_errors_show_the_error_box_and_write_nothing(self):
        for launch in ([], ["2.0#123"]):
            with self.subTest(launch=launch):
                result = self.run_updater(launch)
                self.assertBoxes(result, [PARAMETER_ERROR])
                self.assertIsNone(result.work)


class ManifestOutcomeTest(UpdaterCase):
    def test_up_to_date_keeps_the_manifest_and_never_notifies(self):
        url = self.serve("update.xml", manifest("2.0", exe=("app.7z", "http://127.0.0.1:1/x")))
        result = self.run_host("2.0", url)
        self.assertBoxes(result, [UP_TO_DATE])
        self.assertEqual(result.notices, [])
        self.assertTrue((result.work / "update.xml").is_file())

    def test_unusable_manifests_show_the_failure_box(self):
        package = ("app.7z", ENV["fault"].url("ok?size=10"))
        cases = {
            "missing (404)": ENV["nginx"].url(f"{self.name}/nowhere.xml"),
            "malformed": self.serve("malformed.xml", manifest("2.0", exe=package)[:-30]),
            "wrong root": self.serve("wrongroot.xml", manifest("2.0", exe=package,
                                                               root="Config")),
            "no update": self.serve("noupdate.xml", "<config><UpdateExe/></config>"),
            "needs UpdateExeEx, has UpdateExe": self.serve("onlyexe.xml",
                                                           manifest("9.0", exe=package)),
            "unreachable server": f"http://127.0.0.1:{rig.free_port()}/update.xml",
        }
        for what, url in cases.items():
            with self.subTest(what):
                result = self.run_host("1.0", url)
                self.assertBoxes(result, [FAILED])
                self.assertEqual(result.notices, [])
        self.assertAppUnchanged()
        # The package was never fetched.
        self.assertFalse(any("/ok" in r.target for r in ENV["fault"].requests))


class ArchiveUpdateTest(UpdaterCase):
    def test_yes_notifies_the_host_unpacks_and_starts_the_run_target(self):
        self.use_real_archiver()
        package = self.serve_archive("app.7z", self.new_app_files())
        url = self.serve("update.xml", manifest("2.0", exe=("app.7z", package)))
        result = self.run_host("1.9", url)

        self.assertBoxes(result, [QUESTION])
        # One notice, sent while the application folder still held the old files.
        self.assertEqual(result.notices, [f"0x467 wParam=0 lParam=0 watched={OLD_DATA}\\n"])
        ran = self.wait_for(self.app / "App.exe.ran")
        self.assertIn("data=version 2.0", ran)
        self.assertEqual((self.app / "data.txt").read_text(), "version 2.0\n")
        self.assertEqual((self.app / "docs" / "readme.txt").read_text(), "new in 2.0\n")
        # The unpacked package is deleted; the manifest and the log stay in the work folder.
        self.assertTrue((result.work / "update.xml").is_file())
        self.assertTrue((result.work / "update.log").is_file())
        self.assertFalse((result.work / "app.7z").exists())
        self.assertEqual(result.watched_windows, set(), "a console window showed")

    def test_archiver_runs_hidden_with_its_command_line_and_is_waited_for(self):
        # The slow archiver ends its primary thread at once and writes data.txt later.
        self.use_slow_archiver()
        url = self.serve("update.xml", manifest(
            "2.0", package=("app.7z", self.serve("app.7z", b"not really an archive"))))
        result = self.run_host("1.9", url)

        self.assertBoxes(result, [QUESTION])
        calls = (self.app / "7z-calls.log").read_text(encoding="utf-8").splitlines()
        self.assertEqual(len(calls), 1)
        command = re.fullmatch(r'7z x "(.*)" -o"(.*)" -aoa -y', calls[0])
        self.assertIsNotNone(command, calls[0])
        package, out_folder = command.groups()
        self.assertRegex(package, r"^C:\\users\\[^\\]+\\Temp\\UpdateTemp\d+\\app\.7z$")
        # Unpacked into the work folder's staging folder, then moved into the application folder.
        self.assertEqual(out_folder, package[:-len("app.7z")] + "stage\\")
        # The run target started only once the archiver's process had ended.
        self.assertIn("data=unpacked by the slow archiver", self.wait_for(self.app / "App.exe.ran"))
        self.assertEqual(result.watched_windows, set(), "the archiver's console showed")

    def test_version_step_chooses_between_update_exe_and_update_exe_ex(self):
        self.use_real_archiver()
        small = self.serve_archive("small.7z", {"data.txt": "from UpdateExe\n"})
        full = self.serve_archive("full.7z", {"data.txt": "from UpdateExeEx\n"})
        # 1.3 - 1.0 is a little more than 0.3; 2.3 - 2.0 a little less.
        for current, offered, expected in (("1.0", "1.3", "from UpdateExeEx"),
                                           ("2.0", "2.3", "from UpdateExe")):
            with self.subTest(current=current, offered=offered):
                (self.app / "data.txt").write_text(OLD_DATA + "\n")
                url = self.serve(f"update-{current}.xml", manifest(
                    offered, exe=("small.7z", small), exe_ex=("full.7z", full)))
                result = self.run_host(current, url)
                self.assertBoxes(result, [QUESTION])
                self.assertEqual((self.app / "data.txt").read_text(), expected + "\n")

    def test_package_names_with_sub_folders(self):
        self.use_real_archiver()
        package = self.serve_archive("app.7z", self.new_app_files())
        # The long name makes the archiver's command line longer than 1024 characters.
        long_name = "pkg\\" + "\\".join(["d" * 200] * 5) + "\\app.7z"
        for name in ("pkg\\app.7z", long_name):
            with self.subTest(length=len(name)):
                (self.app / "data.txt").write_text(OLD_DATA + "\n")
                (self.app / "App.exe.ran").unlink(missing_ok=True)
                url = self.serve(f"update-{len(name)}.xml", manifest("2.0", package=(name, package)))
                result = self.run_host("1.0", url)
                self.assertBoxes(result, [QUESTION])
                # Stored under its sub-folder, then deleted once unpacked.
                self.assertTrue((result.work / name.replace("\\", "/")).parent.is_dir())
                self.assertEqual((self.app / "data.txt").read_text(), "version 2.0\n")
                self.wait_for(self.app / "App.exe.ran")


class InstallerUpdateTest(UpdaterCase):
    def test_yes_starts_the_installer_from_the_work_folder(self):
        self.use_slow_archiver()  # records any call, so an unwanted unpack would show
        installer = self.serve("Setup.exe", (ARGS.bin / "probe_app.exe").read_bytes())
        url = self.serve("update.xml", manifest(
            "2.0", type_="1", install=("Setup.exe", installer),
            exe=("app.7z", ENV["fault"].url("status/404"))))
        result = self.run_host("1.0", url)

        self.assertBoxes(result, [QUESTION])
        self.assertEqual(result.notices, [f"0x467 wParam=0 lParam=0 watched={OLD_DATA}\\n"])
        self.wait_for(result.work / "Setup.exe.ran")
        self.assertFalse((self.app / "7z-calls.log").exists())
        self.assertAppUnchanged()
        self.assertFalse((self.app / "App.exe.ran").exists())


class RefusalAndFailureTest(UpdaterCase):
    def test_no_ends_the_run_without_another_box(self):
        self.use_slow_archiver()
        package_url = ENV["fault"].url("ok?size=64&refused=1")
        url = self.serve("update.xml", manifest("2.0", package=("app.7z", package_url)))
        result = self.run_host("1.0", url, answer=answer_no)

        self.assertBoxes(result, [QUESTION])
        self.assertEqual(result.notices, [])
        self.assertEqual((result.work / "update.xml").read_text(), (self.web / "update.xml").read_text())
        self.assertFalse((result.work / "app.7z").exists())
        self.assertFalse(any("refused=1" in r.target for r in ENV["fault"].requests))
        self.assertFalse((self.app / "7z-calls.log").exists())

    def test_package_that_fails_to_download_shows_the_failure_box(self):
        self.use_slow_archiver()
        for what, package_url in (("404", ENV["nginx"].url("nowhere.7z")),
                                  ("cut short", ENV["fault"].url("short?size=5000&send=100"))):
            with self.subTest(what):
                url = self.serve(f"update-{what[:3]}.xml",
                                 manifest("2.0", package=("app.7z", package_url)))
                result = self.run_host("1.0", url)
                self.assertBoxes(result, [QUESTION, FAILED])
                self.assertEqual(result.notices, [])
        self.assertFalse((self.app / "7z-calls.log").exists())
        self.assertAppUnchanged()

    def test_package_names_that_leave_the_work_folder_are_refused(self):
        self.use_slow_archiver()
        temp = ENV["prefix"].temp_dir()
        drive_c = ENV["prefix"].path / "drive_c"
        names = ("..\\escaped.7z", "pkg/../../escaped.7z", "C:\\escaped.7z", "\\escaped.7z",
                 "/escaped.7z", "\\\\127.0.0.1\\share\\escaped.7z", "a:b.7z")
        for name in names:
            with self.subTest(name=name):
                package_url = ENV["fault"].url(f"ok?size=64&escape={len(name)}")
                url = self.serve(f"update-{len(name)}.xml",
                                 manifest("2.0", package=(name, package_url)))
                result = self.run_host("1.0", url)
                self.assertBoxes(result, [FAILED])
                self.assertEqual(result.notices, [])
        self.assertFalse(any("escape=" in r.target for r in ENV["fault"].requests))
        self.assertEqual(list(temp.glob("escaped.7z")) + list(drive_c.rglob("escaped.7z")), [])
        self.assertFalse((self.app / "7z-calls.log").exists())
        self.assertAppUnchanged()


if __name__ == "__main__":
    ARGS, argv = parse_args()
    unittest.main(argv=argv, verbosity=2)
