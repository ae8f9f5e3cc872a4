#!/usr/bin/env bash
# Times one batch rename of N generated photos in the window against
# `quillmark-cli rename` on identical copies of the same photos:
#   bench/window_bench.sh [N] [build folder]
# (N defaults to 10000, the build folder to build/release). The window runs on
# the offscreen platform (no display needed) through quillmark-window-bench,
# which lists the folder in a new main window, shows it, runs "Renommer les
# fichiers listés" once and exits. Both times are of the whole process:
# start, listing of the folder, the run, the end. Each case is timed three
# times with each program, alternately, on a fresh copy (the copy is not
# timed); the best times and their ratio (window / command line) are printed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
count=${1:-10000}
build=${2:-$root/build/release}
cli=$build/cli/quillmark-cli
window=$build/bench/quillmark-window-bench
source "$here/common.sh"
bench_require window_bench "build it, or pass the build folder" "$cli" "$window"
bench_workdir window-bench
export QT_QPA_PLATFORM=offscreen

python3 "$here/make_photos.py" "$work/photos" "$count"

# once PROGRAM ARGS...: copies the photos, times PROGRAM on the copy and
# prints the seconds; its exit status goes to $work/status, its output to
# $work/log.
once() {
  rm -rf "$work/run"
  cp -r "$work/photos" "$work/run"
  local start end status=0
  start=$(date +%s.%N)
  (cd "$work/run" && "$@" >"$work/log" 2>&1) || status=$?
  end=$(date +%s.%N)
  echo "$status" >"$work/status"
  awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f", e - s }'
}

best() { printf "%s\n" "$@" | sort -g | head -n 1; }

# compare LABEL ARGS...: the same rename options for both programs.
compare() {
  local label=$1
  shift
  local cli_times=() window_times=() cli_status window_status window_log
  for _ in 1 2 3; do
    cli_times+=("$(once "$cli" --color never rename "$@" .)")
    cli_status=$(cat "$work/status")
    window_times+=("$(once "$window" "$@" .)")
    window_status=$(cat "$work/status")
    window_log=$(tail -n 1 "$work/log")
  done
  local c w
  c=$(best "${cli_times[@]}")
  w=$(best "${window_times[@]}")
  printf "%-28s window %7.3f s  command line %7.3f s  ratio %5.2f   exit %d/%d  (%s)\n" "$label" "$w" "$c" \
    "$(awk -v a="$w" -v b="$c" 'BEGIN { printf "%.2f", a / b }')" "$window_status" "$cli_status" "$window_log"
}

echo "rename of $count photos, window (offscreen) against quillmark-cli ($("$cli" --version))"
compare "default format"
compare "default format, text files" --text-file
