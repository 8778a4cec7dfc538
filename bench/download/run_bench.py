#!/usr/bin/env python3
"""Download benchmark: download.exe, plain WinINet loops (plain_loop.exe) and curl, side by side.

nginx serves a 256 MiB and a 16 MiB file on loopback. download.exe (alone, and with --sha256:
hashing the body while it is written, as a package with a digest is) and plain_loop.exe (with
64 KiB reads; with --variants also the loop with one of download.exe's habits added each, to
find a fixed cost per chunk) run under
Wine (one prefix, a persistent wineserver, so process start costs the same few milliseconds for
both); curl runs on Linux. Each tool fetches the large file --runs times, in rotating order after a
sync; the best time counts (the machine may be busy with other work). Peak memory is the maximum resident set of the Wine process running download.exe,
as GNU time reports it (/usr/bin/time -f %M), for the small and the large file, --runs times
each; Wine's own resident set wobbles by about 1.5 MiB from run to run, so the lowest and the
median peaks are compared. Last, the requests download.exe makes for a redirect chain that never
ends (the fault server's /loop).

python3 bench/download/run_bench.py --bin build/windows/bin
"""

import argparse
import hashlib
import os
import pathlib
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parents[1] / "tests" / "wine"))
import rig  # noqa: E402

MIB = 1024 * 1024


def write_random(path, size):
    with open(path, "wb") as out:
        left = size
        while left:
            piece = min(left, 4 * MIB)
            out.write(os.urandom(piece))
            left -= piece


def digest(path):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(MIB), b""):
            h.update(block)
    return h.hexdigest()


def timed(command, env=None):
    start = time.perf_counter()
    result = subprocess.run(command, env=env, capture_output=True, timeout=600)
    elapsed = time.perf_counter() - start
    if result.returncode != 0:
        raise RuntimeError(f"{command[:2]} failed ({result.returncode}): {result.stderr!r}")
    return elapsed


def peak_kib(prefix, command):
    with tempfile.NamedTemporaryFile("r") as report:
        subprocess.run(["/usr/bin/time", "-o", report.name, "-f", "%M", "wine", *command],
                       env=prefix.env(), check=True, capture_output=True, timeout=600)
        return int(report.read().strip().splitlines()[-1])


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--bin", type=pathlib.Path, required=True)
    parser.add_argument("--work", type=pathlib.Path, help="default: <bin>/../bench-download")
    parser.add_argument("--prefix", type=pathlib.Path, help="default: <bin>/../wine-prefix-bench")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--variants", action="store_true",
                        help="also the 64 KiB loop with timeouts, a worker thread, WriteFile")
    args = parser.parse_args()
    bin_dir = args.bin.resolve()
    work = (args.work or bin_dir.parent / "bench-download").resolve()
    prefix = rig.WinePrefix(args.prefix or bin_dir.parent / "wine-prefix-bench")

    shutil.rmtree(work, ignore_errors=True)
    www, out = work / "www", work / "out"
    www.mkdir(parents=True)
    out.mkdir()
    sizes = {"large.bin": 256 * MIB, "small.bin": 16 * MIB}
    for name, size in sizes.items():
        write_random(www / name, size)
    large_digest = digest(www / "large.bin")

    prefix.ensure()
    prefix.keep_alive()
    try:
        with rig.Nginx(www, work / "nginx") as nginx:
            env = prefix.env()
            win_out = prefix.windows_path(out / "large.bin")
            loop = ["wine", str(bin_dir / "plain_loop.exe"), "127.0.0.1", str(nginx.port),
                    "/large.bin", win_out, "65536"]
            tools = {
                "download.exe": ["wine", str(bin_dir / "download.exe"), nginx.url("large.bin"),
                                 win_out],
                "+ sha256": ["wine", str(bin_dir / "download.exe"), "--sha256",
                             nginx.url("large.bin"), win_out],
                "64 KiB loop": loop,
                "curl": ["curl", "-sS", "-o", str(out / "large.bin"), nginx.url("large.bin")],
            }
            if args.variants:
                for word in ("timeouts", "thread", "writefile", "available"):
                    tools[f"loop+{word}"] = loop + [word]
            times = {name: [] for name in tools}
            timed(tools["curl"])  # warm the page cache
            order = list(tools)
            for _ in range(args.runs):
                for name in order:
                    subprocess.run(["sync"], check=True)  # no write-back of an earlier run
                    times[name].append(timed(tools[name], env))
                    if digest(out / "large.bin") != large_digest:
                        raise RuntimeError(f"{name} stored a different file")
                    (out / "large.bin").unlink()
                order = order[1:] + order[:1]  # no tool always runs first
            best = {name: min(t) for name, t in times.items()}
            median = {name: statistics.median(t) for name, t in times.items()}

            # Wine's resident set wobbles from run to run whatever the size, so each size
            # runs several times, interleaved.
            peaks = {name: [] for name in sizes}
            for _ in range(args.runs):
                for name in sizes:
                    peaks[name].append(peak_kib(prefix, [
                        str(bin_dir / "download.exe"), nginx.url(name),
                        prefix.windows_path(out / name)]))
        with rig.FaultServer() as faults:
            looped = subprocess.run(["wine", str(bin_dir / "download.exe"), faults.url("loop"),
                                     prefix.windows_path(out / "loop.bin")],
                                    env=prefix.env(), capture_output=True, timeout=600)
            loop_requests = len(faults.requests)
            loop_report = looped.stdout.decode("utf-8", "replace").strip()
    finally:
        prefix.wineserver_kill()

    rate = {name: sizes["large.bin"] / MIB / seconds for name, seconds in best.items()}
    print(f"256 MiB over loopback, best of {args.runs} (median in brackets):")
    for name in tools:
        print(f"  {name:14s} {rate[name]:8.1f} MiB/s  ({best[name]:.3f} s; median "
              f"{median[name]:.3f} s)")
    print(f"  download.exe / 64 KiB loop: {rate['download.exe'] / rate['64 KiB loop']:.3f}"
          f"  (target >= 0.95); of the medians: "
          f"{median['64 KiB loop'] / median['download.exe']:.3f}")
    print(f"  download with sha256 / download alone, times: best "
          f"{best['+ sha256'] / best['download.exe']:.3f}, median "
          f"{median['+ sha256'] / median['download.exe']:.3f}  (target <= 1.05)")
    for name in tools:
        if name.startswith("loop+"):
            print(f"  {name} / 64 KiB loop, median times: "
                  f"{median[name] / median['64 KiB loop']:.3f}")
    print(f"  download.exe / curl:       {rate['download.exe'] / rate['curl']:.3f}")
    low = {name: min(p) for name, p in peaks.items()}
    mid = {name: statistics.median(p) for name, p in peaks.items()}
    print(f"Peak resident memory of download.exe under Wine (/usr/bin/time %M), {args.runs} runs "
          "each: lowest, median, range")
    for name, label in (("small.bin", "16 MiB file: "), ("large.bin", "256 MiB file:")):
        print(f"  {label} {low[name]} KiB, {mid[name]:.0f} KiB  "
              f"({min(peaks[name])}..{max(peaks[name])})")
    print(f"  growth:       {low['large.bin'] - low['small.bin']} KiB lowest to lowest, "
          f"{mid['large.bin'] - mid['small.bin']:.0f} KiB median to median  (target < 1024 KiB)")
    print(f"A redirect chain that never ends: {loop_requests} requests, exit code "
          f"{looped.returncode}; {loop_report}")
    shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
