"""A virtual desktop for the Wine tests: Xvfb, and the updater's message boxes read and answered.

The boxes are found on the display with xdotool (Wine names each window's X class after its
program, and a box's window name is its caption). Their texts come from Wine's own trace:
with WINEDEBUG=+msgbox each box prints a line `MSGBOX_OnInit L"..."` to stderr, the text's
non-ASCII code points escaped as \\xxxx.
"""

import os
import queue
import re
import shutil
import subprocess
import threading
import time
from dataclasses import dataclass, field

# Keys that answer a box. The buttons' accelerators answer a Yes/No box; a box with one OK
# button takes the space bar, which presses its focused button. Return is never used: under
# Wine it can close a box of a later program as well.
YES = "y"
NO = "n"
OK = "space"

# WINEDEBUG for a run whose boxes are read: the box texts, and Wine's diagnosis of a desktop
# that came up without a display driver.
WINEDEBUG = "-all,+msgbox,err+winediag,err+win"
# Now and then the desktop process that Wine starts for a program loads no display driver, or
# does not start at all (a start-up race inside Wine 8), and every window of that program
# fails. These lines say so.
DESKTOP_FAILURES = ("no driver could be loaded", "The explorer process failed to start")


# A run whose desktop failed says nothing about the program: it is made this often at most.
# On a loaded machine two failed desktops in a row have been seen.
DESKTOP_ATTEMPTS = 3


def desktop_failed(stderr_text):
    return any(line in stderr_text for line in DESKTOP_FAILURES)

_MSGBOX_LINE = re.compile(r'MSGBOX_OnInit L"((?:[^"\\]|\\.)*)"')
_ESCAPE = re.compile(r'\\([nrt\\"]|[0-9a-fA-F]{4})')
_ESCAPES = {"n": "\n", "r": "\r", "t": "\t", "\\": "\\", '"': '"'}


def decode_wine_string(escaped):
    """Decodes the body of a Wine debug string: \\n, \\r, \\t, \\\\, \\" and \\xxxx code units."""
    return _ESCAPE.sub(lambda m: _ESCAPES.get(m.group(1)) or chr(int(m.group(1), 16)), escaped)


def box_texts(stderr_text):
    """Every box text traced in a stderr capture, in order."""
    return [decode_wine_string(m.group(1)) for m in _MSGBOX_LINE.finditer(stderr_text)]


@dataclass
class Box:
    caption: str
    text: str


@dataclass
class RunResult:
    returncode: int
    boxes: list
    stderr: str
    # (X class, window name) of every visible window of a watched class seen during the run
    watched_windows: set = field(default_factory=set)
    timed_out: bool = False
    seconds: float = 0.0


def _free_display():
    for number in range(90, 200):
        if not os.path.exists(f"/tmp/.X{number}-lock") and not os.path.exists(
                f"/tmp/.X11-unix/X{number}"):
            return number
    raise RuntimeError("no free X display number between :90 and :199")


class Display:
    """An X display that xdotool looks at, such as ":0"."""

    def __init__(self, display):
        self.display = display

    def xdotool(self, *args):
        try:
            done = subprocess.run(["xdotool", *args],
                                  env={**os.environ, "DISPLAY": self.display},
                                  capture_output=True, text=True, timeout=10)
        except subprocess.TimeoutExpired:  # windowfocus --sync on a window that went away
            return []
        return done.stdout.split("\n") if done.returncode == 0 else []

    def visible_windows(self, classname):
        return [w for w in self.xdotool("search", "--onlyvisible", "--classname", classname) if w]

    def window_name(self, window):
        lines = self.xdotool("getwindowname", window)
        return lines[0] if lines else None

    def press(self, window, key):
        if os.environ.get("DESKTOP_FOCUS"):
            self.xdotool("windowfocus", "--sync", window)
        self.xdotool("key", "--window", window, key)

    def screenshot(self, path):
        """Saves the whole screen as an image, for looking at a failing test."""
        subprocess.run(["import", "-display", self.display, "-window", "root", path],
                       capture_output=True)


class VirtualDisplay(Display):
    """An Xvfb server on a free display number; stop() ends it."""

    def __init__(self):
        for tool in ("Xvfb", "xdotool"):
            if not shutil.which(tool):
                raise RuntimeError(f"{tool} is missing: run scripts/install-deps.sh")
        self.number = _free_display()
        super().__init__(f":{self.number}")
        self._process = subprocess.Popen(
            ["Xvfb", self.display, "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while not os.path.exists(f"/tmp/.X11-unix/X{self.number}"):
            if self._process.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError(f"Xvfb did not start on {self.display}")
            time.sleep(0.05)

    def stop(self):
        if self._process.poll() is None:
            self._process.terminate()
            try:
                self._process.wait(5)
            except subprocess.TimeoutExpired:
                self._process.kill()
                self._process.wait()


class _StderrReader(threading.Thread):
    def __init__(self, stream):
        super().__init__(daemon=True)
        self.stream = stream
        self.lines = []
        self.texts = queue.Queue()

    def run(self):
        for raw in iter(self.stream.readline, b""):
            line = raw.decode("utf-8", "replace")
            self.lines.append(line)
            for text in box_texts(line):
                self.texts.put(text)
        self.stream.close()


class BoxAnswerer:
    """Answers the boxes of one program class as they appear; poll() does one round.

    stream is the stderr of the Wine process tree (its programs inherit it), traced with
    WINEDEBUG=+msgbox. answer(Box) returns the key to press (YES or NO), or None to leave the
    box to a person at the display.
    """

    def __init__(self, display, stream, answer, box_class="updater.exe", watch_classes=(),
                 ignore_captions=()):
        self.display = display
        self.ignore_captions = ignore_captions  # windows of box_class that are not boxes
        self.answer = answer
        self.box_class = box_class
        self.watch_classes = watch_classes
        self.boxes = []
        self.watched_windows = set()
        self._answered = set()
        self._reader = _StderrReader(stream)
        self._reader.start()

    @property
    def stderr(self):
        return "".join(self._reader.lines)

    @property
    def reading(self):
        """Some program of the traced tree still holds the stream."""
        return self._reader.is_alive()

    def poll(self):
        for cls in self.watch_classes:
            for window in self.display.visible_windows(cls):
                self.watched_windows.add((cls, self.display.window_name(window)))
        visible = self.display.visible_windows(self.box_class)
        # X reuses window ids: a new program's box can get the id of a box already gone.
        self._answered &= set(visible)
        for window in visible:
            if window in self._answered:
                continue
            caption = self.display.window_name(window)
            # No name: the window went between the two looks (a progress window that closed);
            # a box still there is read on the next round.
            if caption is None or caption in self.ignore_captions:
                continue
            self._answered.add(window)
            try:
                text = self._reader.texts.get(timeout=5)
            except queue.Empty:
                text = None  # not traced: a program whose stderr is not ours
            box = Box(caption, text)
            if os.environ.get("DESKTOP_DEBUG"):
                print(f"desktop: window {window} [{caption}] {text}", flush=True)
            self.boxes.append(box)
            key = self.answer(box)
            if key is None:
                continue
            # A key that arrives while the box is still being set up is lost: press again
            # until the box has gone. The key goes to this window only, so it can never
            # answer a box that it was not meant for.
            for attempt in range(10):
                # A box that ignores the key has no such button: it is an OK box.
                self.display.press(window, key if attempt % 2 == 0 else OK)
                gone_by = time.monotonic() + 2
                while (window in self.display.visible_windows(self.box_class)
                       and time.monotonic() < gone_by):
                    time.sleep(0.05)
                if window not in self.display.visible_windows(self.box_class):
                    break

    def finish(self):
        """Stops reading once the stream has ended; boxes that the platform refused to show
        (no window ever appeared) are added with no caption."""
        self._reader.join(1)
        while not self._reader.texts.empty():
            self.boxes.append(Box(None, self._reader.texts.get()))


def run_answering(display, argv, env, answer, box_class="updater.exe", watch_classes=(),
                  timeout=60, ignore_captions=(), during=None):
    """Runs argv (a Wine command) on the display and answers each box of box_class until
    every program it started has ended (they all hold its stderr).

    env must hold WINEDEBUG with +msgbox. Windows whose caption is in ignore_captions are not
    boxes; during(display), when given, is called after each round. Returns a RunResult with
    the boxes in the order they were shown.
    """
    env = {**env, "DISPLAY": display.display}
    process = subprocess.Popen(argv, env=env, stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    answerer = BoxAnswerer(display, process.stderr, answer, box_class, watch_classes,
                           ignore_captions)
    started = time.monotonic()
    timed_out = False
    while process.poll() is None or answerer.reading:
        if time.monotonic() > started + timeout:
            timed_out = True
            process.kill()
            break
        answerer.poll()
        if during:
            during(display)
        time.sleep(0.05)
    process.wait()
    answerer.poll()
    answerer.finish()
    return RunResult(process.returncode, answerer.boxes, answerer.stderr,
                     answerer.watched_windows, timed_out, time.monotonic() - started)


def keep_wine_on_display(prefix, display):
    """Starts the prefix's persistent wineserver and background services on the display.

    Wine's desktop process picks its graphics driver when it starts: started without a
    display it can show no window, and every message box of the session fails at once.
    The services' output is detached so that they never hold a test's stderr pipe open.
    """
    prefix.wineserver_kill()
    prefix.keep_alive(display.display)
