#!/usr/bin/env bash
# The main job: installs what is needed, builds, and runs the diagnostics
# provider the way a CIM server runs it, from the build tree.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build=${VELK_BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELK_TESTS=OFF -DVELK_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"

# Everything runs from the build tree's bin directory instead of /opt/Velkor/bin.
export VELKOR_HOME="$PWD/$build/bin"
echo "== velk-provider-host: the provider loaded as a CIM server loads it =="
"$build/bin/velk-provider-host"
echo
echo "Provider log: $PWD/$build/velkprovider.log"
echo "Enumerate one class:   VELKOR_HOME=$VELKOR_HOME $build/bin/velk-provider-host VLK_DiskDrive"
