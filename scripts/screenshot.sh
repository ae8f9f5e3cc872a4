#!/usr/bin/env bash
# Renders the main window offscreen with a photo listed and selected, and
# writes docs/screenshot.png. Usage: scripts/screenshot.sh [PHOTO]
# Without an argument it takes the first bundled example photo (our own
# pictures, so the image can be published with the project).
# The photo is copied to a scratch folder first; the user's settings are not
# touched (the window keeps its settings in a temporary file).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=${QUILLMARK_BUILD_DIR:-build/release}

photo=${1:-}
if [ -z "$photo" ]; then
  for candidate in examples/*.jpg; do
    if [ -f "$candidate" ]; then photo=$candidate; break; fi
  done
fi
if [ -z "$photo" ] || [ ! -f "$photo" ]; then
  echo "no photo to show" >&2
  exit 1
fi

cmake -S "$root" -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target quillmark-screenshot -j "$(nproc 2>/dev/null || echo 2)" >/dev/null

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/Photos"
cp "$photo" "$scratch/Photos/"
mkdir -p docs
QT_QPA_PLATFORM=offscreen "$build/app/quillmark-screenshot" docs/screenshot.png \
  "$scratch/Photos/$(basename "$photo")" 2> >(grep -v -e propagateSizeHints -e XDG_RUNTIME_DIR >&2)
echo "wrote docs/screenshot.png"
