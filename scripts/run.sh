#!/usr/bin/env bash
# The main job: installs what is needed, builds, starts the diagnostic engine
# with this machine's device modules and shows how to use it, then starts
# the embedded CIM server on loopback and drives it once with wbemcli.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build=${VELK_BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELK_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target VLK_DiagProvider velk-provider-host velkcore velkcli \
    velk_modules velk-cimserver

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

# The embedded CIM server: its own private pipe directory, so that it starts
# (and on SIGTERM stops) an engine of its own.
port=${VELK_CIM_PORT:-5988}
url="http://localhost:$port/root/korva"
server_pipes=$(mktemp -d /tmp/velk-cimserver-XXXXXX)
log=$PWD/$build/velk-cimserver.log
echo "== velk-cimserver: CIM-XML over HTTP on 127.0.0.1:$port (log: $log) =="
VELK_TMP=$server_pipes nohup "$bin/velk-cimserver" --port "$port" --home "$bin" --log-requests \
    >"$log" 2>&1 </dev/null &
server=$!
for _ in $(seq 1 100); do
    if wbemcli ecn "$url" >/dev/null 2>&1; then break; fi
    if ! kill -0 "$server" 2>/dev/null; then
        echo "velk-cimserver did not start:"; cat "$log"; exit 1
    fi
    sleep 0.3
done
wbemcli ecn "$url" >/dev/null

try() {
    echo "\$ $*"
    "$@" || echo "   (exit status $?)"
    echo
}
# A processor of this machine and its first test.
cpu=$(wbemcli ein "$url:VLK_Processor" | head -n 1 | sed 's|^.*/root/korva:||')
system=$(printf '%s' "$cpu" | sed 's/.*SystemName="\([^"]*\)".*/\1/')
test_path="$url:VLK_DiagTest.CreationClassName=\"VLK_DiagTest\",Name=\"VELkCPU:0:Integer arithmetic and logic\",SystemCreationClassName=\"CIM_UnitaryComputerSystem\",SystemName=\"$system\""
try wbemcli ein "$url:VLK_Device"
try wbemcli ei "$url:VLK_DiagTest"
try wbemcli cm "$test_path" "RunTest.SystemElement=$cpu"

cat <<EOF_SERVER
velk-cimserver keeps running (pid $server, FIFOs in $server_pipes). Try:
  wbemcli ein '$url:VLK_Device'
  wbemcli ei '$url:VLK_DiagTest'
  wbemcli cm '$test_path' 'RunTest.SystemElement=$cpu'
  wbemcli ei '$url:VLK_DiagResult'             # the results, with TestState and PercentComplete
  wbemcli ain -ac VLK_DiagTestForMSE '$url:$cpu'
Stop it (this also stops the engine it started and removes its FIFOs):
  kill $server; rmdir $server_pipes
EOF_SERVER
