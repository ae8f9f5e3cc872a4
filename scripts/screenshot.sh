#!/usr/bin/env bash
# Renders the main window offscreen with photos listed, the first one
# selected and the table of new names open, and writes docs/screenshot.png.
# Usage: scripts/screenshot.sh [PHOTO]
# Without an argument it takes the bundled example photos (our own pictures,
# so the image can be published with the project), the last two of them in a
# sub-folder.
# The photo is copied to a scratch folder first; the user's settings are not
# touched (the window keeps its settings in a temporary file).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=${QUILLMARK_BUILD_DIR:-build/release}

photos=()
if [ -n "${1:-}" ]; then
  photos=("$1")
else
  for candidate in examples/*.jpg; do
    if [ -f "$candidate" ]; then photos+=("$candidate"); fi
  done
fi
if [ ${#photos[@]} -eq 0 ] || [ ! -f "${photos[0]}" ]; then
  echo "no photo to show" >&2
  exit 1
fi

cmake -S "$root" -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target quillmark-screenshot -j "$(nproc 2>/dev/null || echo 2)" >/dev/null

scratch=$(mktemp -d "${TMPDIR:-/tmp}/qm.XXXX")
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/Photos/Vacances"
listed=()
for i in "${!photos[@]}"; do
  folder="$scratch/Photos"
  if [ ${#photos[@]} -gt 2 ] && [ "$i" -ge $((${#photos[@]} - 2)) ]; then folder="$scratch/Photos/Vacances"; fi
  cp "${photos[$i]}" "$folder/"
  listed+=("$folder/$(basename "${photos[$i]}")")
done
mkdir -p docs
QT_QPA_PLATFORM=offscreen "$build/tools/quillmark-screenshot" docs/screenshot.png \
  "${listed[@]}" 2> >(grep -v -e propagateSizeHints -e XDG_RUNTIME_DIR -e 'support raise' >&2)
echo "wrote docs/screenshot.png"
