#!/usr/bin/env bash
# Times the window's table "Aperçu des nouveaux noms" over N generated photos
# (default 10,000), offscreen:
#   bench/preview_bench.sh [N] [path/to/quillmark-preview-bench]
# (the program is also taken from $QUILLMARK_PREVIEW_BENCH, else from
# build/release). Prints the best of three, in milliseconds: opening the table
# until it is filled and painted, following a change of the format (its
# 200 ms delay taken off), and a sort by new name; then, for comparison, the
# command line's dry run over the same photos.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
count=${1:-10000}
program=${2:-${QUILLMARK_PREVIEW_BENCH:-$root/build/release/bench/quillmark-preview-bench}}
cli=${QUILLMARK_CLI:-$root/build/release/cli/quillmark-cli}
source "$here/common.sh"
bench_require preview_bench "build the target quillmark-preview-bench, or pass its path" "$program"
bench_workdir preview
python3 "$here/make_photos.py" "$work/photos" "$count"

echo "table of new names over $count photos"
QT_QPA_PLATFORM=offscreen "$program" "$work/photos" 2> >(grep -v -e propagateSizeHints -e XDG_RUNTIME_DIR >&2)
if [[ -x "$cli" ]]; then
  start=$(date +%s.%N)
  "$cli" --color never rename --dry-run "$work/photos" >/dev/null 2>&1 || true
  end=$(date +%s.%N)
  awk -v s="$start" -v e="$end" 'BEGIN { printf "quillmark-cli rename --dry-run: %.0f ms\n", (e - s) * 1000 }'
fi
