#!/usr/bin/env bash
# Installs every Debian package that building and testing need.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

native_pkgs=(cmake g++ clang libgtest-dev libgmock-dev libpugixml-dev)
windows_pkgs=(g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev wine wine64
              nginx xvfb xdotool fonts-wqy-microhei 7zip curl dpkg-dev xz-utils make
              locales imagemagick openssl ca-certificates)

want=("${native_pkgs[@]}")
if [ "${1:-}" != "--native-only" ]; then want+=("${windows_pkgs[@]}"); fi

missing=()
for p in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
# Wine's 32-bit half is not needed: everything here is x86-64.
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Wine renders the Chinese box texts only under a Chinese locale.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN.utf8$'; then
  if [ -f /etc/locale.gen ]; then
    sed -i 's/^# *zh_CN.UTF-8 UTF-8/zh_CN.UTF-8 UTF-8/' /etc/locale.gen
    grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' >> /etc/locale.gen
    locale-gen >/dev/null
  fi
fi
