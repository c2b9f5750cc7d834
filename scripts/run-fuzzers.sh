#!/usr/bin/env bash
# Runs every fuzz target for a while on a scratch copy of its seed corpus.
# Usage: scripts/run-fuzzers.sh BUILD_DIR SECONDS
# BUILD_DIR is a build configured with -DVELK_FUZZ=ON (clang).  The committed
# corpus under tests/fuzz/corpus is never written.  Crash inputs are kept in
# the scratch directory, whose path is printed; it is removed when every
# target passes.  Exits 1 when any target fails.
set -uo pipefail

if [ $# -ne 2 ]; then
    echo "usage: $0 BUILD_DIR SECONDS" >&2
    exit 2
fi
build_dir=$1
seconds=$2
source_dir=$(cd "$(dirname "$0")/.." && pwd)
fuzz_dir=$source_dir/tests/fuzz

declare -A dictionaries=(
    [tag_path_fuzz]=xml.dict
    [tag_fuzz]=xml.dict
    [packet_fuzz]=xml.dict
    [unescape_fuzz]=unescape.dict
    [frame_fuzz]=frame.dict
    [mof_fuzz]=mof.dict
    [cimxml_fuzz]=cimxml.dict
    [credentials_fuzz]=credentials.dict
)

scratch=$(mktemp -d /tmp/velk-fuzz-XXXXXX)
echo "scratch directory: $scratch"
failed=()
for target in tag_path_fuzz tag_fuzz unescape_fuzz packet_fuzz frame_fuzz mof_fuzz cimxml_fuzz credentials_fuzz; do
    binary=
    for candidate in "$build_dir/tests-bin/$target" "$build_dir/bin/$target"; do
        if [ -x "$candidate" ]; then
            binary=$candidate
            break
        fi
    done
    if [ -z "$binary" ]; then
        echo "$target: not built in $build_dir" >&2
        failed+=("$target")
        continue
    fi
    work=$scratch/$target
    mkdir -p "$work/corpus" "$work/artifacts"
    cp -r "$fuzz_dir/corpus/$target/." "$work/corpus/"
    echo "== $target for ${seconds}s"
    if ! "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
            -dict="$fuzz_dir/${dictionaries[$target]}" \
            -artifact_prefix="$work/artifacts/" \
            "$work/corpus" > "$work/log" 2>&1; then
        echo "$target: FAILED, see $work/log and $work/artifacts" >&2
        tail -n 30 "$work/log" >&2
        failed+=("$target")
    else
        tail -n 3 "$work/log"
    fi
done

if [ ${#failed[@]} -ne 0 ]; then
    echo "failing targets: ${failed[*]}" >&2
    exit 1
fi
rm -rf "$scratch"
echo "all fuzz targets passed"
