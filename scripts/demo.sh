#!/usr/bin/env bash
# The demo: a sample application of version 1.0 starts updater.exe under Wine, which finds
# version 2.0 (published with scripts/publish-update.sh from examples/server/package and served
# by nginx on loopback), asks, downloads the package, notifies the application (which saves its
# work and closes), unpacks the package over the application folder with 7z.exe and starts the
# application again. Without a display it uses Xvfb and answers Yes itself.
#
#   scripts/demo.sh [--headless]
#
# Environment: DEMO_BUILD_DIR (default build/windows) is the Windows build folder to use.
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir="${DEMO_BUILD_DIR:-build/windows}"

echo "== Installing what the demo needs"
scripts/install-deps.sh
seven_zip=$(scripts/build-7zip.sh | tail -n 1)
echo "7z.exe for Windows: $seven_zip"

echo "== Building the Windows programs into $build_dir"
cmake --preset windows -B "$build_dir" -DUPDATER_7Z="$seven_zip" >/dev/null
cmake --build "$build_dir" -j2 --target updater sample_host >/dev/null

echo "== Running the demo"
python3 examples/demo/run_demo.py --bin "$build_dir/bin" --seven-zip "$seven_zip" \
  --work build/demo "$@"
