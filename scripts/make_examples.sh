#!/usr/bin/env bash
# Rebuilds the example photos in examples/ with tools/make_examples. The tool
# draws and encodes everything itself from fixed numbers, so a run on the same
# machine writes the same bytes every time.
# Usage: scripts/make_examples.sh [build dir, default build/tools]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-"$root/build/tools"}
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DQUILLMARK_BUILD_GUI=OFF -DQUILLMARK_BUILD_TESTS=OFF >/dev/null
cmake --build "$dir" --target make_examples
rm -f "$root"/examples/*.jpg
"$dir/tools/make_examples" "$root/examples"
