"""Shared rig for the tests that run the Windows programs under Wine.

API
  free_port() -> int
      A TCP port on 127.0.0.1 that was free a moment ago.

  WinePrefix(path)
      A private WINEPREFIX at `path` (the tests keep it under the build folder).
      .ensure()           makes the prefix once (WINEDLLOVERRIDES="mscoree,mshtml=", wineboot -i)
                          and sets HKCU\\Software\\Wine\\WineDbg ShowCrashDialog=0 and
                          HKCU\\Software\\Wine\\X11 Driver Managed=N. Later calls, also from
                          other processes, find it ready (a lock file orders concurrent makers).
      .env(display=None, extra=None) -> dict
                          the environment for wine: WINEPREFIX, WINEDEBUG=-all,
                          LANG and LC_ALL zh_CN.UTF-8 (the programs' language, whatever the
                          machine's locale), WINEDLLOVERRIDES, DISPLAY only when given
                          (removed otherwise); `extra` entries are added last.
      .run(exe, args, timeout, display=None, extra_env=None) -> subprocess.CompletedProcess
                          `wine exe args...`, stdout and stderr captured as bytes; the
                          return code is the program's exit code.
      .temp_dir() -> pathlib.Path
                          the Linux path of the prefix's %TEMP%.
      .windows_path(linux_path) -> str
                          the Z:\\... form of a Linux path.
      .wineserver_kill()  ends the prefix's wineserver and everything it runs.
      .programs_running() true while a program a run starts (or Wine's desktop) is alive in
                          this prefix; other prefixes' programs do not count.
      .keep_alive(display=None)
                          starts a persistent wineserver and Wine's background services (on
                          the display, when given) with their output detached, so each later
                          .run() starts in a fraction of a second; end it with
                          .wineserver_kill().

  Nginx(root, workdir)
      Context manager: nginx serving the folder `root` on a free loopback port, with its
      configuration, pid, log and temporary files under `workdir`. Entering waits until it
      answers. .port, .url(relpath) -> "http://127.0.0.1:PORT/relpath".

  FaultServer()
      Context manager: the fault-injecting server of fault_server.py in a thread on a free
      loopback port. .port, .url(path) -> "http://127.0.0.1:PORT/path", .requests (the
      request heads received). See fault_server.py for the paths and their faults.

  pattern(size) -> bytes
      The body that the fault server's answers carry for a given size.
"""

import fcntl
import getpass
import os
import pathlib
import shutil
import socket
import subprocess
import sys
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import fault_server  # noqa: E402

pattern = fault_server.pattern


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def _wait_for_port(port, timeout, alive=lambda: True):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if not alive():
            return False
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=0.5):
                return True
        except OSError:
            time.sleep(0.05)
    return False


class WinePrefix:
    _READY_MARK = ".rig-ready"

    def __init__(self, path):
        self.path = pathlib.Path(path).resolve()

    def env(self, display=None, extra=None):
        env = dict(os.environ)
        env.update({
            "WINEPREFIX": str(self.path),
            "WINEDEBUG": "-all",
            "LANG": "zh_CN.UTF-8",
            "LC_ALL": "zh_CN.UTF-8",
            "WINEDLLOVERRIDES": "mscoree,mshtml=",
        })
        if display is None:
            env.pop("DISPLAY", None)
        else:
            env["DISPLAY"] = display
        if extra:
            env.update(extra)
        return env

    def ensure(self):
        if (self.path / self._READY_MARK).exists():
            return
        self.path.parent.mkdir(parents=True, exist_ok=True)
        lock_path = self.path.parent / (self.path.name + ".lock")
        with open(lock_path, "w") as lock:
            fcntl.flock(lock, fcntl.LOCK_EX)
            if (self.path / self._READY_MARK).exists():
                return
            if self.path.exists():
                shutil.rmtree(self.path)  # a half-made prefix from an interrupted run
            env = self.env()
            subprocess.run(["wineboot", "-i"], env=env, check=True, capture_output=True,
                           timeout=300)
            for key, name, kind, value in (
                    (r"HKCU\Software\Wine\WineDbg", "ShowCrashDialog", "REG_DWORD", "0"),
                    (r"HKCU\Software\Wine\X11 Driver", "Managed", "REG_SZ", "N")):
                subprocess.run(["wine", "reg", "add", key, "/v", name, "/t", kind, "/d", value,
                                "/f"], env=env, check=True, capture_output=True, timeout=120)
            # The registry reaches the disk when the server ends.
            subprocess.run(["wineserver", "-w"], env=env, check=True, timeout=120)
            self.temp_dir().mkdir(parents=True, exist_ok=True)
            (self.path / self._READY_MARK).write_text("ready\n")

    def run(self, exe, args, timeout, display=None, extra_env=None):
        return subprocess.run(["wine", str(exe), *[str(a) for a in args]],
                              env=self.env(display, extra_env), capture_output=True,
                              timeout=timeout)

    def temp_dir(self):
        users = self.path / "drive_c" / "users"
        own = users / getpass.getuser() / "Temp"
        if own.exists():
            return own
        found = [p for p in users.glob("*/Temp") if p.parent.name != "Public"]
        return found[0] if found else own

    @staticmethod
    def windows_path(linux_path):
        return "Z:" + str(pathlib.Path(linux_path).resolve()).replace("/", "\\")

    def keep_alive(self, display=None):
        env = self.env(display)
        # The services a first program starts would inherit and hold its output pipes.
        quiet = dict(env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                     stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-p"], check=True, timeout=60, **quiet)
        subprocess.run(["wine", "wineboot"], timeout=120, **quiet)

    # The programs a run starts, Wine's desktop included; its services keep running between runs.
    RUN_PROGRAMS = ("updater.exe", "test_host.exe", "App.exe", "Setup.exe", "7z.exe",
                    "conhost.exe", "explorer.exe", "probe_app.exe")

    def programs_running(self, names=RUN_PROGRAMS):
        """True while a process of this prefix with one of names has not ended."""
        wanted = b"WINEPREFIX=" + str(self.path).encode()
        for proc in pathlib.Path("/proc").iterdir():
            if not proc.name.isdigit():
                continue
            try:
                if (proc / "comm").read_text().strip() not in names:
                    continue
                if " Z " in (proc / "stat").read_text().split(")", 1)[1][:3]:
                    continue  # ended, not yet reaped
                if wanted in (proc / "environ").read_bytes().split(b"\0"):
                    return True
            except OSError:
                continue  # gone meanwhile, or not ours to read
        return False

    def wineserver_kill(self):
        subprocess.run(["wineserver", "-k"], env=self.env(), capture_output=True, timeout=60)


class Nginx:
    def __init__(self, root, workdir):
        self.root = pathlib.Path(root).resolve()
        self.workdir = pathlib.Path(workdir).resolve()
        self.port = None
        self._process = None

    def url(self, relpath):
        return f"http://127.0.0.1:{self.port}/{str(relpath).lstrip('/')}"

    def _config(self, port):
        w = self.workdir
        temp = "\n".join(f"    {kind}_temp_path {w}/temp/{kind};"
                         for kind in ("client_body", "proxy", "fastcgi", "uwsgi", "scgi"))
        user = "user root;\n" if os.geteuid() == 0 else ""
        return f"""{user}daemon off;
worker_processes 1;
pid {w}/nginx.pid;
error_log {w}/error.log;
events {{ worker_connections 64; }}
http {{
    access_log off;
    default_type application/octet-stream;
    sendfile on;
{temp}
    server {{
        listen 127.0.0.1:{port};
        root {self.root};
    }}
}}
"""

    def __enter__(self):
        (self.workdir / "temp").mkdir(parents=True, exist_ok=True)
        conf = self.workdir / "nginx.conf"
        for _ in range(5):  # the free port may be taken before nginx binds it
            port = free_port()
            conf.write_text(self._config(port))
            self._process = subprocess.Popen(
                ["nginx", "-p", str(self.workdir), "-c", str(conf), "-e",
                 str(self.workdir / "error.log")],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            if _wait_for_port(port, 10, lambda: self._process.poll() is None):
                self.port = port
                return self
            self._stop()
        raise RuntimeError("nginx did not start; see " + str(self.workdir / "error.log"))

    def _stop(self):
        if self._process and self._process.poll() is None:
            self._process.terminate()
            try:
                self._process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self._process.kill()
                self._process.wait()
        self._process = None

    def __exit__(self, *exc):
        self._stop()
        return False


class FaultServer:
    def __init__(self):
        self.port = None
        self._server = None
        self._thread = None

    @property
    def requests(self):
        return self._server.requests

    @property
    def bodies(self):
        """key -> bytes that /throttle and /drop answer for that key (see fault_server.py)."""
        return self._server.bodies

    def url(self, path):
        return f"http://127.0.0.1:{self.port}/{str(path).lstrip('/')}"

    def __enter__(self):
        for _ in range(5):
            port = free_port()
            try:
                self._server, self._thread = fault_server.start_in_thread(port)
            except OSError:
                continue
            self.port = port
            return self
        raise RuntimeError("the fault server found no free port")

    def __exit__(self, *exc):
        self._server.shutdown()
        self._server.server_close()
        self._thread.join(timeout=10)
        return False
