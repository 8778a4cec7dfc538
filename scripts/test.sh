#!/usr/bin/env bash
# Runs every test on a fresh Debian machine: installs the packages, builds the native
# and the Windows presets, and runs the native tests and the Wine tests through CTest.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

cmake --preset native
cmake --build --preset native -j2
ctest --preset native

# The end-to-end tests unpack with a real 7-Zip console for Windows, built once into a cache.
seven_zip=$(scripts/build-7zip.sh | tail -n 1)

cmake --preset windows -DUPDATER_7Z="$seven_zip"
cmake --build --preset windows -j2
ctest --preset windows
