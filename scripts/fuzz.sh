#!/usr/bin/env bash
# Builds the reader's fuzz target with clang (libFuzzer, ASan, UBSan), writes
# the seed corpus if there is none, and fuzzes. Not part of the test command.
# Usage: scripts/fuzz.sh [SECONDS] [libFuzzer options...]   (default 60 s)
# The corpus grows in build/fuzz/corpus; a crash is written to build/fuzz/
# as crash-<sha1>, which `build/fuzz/fuzz/reader_fuzzer FILE` replays.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/bootstrap.sh --fuzz
seconds=${1:-60}
shift || true
scripts/build.sh build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ -DQUILLMARK_FUZZ=ON -DQUILLMARK_BUILD_GUI=OFF -DQUILLMARK_BUILD_TESTS=OFF
corpus=build/fuzz/corpus
if [ ! -d "$corpus" ]; then
  build/fuzz/fuzz/make_seeds "$corpus"
  cp examples/*.jpg "$corpus"/
fi
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cd build/fuzz
exec fuzz/reader_fuzzer -max_total_time="$seconds" -max_len=262144 -rss_limit_mb=1024 -timeout=10 "$@" corpus
