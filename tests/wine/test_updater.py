#!/usr/bin/env python3
"""updater.exe end to end under Wine: a test host starts it, nginx serves the manifests and
packages, a real 7z.exe unpacks, and the message boxes are read and answered on Xvfb.

  test_updater.py --bin <build>/bin --work <scratch folder> [--seven-zip <7z.exe>] [unittest args]

What only Wine can show is run here; the choices the run makes are the native tests' job. The
runs are one table of scenarios (SCENARIOS): what to serve, how the host behaves, what the user
answers, and what must follow. Every case makes its own application folder (updater.exe,
7z.exe, App.exe, data.txt, a library the host may hold, files no package holds) and its own
folder on the web server. One Wine prefix, one Xvfb, nginx and the fault server serve the
module; test_trust.py and test_progress.py run on the same rig.
"""

import argparse
import hashlib
import os
import pathlib
import re
import shutil
import subprocess
import sys
import time
import unittest
from dataclasses import dataclass
from typing import Callable
from xml.sax.saxutils import escape

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
import desktop  # noqa: E402
import rig  # noqa: E402

QUESTION = desktop.Box("信息：", "发现新版本，是否立即更新？")
UP_TO_DATE = desktop.Box("信息：", "当前已经是最新版本，无需更新")
FAILED = desktop.Box("出错了：", "更新失败，请稍后重试")
# The window a package download shows after a second: not a box to answer.
PROGRESS_CAPTION = "正在更新"
STAMP = re.compile(r"^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} ")

OLD_DATA = "version 1.0"
HELD = "lib.dll"
# What the test programs write into the application folder themselves.
RIG_FILES = {"host.log", "App.exe.ran", "7z-calls.log"}


def answer_yes(box):
    return desktop.YES if box.text.startswith(QUESTION.text) else desktop.OK


def answer_no(box):
    return desktop.NO if box.text.startswith(QUESTION.text) else desktop.OK


# Starts the host (the arguments after the first four), waits for its window in its log and
# starts the updater with it, so that the shell's exit code is the updater's.
APART = ('log=$1 updater=$2 version=$3 url=$4; shift 4; "$@" & '
         'until w=$(grep -om1 "^host window=[-0-9]*" "$log"); do '
         'kill -0 $! 2>/dev/null || exit 9; sleep 0.05; done; '
         'exec wine "$updater" "$version#${w#*=}#$url"')


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
             package=None, root="config", notes=None):
    """update.xml text; install, exe, exe_ex and package are (name, url) pairs.

    package stands for both UpdateExe and UpdateExeEx, whatever the version step."""
    exe, exe_ex = exe or package, exe_ex or package
    def attr(value):
        return escape(value, {'"': "&quot;", "\n": "&#10;"})

    lines = ['<?xml version="1.0" encoding="utf-8"?>', f"<{root}>",
             f'  <update version="{attr(version)}" type="{attr(type_)}" run="{attr(run)}"'
             + (f' notes="{attr(notes)}"' if notes else "") + "/>"]
    if install:
        lines.append(f'  <UpdateInstall name="{attr(install[0])}" url="{attr(install[1])}"/>')
    for element, item in (("UpdateExe", exe), ("UpdateExeEx", exe_ex)):
        if item:
            lines.append(f'  <{element}><item name="{attr(item[0])}" url="{attr(item[1])}"/>'
                         f'</{element}>')
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
        self.fill_app()

    def fill_app(self):
        """The old application: data.txt, a library the host may hold, files no package holds."""
        (self.app / "data.txt").write_text(OLD_DATA + "\n")
        (self.app / HELD).write_text("old library\n")
        (self.app / "user.ini").write_text("settings of the user\n")
        (self.app / "lib").mkdir(exist_ok=True)
        (self.app / "lib" / "old.dll").write_text("kept\n")

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
                "docs/readme.txt": "new in 2.0\n", HELD: "new library\n",
                "plugins/x/y.txt": "new plugin\n"}

    def serve_update(self, package_url, name="app.7z", **fields):
        return self.serve("update.xml", manifest("2.0", package=(name, package_url), **fields))

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
        at all: its host window and its boxes fail at once. Only this suite's own prefix
        counts: Wine programs of other prefixes on the machine are not waited for."""
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline and ENV["prefix"].programs_running():
            time.sleep(0.1)
        time.sleep(float(os.environ.get("UPDATER_E2E_SETTLE", "0.5")))

    def _run(self, argv, answer, timeout, before=None, env=None, wine_failed=None, **watch):
        """Runs argv once, or again (DESKTOP_ATTEMPTS runs in all) while Wine's desktop fails.

        A run whose windows all failed because Wine's desktop came up without a display driver,
        or in which wine_failed() says that Wine could not start a program, says nothing about
        the updater, so it is made again from the same state; before() restores what a run
        changes first."""
        watch.setdefault("ignore_captions", (PROGRESS_CAPTION,))
        for attempt in range(1, desktop.DESKTOP_ATTEMPTS + 1):
            if before:
                before()
            self._settle()
            first = self._next_second()
            wine_env = ENV["prefix"].env(extra={"WINEDEBUG": desktop.WINEDEBUG, **(env or {})})
            result = desktop.run_answering(ENV["display"], argv, wine_env, answer,
                                           watch_classes=("conhost.exe", "updater.exe"),
                                           timeout=timeout,
                                           **watch)
            ENV["last_second"] = int(time.time())
            if result.timed_out:
                # Programs that the run started may still show boxes: start the session afresh.
                desktop.keep_wine_on_display(ENV["prefix"], ENV["display"])
            self.assertFalse(result.timed_out, "the run did not end in time")
            if attempt < desktop.DESKTOP_ATTEMPTS and (desktop.desktop_failed(result.stderr) or
                                                       (wine_failed and wine_failed())):
                print(f"\n{self.id()}: Wine's desktop or a program did not start; running again",
                      file=sys.stderr, flush=True)
                continue
            break
        result.work = self._work_folder(first, ENV["last_second"])
        return result

    def run_host(self, version, manifest_url, host=(), answer=answer_yes, timeout=90, code=0,
                 apart=False, env=None, **watch):
        """The test host (with its options `host`) starts the updater with its own window
        handle in the launch string; the run is over once every program of it has ended.

        code: the updater's exit code. apart: the test starts the updater with the host's
        window, to see its exit code after the host closed on 0x467 (which must come).
        env: more environment for Wine. watch goes to desktop.run_answering (ignore_captions,
        during)."""
        self.log = self.app / "host.log"
        updater = self.windows_path(self.app / "updater.exe")
        argv = ["wine", str(ARGS.bin / "test_host.exe"), "-" if apart else updater, version,
                manifest_url, self.windows_path(self.log), self.windows_path(self.app / "data.txt"),
                *[self.windows_path(self.app / o) if o == HELD else o for o in host]]
        if apart:
            argv = ["sh", "-c", APART, "apart", self.log, updater, version, manifest_url, *argv]

        def before():
            for left in (self.log, self.app / "App.exe.ran"):
                left.unlink(missing_ok=True)
        def wine_failed():
            # ERROR_INTERNAL_ERROR: the new process ended while Wine was starting it (seen once
            # on a loaded machine).
            return self.log.is_file() and "start failed error=1359" in self.log.read_text()
        result = self._run(argv, answer, timeout, before=before, env=env,
                           wine_failed=wine_failed, **watch)
        result.host_log = (self.log.read_text(encoding="utf-8", errors="replace").splitlines()
                           if self.log.is_file() else [])
        result.notices = [line for line in result.host_log if line.startswith("0x467")]
        # A host that got 0x467 closes, unless it hangs; else it reports the updater's exit code.
        hung = tuple(host[-1:]) == ("--stay",)
        closed = result.notices and not hung
        end = "host exits" if closed else f"updater exit={code}"
        self.assertEqual(result.host_log[-1:], [end], "\n".join(result.host_log) + result.stderr)
        self.assertEqual(result.returncode, 0 if closed and not apart else code)
        return result

    def run_scenario(self, scenario, version="1.0"):
        """Runs one Scenario (below) and makes its checks."""
        if scenario.slow_archiver:
            self.use_slow_archiver()
        else:
            self.use_real_archiver()
        url = scenario.serve(self) + (f"#{scenario.options}" if scenario.options else "")
        before = digest(self.app)
        result = self.run_host(version, url, scenario.host, scenario.answer,
                               timeout=150 if "--stay" in scenario.host else 90,
                               code=scenario.code,
                               apart=bool(scenario.options) and scenario.notified)
        self.assertBoxes(result, scenario.boxes)
        self.assertEqual(result.notices, [f"0x467 wParam=0 lParam=0 watched={OLD_DATA}\\n"]
                         if scenario.notified else [])
        if scenario.ran is None:
            self.assertFalse((self.app / "App.exe.ran").exists())
        else:
            self.assertIn(scenario.ran, self.wait_for(self.app / "App.exe.ran"))
        if scenario.app:
            self.assertEqual(digest(self.app), before if scenario.app == "old"
                             else digest_after(before, self.new_app_files()))
        if scenario.slow_archiver and scenario.ran is None:  # the stand-in records any call
            self.assertFalse((self.app / "7z-calls.log").exists())
        if scenario.log:
            self.assertStepsInOrder(self.update_log(result), scenario.log)
        if scenario.check:
            scenario.check(self, result)

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
        text = ""
        while not text.endswith("\n") and time.monotonic() < deadline:  # a whole line
            time.sleep(0.05)
            text = path.read_text(encoding="utf-8", errors="replace") if path.exists() else ""
        self.assertTrue(text.endswith("\n"), f"{path} never got its line")
        return text

    def assertBoxes(self, result, expected):
        self.assertEqual([(b.caption, b.text) for b in result.boxes],
                         [(b.caption, b.text) for b in expected])

    def assertAppUnchanged(self):
        self.assertEqual((self.app / "data.txt").read_text(), OLD_DATA + "\n")
        self.assertFalse((self.app / "docs").exists())

    def update_log(self, result):
        """update.log's lines without their time stamps."""
        lines = (result.work / "update.log").read_text(encoding="utf-8").splitlines()
        for line in lines:
            self.assertRegex(line, STAMP)
        return [STAMP.sub("", line) for line in lines]

    def assertStepsInOrder(self, lines, steps):
        at = 0
        for step in steps:
            found = [i for i in range(at, len(lines)) if step in lines[i]]
            self.assertTrue(found, f"{step!r} not in update.log from line {at}:\n" +
                            "\n".join(lines))
            at = found[0]

    def host_window(self):
        for line in self.log.read_text(encoding="utf-8").splitlines():
            if line.startswith("host window="):
                return int(line.split()[1].split("=")[1])
        self.fail("the host logged no window")


def digest(folder):
    """{relative path: sha256} for every file, and {relative path: None} for every folder."""
    found = {}
    for path in sorted(folder.rglob("*")):
        rel = path.relative_to(folder).as_posix()
        if rel not in RIG_FILES:
            found[rel] = None if path.is_dir() else hashlib.sha256(path.read_bytes()).hexdigest()
    return found


def digest_after(before, files):
    """The digest of a folder once `files` ({relative path: text or Path}) are put in."""
    expected = dict(before)
    for rel, content in files.items():
        parts = rel.split("/")
        for depth in range(1, len(parts)):
            expected["/".join(parts[:depth])] = None
        data = content.read_bytes() if isinstance(content, pathlib.Path) else content.encode()
        expected[rel] = hashlib.sha256(data).hexdigest()
    return expected


# --- the scenarios ---


@dataclass
class Scenario:
    """One run of the test host and the updater, and what must follow.

    serve(case) lays out the server (and the application folder) and returns the manifest's
    address. host: the test host's options (HELD stands for the held library's path).
    notified: the host got one 0x467 while data.txt was still the old one. app: "new" (the
    package's files put in, every other file kept), "old" (the folder as it was) or None (not
    compared). ran: what App.exe.ran holds, None when the run target must not start. log:
    update.log lines in order. check(case, result): what else the scenario shows. options: the
    launch string's option field; code: the updater's exit code."""
    name: str
    serve: Callable
    boxes: tuple = (QUESTION,)
    host: tuple = ()
    answer: Callable = answer_yes
    slow_archiver: bool = False
    notified: bool = True
    app: str = "new"
    ran: str = "data=version 2.0"
    log: tuple = ()
    check: Callable = None
    options: str = ""
    code: int = 0


def archive(case, name="app.7z", options=(), cut=False):
    """The new application files as a 7z archive on nginx, named `name` in the manifest."""
    package = case.serve_archive("app.7z", case.new_app_files(), options)
    if cut:
        whole = (case.web / "app.7z").read_bytes()
        package = case.serve("app.7z", whole[:len(whole) // 2])
    return case.serve_update(package, name)


def check_applied(case, result):
    # Unpacked into the stage and deleted; no console window; a quick download shows no window.
    case.assertEqual(sorted(p.name for p in result.work.iterdir()), ["update.log", "update.xml"])
    case.assertEqual(consoles(result), set(), "a console window showed")
    case.assertEqual(list(case.app.glob("Update[BS]*")), [])
    case.assertNotIn(("updater.exe", PROGRESS_CAPTION), result.watched_windows)


def consoles(result):
    return {window for window in result.watched_windows if window[0] == "conhost.exe"}


def check_archiver_call(case, result):
    calls = (case.app / "7z-calls.log").read_text(encoding="utf-8").splitlines()
    case.assertEqual(len(calls), 1)
    command = re.fullmatch(r'7z x "(.*)" -o"(.*)" -aoa -y', calls[0])
    case.assertIsNotNone(command, calls[0])
    package, out_folder = command.groups()
    case.assertRegex(package, r"^C:\\users\\[^\\]+\\Temp\\UpdateTemp\d+\\app\.7z$")
    # Unpacked into a stage beside the application, on its volume, then moved in.
    case.assertRegex(out_folder, "^" + re.escape(case.windows_path(case.app)) +
                     r"\\UpdateStage\d+\\$")
    case.assertEqual(consoles(result), set(), "the archiver's console showed")


LONG_NAME = "pkg\\" + "\\".join(["d" * 200] * 5) + "\\app.7z"


def serve_dropped(case, route="drop"):
    """The archive on the fault server, whose first answer breaks off half way; at route
    "throttle" it comes whole in about 2 s instead, long enough for the progress window."""
    case.serve_archive("app.7z", case.new_app_files())
    data = (case.web / "app.7z").read_bytes()
    ENV["fault"].bodies[case.name] = data
    rate = f"&rate={len(data) // 2}" if route == "throttle" else ""
    case.package = ENV["fault"].url(f"{route}?size={len(data)}&key={case.name}{rate}")
    return case.serve_update(case.package)


def check_resumed(case, result):
    asked = [r.headers.get("range") for r in ENV["fault"].requests if case.name in r.target]
    size = len((case.web / "app.7z").read_bytes())
    case.assertEqual(asked, [None, f"bytes={size // 2}-"])
    url = ENV["nginx"].url(f"{case.name}/update.xml")
    logged = case.package.split("?")[0]  # the log keeps no query
    case.assertStepsInOrder(case.update_log(result), [
        f"updater 1.0.0.0, launch string: 1.0#{case.host_window()}#{url}",
        "work folder C:\\users\\", f"manifest {url}: HTTP 200, length ",
        "manifest offers version 2.0", "manifest verdict: archive package",
        f"offer: app.7z from {logged}; answer 6 (Yes)",
        f"package {logged}: HTTP 206, length {size}, received {size}, retries 1",
        "package deleted after unpacking", "outcome: archive applied"])


def serve_refused(case):
    case.serve_update(ENV["fault"].url("ok?size=64&refused=1"))
    return ENV["nginx"].url(f"{case.name}/update.xml")


def check_refused(case, result):
    case.assertEqual((result.work / "update.xml").read_text(),
                     (case.web / "update.xml").read_text())
    case.assertFalse((result.work / "app.7z").exists())
    case.assertFalse(any("refused=1" in r.target for r in ENV["fault"].requests))


def serve_installer(case):
    installer = case.serve("Setup.exe", (ARGS.bin / "probe_app.exe").read_bytes())
    return case.serve("update.xml", manifest("2.0", type_="1", install=("Setup.exe", installer),
                                             exe=("app.7z", ENV["fault"].url("status/404"))))


def check_installer(case, result):
    case.wait_for(result.work / "Setup.exe.ran")
    case.assertEqual(case.update_log(result)[-1], "outcome: installer started")


def check_nothing_fetched(case, result):
    case.assertEqual(sorted(p.name for p in result.work.iterdir()), ["update.log", "update.xml"])
    case.assertFalse(any(case.name in r.target for r in ENV["fault"].requests))


def serve_check(case, version="2.0"):
    return case.serve("update.xml", manifest(version, package=(
        "app.7z", ENV["fault"].url(f"ok?size=64&{case.name}=1"))))


NOTES = "修复了断线后无法继续下载的问题\n- faster start"


def serve_with_probe_refused(case):
    """Folders named as the probe files of the next minutes: creating the probe then fails
    with access denied, as in a folder the user may not write, while root can still write
    everything else. So the second copy, which Wine starts with the same rights, applies."""
    now = int(time.time())
    for second in range(now, now + 180):
        (case.app / f"UpdateProbe{second}.tmp").mkdir()
    return archive(case)


def check_target_started_by_the_second_copy(case, result):
    case.assertEqual((case.app / "data.txt").read_text(), "version 2.0\n")
    time.sleep(2)  # a second start by the first copy would come at once
    case.assertEqual(len((case.app / "App.exe.ran").read_text().splitlines()), 1)


def check_hung_host(case, result):
    # The host's answer, then 1 s, then up to 30 s for it to end, then the retries.
    case.assertGreater(result.seconds, 31)


SCENARIOS = [
    # The whole run on a real disk with a host that closes on 0x467 at once.
    Scenario("archive_applied", archive, check=check_applied,
             log=("manifest verdict: archive package", "package deleted after unpacking",
                  "outcome: archive applied")),
    # A host that takes 5 s to save while it holds a library still gets the whole update.
    Scenario("slow_host_holding_a_file", archive, host=("--hold", HELD, "--stay", "5")),
    # A host that never ends holds the library: everything goes back, the old App starts.
    Scenario("hung_host_holding_a_file", archive, host=("--hold", HELD, "--stay"),
             boxes=(QUESTION, FAILED), app="old", ran=f"data={OLD_DATA}",
             check=check_hung_host),
    # Archives 7-Zip cannot unpack, none of them waiting on a password prompt.
    *[Scenario(f"archive_{what}", lambda case, o=options, c=cut: archive(case, options=o, cut=c),
               boxes=(QUESTION, FAILED), app="old", ran=f"data={OLD_DATA}",
               log=("unpack: exit code", "outcome: archive not applied, the application is as it was"))
      for what, options, cut in (("cut_short", (), True), ("with_password", ("-psecret",), False),
                                 ("with_hidden_names", ("-psecret", "-mhe=on"), False))],
    # The archiver runs hidden with its command line, and is waited for to its process's end.
    Scenario("archiver_runs_hidden_and_is_waited_for",
             lambda case: case.serve_update(case.serve("app.7z", b"not an archive")),
             slow_archiver=True, app=None, ran="data=unpacked by the slow archiver",
             check=check_archiver_call),
    # A package name that makes the archiver's command line longer than 1024 characters.
    Scenario("long_package_name", lambda case: archive(case, LONG_NAME), app="new",
             check=lambda case, result: case.assertEqual(
                 [p.name for p in (result.work / LONG_NAME.replace("\\", "/")).parent.iterdir()],
                 [])),
    # Another process of the user cannot change or rename the package while the host closes:
    # the archive that was checked is the one applied.
    Scenario("package_held_during_the_host_wait", archive, host=("--tamper", "app.7z"),
             log=("package held for reading until it is used", "outcome: archive applied"),
             check=lambda case, result: case.assertIn(
                 "tamper write error=32 rename error=32", result.host_log)),
    # The apply step in a second copy (Wine gives it no more rights than the first, so here
    # it can write only what the first could): it applies and starts the run target as the
    # first copy's child, which starts nothing more.
    Scenario("second_copy_applies_and_starts_the_target", serve_with_probe_refused, boxes=(),
             options="silent", app=None,
             log=("the apply step needs an administrator", "elevated apply: starting",
                  "elevated copy: ", "elevated copy: started ",
                  "the elevated copy ended with 40", "outcome: archive applied"),
             check=check_target_started_by_the_second_copy),
    # A connection dropped half way is resumed; update.log names each step.
    Scenario("dropped_connection_resumes", serve_dropped, check=check_resumed),
    Scenario("installer_starts_from_the_work_folder", serve_installer, slow_archiver=True,
             app="old", ran=None, check=check_installer),
    Scenario("no_fetches_nothing", serve_refused, answer=answer_no, slow_archiver=True,
             notified=False, app="old", ran=None, check=check_refused),
    Scenario("up_to_date", lambda case: case.serve("update.xml", manifest(
                 "1.0", exe=("app.7z", "http://127.0.0.1:1/x"))),
             boxes=(UP_TO_DATE,), notified=False, app="old", ran=None,
             check=lambda case, result: case.assertTrue((result.work / "update.xml").is_file())),
    Scenario("unreachable_server",
             lambda case: f"http://127.0.0.1:{rig.free_port()}/update.xml",
             boxes=(FAILED,), notified=False, app="old", ran=None),
    # Options: silent takes the host's call as the consent and shows nothing at all, not even
    # the progress window of a slow download; the exit code tells the outcome.
    Scenario("silent_update", lambda case: serve_dropped(case, "throttle"), boxes=(),
             options="silent",
             log=("silent run, the host's call is the consent", "outcome: archive applied"),
             check=lambda case, result: case.assertEqual(
                 {w for w in result.watched_windows if w[0] == "updater.exe"}, set())),
    Scenario("silent_damaged_archive", lambda case: archive(case, cut=True), boxes=(),
             options="silent", code=1, app="old", ran=f"data={OLD_DATA}"),
    # A check fetches the manifest only (silent adds nothing to it) and never tells the host.
    Scenario("check_finds_an_update", serve_check, boxes=(), options="silent,check", code=4,
             notified=False, app="old", ran=None, log=("outcome: update on offer",),
             check=check_nothing_fetched),
    Scenario("check_up_to_date", lambda case: serve_check(case, "1.0"), boxes=(),
             options="check", notified=False, app="old", ran=None, log=("outcome: up to date",),
             check=check_nothing_fetched),
    # Release notes under the question; an unknown option is only logged; No is exit code 5.
    Scenario("notes_under_the_question", lambda case: case.serve("update.xml", manifest(
                 "2.0", package=("app.7z", "http://127.0.0.1:1/x"), notes=NOTES)),
             boxes=(desktop.Box(QUESTION.caption, f"{QUESTION.text}\n\n{NOTES}"),),
             answer=answer_no, options="later", code=5, notified=False, app="old", ran=None,
             log=("unknown option ignored: later", "outcome: declined")),
]


class ScenarioTest(UpdaterCase):
    def test_folder_that_runs_out_of_space_is_left_as_it_was(self):
        mount = ENV["work"] / "tmpfs" / self.name
        mount.mkdir(parents=True, exist_ok=True)
        done = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=6m", "tmpfs", str(mount)],
                              capture_output=True, text=True)
        if done.returncode != 0:
            self.skipTest(f"the machine refused a tmpfs mount: {done.stderr.strip()}")
        self.addCleanup(subprocess.run, ["umount", "-l", str(mount)], capture_output=True)
        shutil.copytree(self.app, mount, dirs_exist_ok=True)
        self.app = mount
        # Replaced and new files first, then more than the mount has left.
        self.new_app_files = lambda: {**UpdaterCase.new_app_files(self),
                                      "zz/big.bin": os.urandom(5 << 20)}
        self.run_scenario(Scenario("full_disk", archive, boxes=(QUESTION, FAILED), app="old",
                                   ran=f"data={OLD_DATA}"))

    def test_folder_the_user_cannot_write_goes_to_a_second_copy(self):
        """A non-root Unix user cannot write a root's folder (Wine says access denied), so the
        apply step goes to a second copy through "runas". Wine 8 starts that copy at once,
        without a prompt and without more rights: its apply fails and the folder stays exact."""
        user = "updater-e2e"
        if os.geteuid() != 0:
            self.skipTest("only root can make a throwaway user")
        made = subprocess.run(["useradd", "--create-home", user], capture_output=True, text=True)
        if made.returncode not in (0, 9):  # 9: the user is there already
            self.skipTest(f"no throwaway user: {made.stderr.strip()}")
        if made.returncode == 0:
            self.addCleanup(subprocess.run, ["userdel", "--remove", user], capture_output=True)
        if subprocess.run(["runuser", "-u", user, "--", "test", "-r",
                           str(self.app / "updater.exe")]).returncode != 0:
            self.skipTest(f"{user} cannot reach {self.app}: a folder above it is closed to it")
        prefix = ENV["work"] / "user-prefix"
        prefix.mkdir(exist_ok=True)
        # Kept between runs; the user may come back with another id.
        subprocess.run(["chown", "-R", f"{user}:", str(prefix)], check=True)
        as_user = ["runuser", "-u", user, "--", "env", f"HOME=/home/{user}",
                   f"WINEPREFIX={prefix}", "WINEDEBUG=-all", "WINEDLLOVERRIDES=mscoree,mshtml="]
        self.addCleanup(subprocess.run, [*as_user, "wineserver", "-k"], capture_output=True)
        self.use_real_archiver()
        url = archive(self)
        before = digest(self.app)
        done = subprocess.run([*as_user, "wine", self.windows_path(self.app / "updater.exe"),
                               f"1.0#0#{url}#silent"], capture_output=True, text=True,
                              timeout=240)
        self.assertEqual(done.returncode, 1, done.stderr)
        self.assertEqual(digest(self.app), before)
        work = sorted((prefix / "drive_c" / "users" / user / "Temp").glob("UpdateTemp*"))[-1]
        self.assertStepsInOrder(
            [STAMP.sub("", line) for line in
             (work / "update.log").read_text(encoding="utf-8").splitlines()],
            ["the application folder cannot be written: access denied",
             "elevated apply: starting updater.exe --elevated-apply ",
             # Its stage beside the application could not be made: nothing changed, and it
             # started the old version as the first copy's child.
             "elevated apply: the elevated copy ended with 45",
             "outcome: archive not applied, the application is as it was"])


def serve_with(case, **more):
    """The new application files and more ({relative path: text}) as the archive."""
    return case.serve_update(case.serve_archive("app.7z", {**case.new_app_files(), **more}))


def check_old_started_after_the_new(case, result):
    # The new version ran first and ended with 3; the old one was started after the undo.
    deadline = time.monotonic() + 15
    path = case.app / "App.exe.ran"
    while len(path.read_text().splitlines()) < 2 and time.monotonic() < deadline:
        time.sleep(0.05)
    lines = path.read_text().splitlines()
    case.assertEqual(len(lines), 2, lines)
    case.assertIn("data=version 2.0", lines[0])
    case.assertIn(f"data={OLD_DATA}", lines[1])


def serve_updater_starting_version(case):
    """A new version that starts the updater at once (a check of the same manifest)."""
    url = ENV["nginx"].url(f"{case.name}/update.xml")
    return serve_with(case, **{"App.exe.updater": f"2.0#0#{url}#check\n"})


def check_second_updater_waited(case, result):
    # It waited for the watch and ran: up to date (0), not "another updater runs" (3).
    deadline = time.monotonic() + 60
    path = case.app / "App.exe.ran"
    while "updater exit=" not in path.read_text() and time.monotonic() < deadline:
        time.sleep(0.1)
    case.assertIn("updater exit=0\n", path.read_text())
    case.assertStepsInOrder(case.update_log(result), [
        "started ", "the new version runs after 10000 ms", "apply: done",
        "outcome: archive applied"])


SWAP_SCENARIOS = [
    # The new version starts an updater at once: it waits for the watch instead of ending.
    Scenario("updater_started_by_the_new_version_waits", serve_updater_starting_version,
             app=None, check=check_second_updater_waited),
    # A package file named like a folder that holds files: refused before anything moves.
    Scenario("file_for_a_folder_is_refused", lambda case: serve_with(case, lib="a file now\n"),
             boxes=(QUESTION, FAILED), app="old", ran=f"data={OLD_DATA}",
             log=("swap refused, nothing changed: the update has a file where",
                  "outcome: archive not applied, the application is as it was")),
    # The new version ends with 3 at once: the exact old tree comes back and starts.
    Scenario("new_version_failing_at_once_is_undone",
             lambda case: serve_with(case, **{"App.exe.exit": "3\n"}),
             boxes=(QUESTION, FAILED), app="old", ran="data=version 2.0",
             check=check_old_started_after_the_new,
             log=("the new version ended within 10000 ms with exit code 3",
                  "rollback: the application folder is as it was",
                  "outcome: the new version did not start well")),
]


class SwapTest(UpdaterCase):
    def test_links_to_folders_outside_are_never_followed(self):
        """A Unix link inside the application folder (Wine shows it as a folder with
        FILE_ATTRIBUTE_REPARSE_POINT), where the package has a folder, and one named like a
        stage left over: the update is refused and neither is entered or removed."""
        outside = ENV["work"] / "staging" / f"{self.name}-outside"  # emptied at every start
        for name in ("plugins", "stage"):
            (outside / name / "x").mkdir(parents=True)
            (outside / name / "x" / "y.txt").write_text("outside\n")
        os.symlink(outside / "plugins", self.app / "plugins")
        os.symlink(outside / "stage", self.app / "UpdateStage5")
        before = digest(outside)
        self.run_scenario(Scenario("link", archive, boxes=(QUESTION, FAILED), app="old",
                                   ran=f"data={OLD_DATA}",
                                   log=("plugins is a link, which the update would go through",
                                        "outcome: archive not applied")))
        self.assertEqual(digest(outside), before)
        self.assertTrue((self.app / "UpdateStage5").is_symlink())

    def test_killed_during_the_swap_is_repaired_at_the_next_start(self):
        """2,000 files, half of them replacing old ones: the updater is killed at several
        moments once its journal is there, then started again (with a bad launch string's
        cousin, a check, so nothing is fetched); the folder is then exactly old or new."""
        self.use_real_archiver()
        new = {f"data/{i % 20:02}/f{i:04}.txt": f"new {i}\n" for i in range(2000)}
        for i in range(0, 2000, 2):
            old = self.app / f"data/{i % 20:02}/f{i:04}.txt"
            old.parent.mkdir(parents=True, exist_ok=True)
            old.write_text(f"old {i}\n")
        url = self.serve_update(self.serve_archive("app.7z", new), run="")
        pristine = self.app.with_name(self.name + "-pristine")
        shutil.copytree(self.app, pristine, symlinks=True)
        before = digest(pristine)
        updated = digest_after(before, new)
        seen = []
        # Right as the swap begins, in the middle of its moves, and once every file is in place
        # (while the old files are removed).
        for mark, delay in (("", 0.0), ("", 1.0), ("placed\n", 0.0)):
            shutil.rmtree(self.app)
            shutil.copytree(pristine, self.app, symlinks=True)
            killed = self._kill_once_journalled(url, delay, mark)
            self._settle()
            started = time.monotonic()
            repair = ENV["prefix"].run(self.app / "updater.exe", [f"1.0#0#{url}#check"],
                                       timeout=120, display=ENV["display"].display)
            repaired_in = time.monotonic() - started
            after = digest(self.app)
            self.assertIn(after, (before, updated), f"killed {delay} s after the journal")
            self.assertEqual(sorted(p.name for p in self.app.glob("Update[BS]*")), [])
            seen.append((mark.strip() or "journal", delay, killed,
                         "old" if after == before else "new",
                         round(repaired_in, 2)))
            self.assertEqual(repair.returncode, 4)
        print(f"\n{self.id()}: (mark, delay, killed, folder, seconds of the start that repaired it) {seen}",
              file=sys.stderr, flush=True)

    def _kill_once_journalled(self, url, delay, mark=""):
        """Starts a silent run without a host, kills its process `delay` s after the journal
        appears and holds mark; False when the run ended before that."""
        self._settle()
        process = subprocess.Popen(["wine", str(self.app / "updater.exe"), f"1.0#0#{url}#silent"],
                                   env=ENV["prefix"].env(ENV["display"].display),
                                   stdin=subprocess.DEVNULL,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 120
        def journalled():
            for journal in self.app.glob("UpdateBackup*/journal.txt"):
                try:
                    return journal.read_text(encoding="utf-8").endswith(mark)
                except OSError:
                    return False
            return False
        while not journalled():
            if process.poll() is not None:
                return False  # ended first: the folder must be new all the same
            if time.monotonic() > deadline:
                process.kill()
                process.wait()
                self.fail("the swap never wrote its journal")
            time.sleep(0.01)
        time.sleep(delay)
        running = process.poll() is None
        process.kill()
        process.wait()
        return running


def add_scenarios(case_class, scenarios):
    """One test of case_class for each scenario, named after it."""
    def test(scenario):
        return lambda self: self.run_scenario(scenario) and None
    for scenario in scenarios:
        setattr(case_class, f"test_{scenario.name}", test(scenario))


add_scenarios(ScenarioTest, SCENARIOS)
add_scenarios(SwapTest, SWAP_SCENARIOS)


if __name__ == "__main__":
    ARGS, argv = parse_args()
    unittest.main(argv=argv, verbosity=2)
