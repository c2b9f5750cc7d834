#!/usr/bin/env bash
# Checks the provider against a real OpenPegasus SDK: configures a build with
# -DVELK_PEGASUS_SDK (g++, as the SDK was built; no sanitizers), builds the
# provider (linked with -Wl,--no-undefined), the loader and the API probe,
# checks that the provider library leaves no symbol unresolved against the
# SDK's libraries and that libpegcommon holds the Array code of every element
# type our CIM layer accepts, and runs the loader, which dlopens the provider as an
# OpenPegasus server does and routes requests for every class through it.
#
# usage: check-pegasus-sdk.sh [build dir [loader provider probe]]
#   build dir                 where the SDK build goes (default build-sdk)
#   loader provider probe     the same programs and provider built against our
#                             CIM layer; their output must equal the SDK build's
#
# The SDK is $VELK_PEGASUS_SDK_DIR, by default ../shared/openpegasus-sdk next
# to the repository.  Without it the check is skipped (exit status 77), except
# when CI=true, where a missing SDK is a failure.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
sdk=${VELK_PEGASUS_SDK_DIR:-$repo/../shared/openpegasus-sdk}
build=${1:-$repo/build-sdk}

if [ ! -d "$sdk" ]; then
    if [ "${CI:-}" = true ]; then
        echo "OpenPegasus SDK not found at $sdk: CI requires it (set VELK_PEGASUS_SDK_DIR)" >&2
        exit 1
    fi
    echo "OpenPegasus SDK not found at $sdk: provider check against OpenPegasus skipped"
    exit 77
fi
sdk=$(cd "$sdk" && pwd)
mkdir -p "$build"
build=$(cd "$build" && pwd)

# Runs a step quietly; on failure shows its output and stops.
step() {
    local name=$1 log=$build/$1.log
    shift
    if ! "$@" >"$log" 2>&1; then
        echo "OpenPegasus SDK check: $name failed:" >&2
        tail -n 60 "$log" >&2
        exit 1
    fi
}

options=(-DCMAKE_BUILD_TYPE=Debug -DVELK_PEGASUS_SDK="$sdk" -DVELK_BENCH=OFF -DVELK_FUZZ=OFF
    -DVELK_SANITIZE=OFF -DVELK_TSAN=OFF)
if command -v ninja >/dev/null; then
    options+=(-G Ninja)
fi
if command -v ccache >/dev/null; then
    options+=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
# Configured once per SDK location; later runs only rebuild.
if ! grep -qxF "VELK_PEGASUS_SDK:PATH=$sdk" "$build/CMakeCache.txt" 2>/dev/null; then
    step configure env CC=gcc CXX=g++ cmake -S "$repo" -B "$build" "${options[@]}"
fi
step build cmake --build "$build" -j2 --target VLK_DiagProvider velk-provider-loader velk-api-probe

provider=$build/lib/libVLK_DiagProvider.so
step unresolved-symbols env LD_LIBRARY_PATH="$sdk/lib" ldd -r "$provider"
if grep -E "undefined symbol|not found" "$build/unresolved-symbols.log" >&2; then
    echo "OpenPegasus SDK check: $provider leaves symbols unresolved" >&2
    exit 1
fi

# Every Array element type our CIM layer accepts has its code in libpegcommon.
pegcommon=$sdk/lib/libpegcommon.so.1
[ -f "$pegcommon" ] || pegcommon=$sdk/lib/libpegcommon.so
step array-elements g++ -std=c++20 -shared -fPIC -DARRAY_CASE=0 -I"$sdk/include" \
    -DPEGASUS_PLATFORM_LINUX_X86_64_GNU "$repo/tests/cim/array_element_cases.cpp" \
    -o "$build/array-elements.so" -Wl,--no-undefined "$pegcommon"

# Both loaders print the same lines for the same provider behaviour.
step loader "$build/tests-bin/velk-provider-loader" "$provider"
step probe "$build/tests-bin/velk-api-probe"
if [ $# -ge 4 ]; then
    step bundled-loader "$2" "$3"
    step bundled-probe "$4"
    step loader-output-matches diff -u "$build/bundled-loader.log" "$build/loader.log"
    step probe-output-matches diff -u "$build/bundled-probe.log" "$build/probe.log"
fi
echo "provider built, linked and served against the OpenPegasus SDK in $sdk"
