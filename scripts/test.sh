#!/usr/bin/env bash
# Installs what is missing, then builds and runs the whole test suite twice:
# a normal build, and a build with AddressSanitizer and UndefinedBehaviorSanitizer.
# Both trees are configured with the tests on, whatever their cache holds (a
# tree made by scripts/run.sh leaves them out), and a run that finds no test
# fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/bootstrap.sh --tests

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:halt_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
jobs=$(nproc 2>/dev/null || echo 2)

echo "== format check (clang-format)"
scripts/format_check.sh

echo "== Windows syntax check (mingw-w64)"
scripts/windows_check.sh

echo "== normal build"
scripts/build.sh build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLMARK_BUILD_TESTS=ON
ctest --test-dir build/release --output-on-failure --no-tests=error -j "$jobs"

echo "== sanitizer build (ASan + UBSan)"
scripts/build.sh build/sanitize -DCMAKE_BUILD_TYPE=Debug -DQUILLMARK_SANITIZE=ON -DQUILLMARK_BUILD_TESTS=ON
ctest --test-dir build/sanitize --output-on-failure --no-tests=error -j "$jobs"
