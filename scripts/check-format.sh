#!/usr/bin/env bash
# Reports every tracked C/C++ source whose formatting differs from .clang-format.
# Usage: scripts/check-format.sh [clang-format binary]
set -euo pipefail
cd "$(dirname "$0")/.."
fmt=${1:-clang-format}
mapfile -t files < <(git ls-files -co --exclude-standard -- '*.c' '*.h' '*.cpp' '*.hpp' \
                     | grep -v '^tests/.*/corpus/' || true)
[ ${#files[@]} -eq 0 ] && exit 0
"$fmt" --dry-run --Werror "${files[@]}"
