#!/usr/bin/env bash
# Times `quillmark-cli rename` over a folder of N generated photos:
#   bench/rename_bench.sh [N] [path/to/quillmark-cli]
# (the program is also taken from $QUILLMARK_CLI, else from build/release).
# Every run starts from a fresh copy of the same photos; the copy is not timed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
count=${1:-10000}
cli=${2:-${QUILLMARK_CLI:-$root/build/release/cli/quillmark-cli}}
cli=$(cd "$(dirname "$cli")" && pwd)/$(basename "$cli")
if [[ ! -x "$cli" ]]; then
  echo "rename_bench: no program at $cli (build it, or pass its path)" >&2
  exit 2
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/quillmark-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT

python3 "$here/make_photos.py" "$work/distinct" "$count"
python3 "$here/make_photos.py" "$work/same" "$count" --same-second

# run LABEL TEMPLATE ARGS...: copies TEMPLATE, then times the program on it.
run() {
  local label=$1 template=$2
  shift 2
  rm -rf "$work/run"
  cp -r "$work/$template" "$work/run"
  local start end status=0
  start=$(date +%s.%N)
  (cd "$work/run" && "$cli" --color never "$@" . >"$work/log" 2>&1) || status=$?
  end=$(date +%s.%N)
  local renamed
  renamed=$(tail -n 1 "$work/log")
  printf "%-44s %8s s   exit %d   %s\n" "$label" "$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.2f", e - s }')" "$status" "$renamed"
}

echo "quillmark-cli rename over $count photos ($("$cli" --version))"
run "default format, distinct dates" distinct rename
run "default format, one instant ([NUMBER] 1..N)" same rename
run "[IYEAR]-[NUMBER], one year" distinct rename -f '[IYEAR]-[NUMBER]'
run "[IYEAR]-[NUMBER], one year, 5 digits" distinct rename -f '[IYEAR]-[NUMBER]' -d 5
run "[IYEAR]-[NUMBER], dry run" distinct rename --dry-run -f '[IYEAR]-[NUMBER]'
run "default format with text files" distinct rename --text-file
