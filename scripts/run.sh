#!/usr/bin/env bash
# The main job: installs what is needed, builds, starts the diagnostic engine
# from the build tree and shows how to use it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build=${VELK_BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELK_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target VLK_DiagProvider velk-provider-host velkcore velkcli velktest

bin=$PWD/$build/bin
pipes=${VELK_TMP:-/tmp/velk-pipes}
mkdir -p -m 0700 "$pipes"
export VELK_TMP=$pipes

echo "== velk-provider-host: the CIM provider loaded as a CIM server loads it =="
VELKOR_HOME=$bin "$build/bin/velk-provider-host"
echo "   (provider log: $PWD/$build/velkprovider.log)"
echo

# The product's device modules come with their own changes; until then the
# engine is shown with the test module, in a bin directory of its own.
demo=$PWD/$build/demo-bin
mkdir -p "$demo"
ln -sf "$bin/velkcore" "$bin/velkcli" "$demo/"
ln -sf "$PWD/$build/testmodules/"velktest.* "$demo/"
export VELKOR_HOME=$demo

echo "== velkcore: broker, diagnostic engine and NLS engine (bin directory $demo) =="
if "$demo/velkcli" devices --keep-engine >/dev/null 2>&1; then
    echo "   engine running; FIFOs in $VELK_TMP"
fi
echo
echo "== velkcli devices =="
"$demo/velkcli" devices
echo
echo "== velkcli tests --lang DE --device IDE:0:0 =="
"$demo/velkcli" tests --lang DE --device IDE:0:0
echo
cat <<EOF_USAGE
The engine keeps running. Try:
  export VELK_TMP=$VELK_TMP VELKOR_HOME=$demo
  $demo/velkcli tests
  $demo/velkcli devices --json
Stop it:
  kill \$(pgrep -x velkcore)
EOF_USAGE
