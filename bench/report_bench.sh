#!/usr/bin/env bash
# Times `quillmark-cli report` over a folder of photos in one process, beside
# `exiv2 -pa` (an independent peer; Debian package exiv2) on the same files,
# in one hyperfine run, and prints exiv2/quillmark (higher is better).
#   bench/report_bench.sh [PHOTO_DIR] [N] [path/to/quillmark-cli]
# The JPEGs of PHOTO_DIR (default ../shared/samples) are copied under new
# names until there are N (default 2000). Compare ratios from one run only.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
source_dir=${1:-$root/../shared/samples}
count=${2:-2000}
cli=$(readlink -f "${3:-$root/build/release/cli/quillmark-cli}")
for tool in hyperfine exiv2; do
  command -v "$tool" >/dev/null || { echo "report_bench: $tool is missing (apt-get install -y $tool)" >&2; exit 2; }
done
source "$here/common.sh"
bench_workdir report-bench
mkdir "$work/photos"
mapfile -t photos < <(ls "$source_dir"/*.jpg)
[ ${#photos[@]} -gt 0 ] || { echo "report_bench: no JPEG in $source_dir" >&2; exit 2; }
for ((i = 0; i < count; i++)); do
  cp "${photos[i % ${#photos[@]}]}" "$work/photos/$(printf 'p%06d' "$i").jpg"
done
hyperfine --style basic --warmup 1 --runs 5 -i --export-json "$work/r.json" \
  -n quillmark "$cli report $work/photos > /dev/null" \
  -n exiv2 "exiv2 -pa $work/photos/*.jpg > /dev/null 2>&1"
python3 - "$work/r.json" "$count" <<'PY'
import json, sys
r = {x['command']: x['median'] for x in json.load(open(sys.argv[1]))['results']}
print(f"{sys.argv[2]} files: quillmark report {r['quillmark']:.3f}s, exiv2 -pa {r['exiv2']:.3f}s")
print(f"exiv2/quillmark = {r['exiv2'] / r['quillmark']:.2f}")
PY
