#!/usr/bin/env python3
"""Runs the sample host and the updater under Wine against version 2.0, published with
scripts/publish-update.sh from examples/server/package and served by nginx.

  run_demo.py --bin <windows build>/bin --seven-zip <7z.exe> --work <scratch folder>

Without a display (or with --headless) it uses its own Xvfb and answers Yes itself; with
DISPLAY set it leaves the boxes to you. It prints the boxes shown, the application folder
before and after, and what the sample application logged; it exits 0 when version 2.0 was
unpacked and started.
"""

import argparse
import os
import pathlib
import shutil
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parents[2]
EXAMPLES = ROOT / "examples"
sys.path.insert(0, str(ROOT / "tests" / "wine"))
import desktop  # noqa: E402
import rig  # noqa: E402

TIMEOUT = 180


def say(text=""):
    print(text, flush=True)


def show_folder(folder):
    for path in sorted(p for p in folder.rglob("*") if p.is_file()):
        rel = path.relative_to(folder)
        note = ""
        if path.suffix == ".txt" and path.stat().st_size < 200:
            note = "  | " + " / ".join(path.read_text(errors="replace").splitlines())
        say(f"    {str(rel):<22} {path.stat().st_size:>9} bytes{note}")


def script(name, *args):
    return subprocess.run([str(ROOT / "scripts" / name), *map(str, args)], check=True,
                          capture_output=True, text=True).stdout.strip()


def prepare(args, nginx, www, app, keys):
    # A key pair made for this run only.
    shutil.rmtree(keys, ignore_errors=True)
    script("sign-update.sh", "keygen", keys)

    # The application folder of version 1.0: the program, the updater, the archiver and the
    # public key that makes the updater take only signed manifests.
    shutil.copy(args.bin / "sample_host.exe", app / "sample_host.exe")
    shutil.copy(EXAMPLES / "sample_host" / "version.txt", app / "version.txt")
    shutil.copy(args.bin / "updater.exe", app / "updater.exe")
    shutil.copy(args.seven_zip, app / "7z.exe")
    shutil.copy(keys / "update-key.pem", app / "update-key.pem")
    (app / "update-url.txt").write_text(nginx.url("update.xml") + "\n")

    # The release as the publisher keeps it: the application's own files of 1.0 and of 2.0
    # (1.0's with examples/server/package/ laid over them). The updater and the archiver do
    # not change, so they stay out of the archives. One command publishes 2.0 into the
    # server's folder: the archives, the signed manifest with its serial and expiry.
    old, new = www.parent / "release" / "1.0", www.parent / "release" / "2.0"
    shutil.rmtree(old.parent, ignore_errors=True)
    shutil.copytree(app, old, ignore=shutil.ignore_patterns("updater.exe", "7z.exe"))
    shutil.copytree(old, new)
    shutil.copytree(EXAMPLES / "server" / "package", new, dirs_exist_ok=True)
    return script("publish-update.sh", "--key", keys / "update-private-key.pem",
                  "--version", "2.0", "--app-dir", new, "--previous-dir", old,
                  "--run", "sample_host.exe", "--base-url", nginx.url(""), "--out", www)


def run(args, prefix, app, display):
    """Starts the sample host and waits until version 2.0 has started and checked again."""
    env = prefix.env(display=display.display if display else os.environ.get("DISPLAY"),
                     extra={"WINEDEBUG": desktop.WINEDEBUG})
    process = subprocess.Popen(["wine", str(app / "sample_host.exe")], env=env,
                               stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                               stderr=subprocess.PIPE)
    if display:
        def answer(box):
            yes_no = box.text == "发现新版本，是否立即更新？"
            say(f"  box shown: [{box.caption}] {box.text}  -> answering "
                + ("Yes" if yes_no else "OK"))
            return desktop.YES if yes_no else desktop.OK
        answerer = desktop.BoxAnswerer(display, process.stderr, answer)
    else:
        # A person answers at the real display; the trace still tells which boxes came up.
        real = desktop.Display(os.environ["DISPLAY"])

        def answer(box):
            say(f"  box shown: [{box.caption}] {box.text}  (waiting for your answer)")
            return None
        answerer = desktop.BoxAnswerer(real, process.stderr, answer)

    log = app / "sample_host.log"
    deadline = time.monotonic() + TIMEOUT
    while time.monotonic() < deadline:
        answerer.poll()
        if desktop.desktop_failed(answerer.stderr):
            break
        lines = log.read_text(errors="replace").splitlines() if log.exists() else []
        if any("2.0 started" in line for line in lines):
            after = lines[[i for i, line in enumerate(lines) if "2.0 started" in line][0]:]
            if any("updater has finished" in line for line in after):
                break
        time.sleep(0.1)
    else:
        say(f"  gave up after {TIMEOUT} s")
    return answerer


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True, type=pathlib.Path)
    parser.add_argument("--seven-zip", required=True, type=pathlib.Path)
    parser.add_argument("--work", required=True, type=pathlib.Path)
    parser.add_argument("--headless", action="store_true",
                        help="use a virtual display and answer Yes even when DISPLAY is set")
    args = parser.parse_args()

    work = args.work.resolve()
    www, app = work / "www", work / "app"
    for folder in (www, app):
        shutil.rmtree(folder, ignore_errors=True)
        folder.mkdir(parents=True)
    prefix = rig.WinePrefix(work / "prefix")
    say("Preparing the Wine prefix (the first time takes a little while)...")
    prefix.ensure()
    headless = args.headless or not os.environ.get("DISPLAY")
    display = desktop.VirtualDisplay() if headless else None
    desktop.keep_wine_on_display(prefix, display or desktop.Display(os.environ["DISPLAY"]))
    try:
        with rig.Nginx(www, work / "nginx") as nginx:
            say("Publishing version 2.0 with scripts/publish-update.sh:")
            for line in prepare(args, nginx, www, app, work / "keys").splitlines():
                say(f"  {line}")
            say(f"Serving {www} at {nginx.url('')}")
            say(f"\nApplication folder before ({app}):")
            show_folder(app)
            say("\nStarting sample_host.exe 1.0; it starts updater.exe"
                + (" (virtual display, answering Yes)" if headless else ""))
            answerer = run(args, prefix, app, display)
            if desktop.desktop_failed(answerer.stderr):
                say("  Wine's desktop started without a display driver (a start-up race in "
                    "Wine); starting again")
                time.sleep(3)  # let that desktop process end first
                (app / "sample_host.log").unlink(missing_ok=True)
                answerer = run(args, prefix, app, display)
            time.sleep(0.5)
            answerer.poll()
    finally:
        prefix.wineserver_kill()  # closes the restarted sample application too
        if display:
            display.stop()

    say("\nBoxes shown, in order:")
    for box in answerer.boxes:
        say(f"  [{box.caption}] {box.text}")
    say("\nWhat the sample application logged (sample_host.log):")
    log = app / "sample_host.log"
    for line in (log.read_text(errors="replace").splitlines() if log.exists() else []):
        say(f"  {line}")
    say(f"\nApplication folder after ({app}):")
    show_folder(app)

    version = (app / "version.txt").read_text().strip()
    started = log.exists() and "sample application 2.0 started" in log.read_text()
    texts = [box.text for box in answerer.boxes]
    # Version 1.0 is asked and updated; version 2.0, started by the updater, is up to date.
    ok = (version == "2.0" and started
          and texts == ["发现新版本，是否立即更新？", "当前已经是最新版本，无需更新"])
    say("\nThe run target sample_host.exe " + ("started as version 2.0." if started
                                                 else "did not start as version 2.0."))
    say("Demo " + ("succeeded." if ok else "FAILED."))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
