#!/usr/bin/env bash
# The main job: installs what is needed, builds, starts the diagnostic engine
# with this machine's device modules and shows how to use it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build=${VELK_BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELK_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target VLK_DiagProvider velk-provider-host velkcore velkcli \
    velk_modules

bin=$PWD/$build/bin
pipes=${VELK_TMP:-/tmp/velk-pipes}
mkdir -p -m 0700 "$pipes"
export VELK_TMP=$pipes VELKOR_HOME=$bin
velkcli=$bin/velkcli

echo "== velk-provider-host: the CIM provider loaded as a CIM server loads it =="
"$bin/velk-provider-host"
echo "   (provider log: $PWD/$build/velkprovider.log)"
echo

echo "== velkcore: broker, diagnostic engine and NLS engine with the modules of $bin =="
if "$velkcli" devices --keep-engine >/dev/null; then
    echo "   engine running; FIFOs in $VELK_TMP"
fi
echo
echo "== velkcli devices: this machine's testable devices =="
"$velkcli" devices
echo
echo "== velkcli tests --lang DE --device CPU:0 =="
"$velkcli" --lang DE tests --device CPU:0
echo
echo "== velkcli run \"VELkCPU:0:Integer arithmetic and logic\" --device CPU:0 =="
status=0
"$velkcli" run "VELkCPU:0:Integer arithmetic and logic" --device CPU:0 || status=$?
echo "   (exit status $status: 0 passed; velkcli/README.md lists the others)"
echo
cat <<EOF_USAGE
The engine keeps running. Try:
  export VELK_TMP=$VELK_TMP VELKOR_HOME=$bin
  $velkcli tests
  $velkcli devices --json
  $velkcli run "VeLkHardDrive:2:Random read verify" --device <HW LOCATOR of a disk> --param COUNT=64
Stop it:
  kill \$(pgrep -x velkcore)
EOF_USAGE
