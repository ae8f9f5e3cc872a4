#!/usr/bin/env bash
# Fails when a source file differs from .clang-format, naming each one.
# Usage: scripts/format_check.sh   (scripts/bootstrap.sh --tests installs clang-format)
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v clang-format >/dev/null 2>&1; then
  echo "format_check: clang-format is missing (scripts/bootstrap.sh --tests installs it)" >&2
  exit 1
fi
differ=()
while IFS= read -r -d '' f; do
  clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || differ+=("$f")
done < <(git ls-files -z '*.cpp' '*.hpp' '*.h' '*.c' 2>/dev/null || find . -path ./build -prune -o \( -name '*.cpp' -o -name '*.hpp' -o -name '*.h' -o -name '*.c' \) -print0)
if [ ${#differ[@]} -ne 0 ]; then
  echo "format_check: these files differ from .clang-format (clang-format -i FILE):" >&2
  printf '  %s\n' "${differ[@]}" >&2
  exit 1
fi
echo "format check: every source follows .clang-format"
