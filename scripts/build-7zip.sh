#!/usr/bin/env bash
# Builds the Windows console archiver 7z.exe from Debian's 7zip source package, once,
# into a cache folder outside the repository. The updater expects 7z.exe beside itself;
# the end-to-end tests and the demo copy it from here.
# The last line of stdout is always the path of 7z.exe.
set -euo pipefail

cache="${UPDATER_CACHE:-$HOME/.cache/updater}/7zip"
exe="$cache/7z.exe"

if [ -s "$exe" ]; then
  echo "$exe"
  exit 0
fi

log() { echo "build-7zip: $*" >&2; }

need=()
for tool in x86_64-w64-mingw32-gcc-posix x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-windres make xz dpkg-source; do
  command -v "$tool" >/dev/null || need+=("$tool")
done
if [ ${#need[@]} -gt 0 ]; then
  log "missing tools: ${need[*]}; run scripts/install-deps.sh first"
  exit 1
fi

# apt-get source needs a deb-src entry; Debian's images ship without one.
src_list=/etc/apt/sources.list.d/updater-bookworm-src.sources
if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
  if [ "$(id -u)" -ne 0 ]; then
    log "no deb-src entry for bookworm main and not root: add one to /etc/apt/sources.list.d/"
    exit 1
  fi
  log "adding a deb-src entry for bookworm main ($src_list)"
  cat >"$src_list" <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  apt-get update -qq >&2
fi

mkdir -p "$cache"
work="$(mktemp -d "$cache/build.XXXXXX")"
trap 'rm -rf "$work"' EXIT

log "fetching the 7zip source package"
(cd "$work" && apt-get source --download-only -qq 7zip >&2)
orig=$(ls "$work"/7zip_*.orig.tar.xz 2>/dev/null | head -1)
if [ -z "$orig" ]; then
  log "apt-get source gave no 7zip_*.orig.tar.xz"
  exit 1
fi

mkdir -p "$work/src"
tar -xJf "$orig" -C "$work/src"
alone=$(find "$work/src" -type d -path '*CPP/7zip/Bundles/Alone' | head -1)
if [ -z "$alone" ]; then
  log "CPP/7zip/Bundles/Alone not found in $orig"
  exit 1
fi

jobs="${BUILD_JOBS:-2}"
log "building 7za.exe with MinGW-w64 (-j$jobs, a few minutes)"
(cd "$alone" && make -j"$jobs" -f makefile.gcc SystemDrive=C: DISABLE_RAR=1 \
  CC=x86_64-w64-mingw32-gcc-posix CXX=x86_64-w64-mingw32-g++-posix \
  RC=x86_64-w64-mingw32-windres >"$work/make.log" 2>&1) || {
  tail -30 "$work/make.log" >&2
  log "make failed"
  exit 1
}

# Copy under a temporary name first so that a half-written file never looks finished.
cp "$alone/_o/7za.exe" "$exe.part"
mv "$exe.part" "$exe"
echo "$exe"
