#!/usr/bin/env bash
# Compiles every source outside the Qt programs for Windows with mingw-w64,
# syntax only (there are no Windows builds of Qt or libjpeg to link against),
# with the Windows branches of the platform code active.
# Usage: scripts/windows_check.sh [work dir, default build/windows-check]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
work=${1:-build/windows-check}
compiler=x86_64-w64-mingw32-g++-posix
if ! command -v "$compiler" >/dev/null; then
  echo "windows_check: $compiler is missing (scripts/bootstrap.sh installs it)" >&2
  exit 1
fi

# Header-only libraries and the libjpeg headers come from the Debian system;
# only they are shown to the cross compiler, not the rest of /usr/include.
include="$work/include"
mkdir -p "$include"
ln -sfn /usr/include/CLI "$include/CLI"
[ -d /usr/include/nlohmann ] && ln -sfn /usr/include/nlohmann "$include/nlohmann"
for h in jpeglib.h jmorecfg.h jerror.h; do ln -sf "/usr/include/$h" "$include/$h"; done
ln -sf "/usr/include/$(gcc -dumpmachine)/jconfig.h" "$include/jconfig.h"

passed=0 failed=0
for source in output/*.cpp metadata/*.cpp naming/*.cpp report/*.cpp cli/*.cpp tools/*.cpp; do
  # The window's tools need Qt, which these machines have for Linux only.
  grep -q '#include "app/' "$source" && continue
  if "$compiler" -std=c++20 -fsyntax-only -Wall -I. -isystem "$include" -DQUILLMARK_VERSION='"check"' \
      "$source" 2>"$work/errors.txt"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "windows_check: $source does not compile for Windows:" >&2
    head -n 20 "$work/errors.txt" >&2
  fi
done
echo "windows syntax check: $passed sources compile, $failed do not"
[ "$failed" -eq 0 ]
