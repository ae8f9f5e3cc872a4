#!/usr/bin/env bash
# Times `quillmark-cli rename` over a folder of N generated photos:
#   bench/rename_bench.sh [N] [path/to/quillmark-cli] [path/to/baseline-cli]
# (the program is also taken from $QUILLMARK_CLI, else from build/release).
# Every run starts from a fresh copy of the same photos; the copy is not timed.
# With a baseline program (another build, for instance one from before a
# change), each case is timed with both, alternately, three times, and the
# best times and their ratio are printed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
count=${1:-10000}
cli=${2:-${QUILLMARK_CLI:-$root/build/release/cli/quillmark-cli}}
cli=$(cd "$(dirname "$cli")" && pwd)/$(basename "$cli")
baseline=${3:-}
source "$here/common.sh"
bench_require rename_bench "build it, or pass its path" "$cli" ${baseline:+"$baseline"}
bench_workdir bench

python3 "$here/make_photos.py" "$work/distinct" "$count"
python3 "$here/make_photos.py" "$work/same" "$count" --same-second

# once PROGRAM TEMPLATE ARGS...: copies TEMPLATE, times PROGRAM on it and
# prints the seconds; the exit status goes to $work/status.
once() {
  local program=$1 template=$2
  shift 2
  rm -rf "$work/run"
  cp -r "$work/$template" "$work/run"
  # The copy reaches the disk before the clock starts: a run that syncs its
  # journal would otherwise pay for writing out the copy's 10,000 new files.
  sync
  local start end status=0
  start=$(date +%s.%N)
  (cd "$work/run" && "$program" --color never "$@" . >"$work/log" 2>&1) || status=$?
  end=$(date +%s.%N)
  echo "$status" >"$work/status"
  awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f", e - s }'
}

best() { printf "%s\n" "$@" | sort -g | head -n 1; }

# run LABEL TEMPLATE ARGS...
run() {
  local label=$1 template=$2
  shift 2
  if [[ -z "$baseline" ]]; then
    local t
    t=$(once "$cli" "$template" "$@")
    printf "%-44s %8.2f s   exit %d   %s\n" "$label" "$t" "$(cat "$work/status")" "$(tail -n 1 "$work/log")"
    return
  fi
  local mine=() theirs=()
  for _ in 1 2 3; do
    theirs+=("$(once "$baseline" "$template" "$@")")
    mine+=("$(once "$cli" "$template" "$@")")
  done
  local a b
  a=$(best "${mine[@]}")
  b=$(best "${theirs[@]}")
  printf "%-44s %7.3f s  baseline %7.3f s  ratio %5.3f   exit %d\n" "$label" "$a" "$b" \
    "$(awk -v a="$a" -v b="$b" 'BEGIN { printf "%.3f", a / b }')" "$(cat "$work/status")"
}

echo "quillmark-cli rename over $count photos ($("$cli" --version))${baseline:+, against $baseline}"
run "default format, distinct dates" distinct rename
run "default format, one instant ([NUMBER] 1..N)" same rename
run "[IYEAR]-[NUMBER], one year" distinct rename -f '[IYEAR]-[NUMBER]'
run "[IYEAR]-[NUMBER], one year, 5 digits" distinct rename -f '[IYEAR]-[NUMBER]' -d 5
run "[IYEAR]-[NUMBER], dry run" distinct rename --dry-run -f '[IYEAR]-[NUMBER]'
run "default format with text files" distinct rename --text-file
