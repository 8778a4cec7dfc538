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

# The deb-src twin of the machine's own deb entry for its release's main component, in the
# deb822 form, from the apt folder given (one-line *.list and deb822 *.sources entries alike);
# nothing when there is none. The archive's address is the machine's choice, never ours.
deb_src_entry() {
  local apt=$1 codename
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  [ -n "$codename" ] || return 0
  # Each entry becomes "URI<TAB>SUITES<TAB>COMPONENTS<TAB>SIGNED-BY".
  {
    cat "$apt/sources.list" "$apt"/sources.list.d/*.list 2>/dev/null |
      sed -n -E 's/^[[:space:]]*deb[[:space:]]+(\[([^]]*)\][[:space:]]+)?([^[:space:]]+)[[:space:]]+([^[:space:]]+)[[:space:]]+(.*)$/\3\t\4\t\5\t\2/p' |
      while IFS=$'\t' read -r uri suite components options; do
        signed=$(sed -n -E 's/.*signed-by=([^[:space:]]+).*/\1/p' <<<"$options")
        printf '%s\t%s\t%s\t%s\n' "$uri" "$suite" "$components" "$signed"
      done
    for file in "$apt"/sources.list.d/*.sources; do
      [ -f "$file" ] || continue
      awk 'BEGIN { RS = ""; FS = "\n" }
        {
          types = uris = suites = comps = signed = ""; enabled = "yes"
          for (i = 1; i <= NF; i++) {
            if ($i ~ /^#/) continue
            split($i, kv, /:[ \t]*/); key = tolower(kv[1]); value = substr($i, length(kv[1]) + 2)
            sub(/^[ \t]+/, "", value)
            if (key == "types") types = value; else if (key == "uris") uris = value
            else if (key == "suites") suites = value; else if (key == "components") comps = value
            else if (key == "signed-by") signed = value; else if (key == "enabled") enabled = value
          }
          split(uris, first, /[ \t]+/)
          if (enabled != "no" && (" " types " ") ~ / deb /) printf "%s\t%s\t%s\t%s\n", first[1], suites, comps, signed
        }' "$file"
    done
  } | while IFS=$'\t' read -r uri suites components signed; do
    case " $suites " in *" $codename "*) ;; *) continue ;; esac
    case " $components " in *" main "*) ;; *) continue ;; esac
    printf 'Types: deb-src\nURIs: %s\nSuites: %s\nComponents: main\n' "$uri" "$codename"
    # Only a key file carries over; an inline key block would need its own lines.
    [ -n "$signed" ] && [ "${signed#/}" != "$signed" ] && printf 'Signed-By: %s\n' "$signed"
    break
  done
}

# apt-get source needs a deb-src entry; Debian's images ship without one.
src_list=/etc/apt/sources.list.d/updater-src.sources
if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/*.list; then
  if [ "$(id -u)" -ne 0 ]; then
    log "no deb-src entry for the release's main component and not root: add one to /etc/apt/sources.list.d/"
    exit 1
  fi
  entry=$(deb_src_entry /etc/apt || true)
  if [ -z "$entry" ]; then
    log "no deb entry for the release's main component in /etc/apt to make a deb-src entry from"
    exit 1
  fi
  log "adding a deb-src entry beside the machine's deb entry ($src_list)"
  printf '%s\n' "$entry" >"$src_list"
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
