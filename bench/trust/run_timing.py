#!/usr/bin/env python3
"""What the package digest and the manifest signature add to an update of a 100 MiB package.

  run_timing.py --bin <windows build>/bin [--work DIR] [--size-mib 100] [--rounds 3]

Serves a package with nginx on loopback, times download.exe fetching it under Wine (less the
time of a one-byte download, which is Wine's start-up), and has trust_timing.exe time the
digest of the stored package and the signature check of a signed manifest. Prints the best of
the rounds and the checks' share of the download.
"""

import argparse
import os
import pathlib
import shutil
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tests" / "wine"))
import rig  # noqa: E402


def timed(prefix, exe, args):
    start = time.monotonic()
    result = prefix.run(exe, args, timeout=600)
    if result.returncode != 0:
        raise RuntimeError(f"{exe.name} failed: {result.stderr.decode(errors='replace')}")
    return time.monotonic() - start, result.stdout.decode()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True, type=pathlib.Path)
    parser.add_argument("--work", type=pathlib.Path, default=ROOT / "build" / "bench-trust")
    parser.add_argument("--size-mib", type=int, default=100)
    parser.add_argument("--rounds", type=int, default=3)
    args = parser.parse_args()
    work = args.work.resolve()
    www = work / "www"
    shutil.rmtree(www, ignore_errors=True)
    www.mkdir(parents=True)
    (www / "package.bin").write_bytes(os.urandom(args.size_mib << 20))
    (www / "one.bin").write_bytes(b"x")
    (www / "update.xml").write_text("<config><update version=\"2\"/></config>\n")
    keys = work / "keys"
    shutil.rmtree(keys, ignore_errors=True)
    sign = ROOT / "scripts" / "sign-update.sh"
    subprocess.run([sign, "keygen", keys], check=True, capture_output=True)
    subprocess.run([sign, "sign", www / "update.xml", keys / "update-private-key.pem"],
                   check=True, capture_output=True)

    prefix = rig.WinePrefix(work / "prefix")
    prefix.ensure()
    prefix.keep_alive()
    win = prefix.windows_path
    try:
        with rig.Nginx(www, work / "nginx") as nginx:
            downloads, digests, signatures = [], [], []
            for _ in range(args.rounds):
                startup, _ = timed(prefix, args.bin / "download.exe",
                                   [nginx.url("one.bin"), win(work / "one.bin")])
                total, _ = timed(prefix, args.bin / "download.exe",
                                 [nginx.url("package.bin"), win(work / "package.bin")])
                downloads.append(total - startup)
                _, out = timed(prefix, args.bin / "trust_timing.exe",
                               [win(work / "package.bin"), win(www / "update.xml"),
                                win(www / "update.xml.sig"), win(keys / "update-key.pem")])
                figures = dict(line.split("=", 1)[0:2] for line in
                               (part.split(" ")[0] for part in out.split()) if "=" in line)
                digests.append(float(figures["digest_ms"]) / 1000)
                signatures.append(float(figures["signature_ms"]) / 1000)
    finally:
        prefix.wineserver_kill()
    download, digest, signature = min(downloads), min(digests), min(signatures)
    print(f"package: {args.size_mib} MiB from nginx on loopback, best of {args.rounds}")
    print(f"download:  {download:8.3f} s")
    print(f"digest:    {digest:8.3f} s  ({100 * digest / download:.1f} % of the download)")
    print(f"signature: {signature:8.3f} s  ({100 * signature / download:.2f} % of the download)")


if __name__ == "__main__":
    main()
