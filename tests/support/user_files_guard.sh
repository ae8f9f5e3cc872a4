#!/bin/sh
# Tells whether a test run touched the files that the programs keep for the
# user who runs the tests: the settings, the file dialog's history and the
# undo journals under the real home folder.
# Usage: user_files_guard.sh record|check STAMP
#   record: writes what those files are now into STAMP
#   check:  fails, naming what changed, when they differ from STAMP
set -eu
what=$1
stamp=$2

state() {
  for p in "$HOME/.config/QtProject.conf" "$HOME/.config/Vellacor (ex Dunmere)" "$HOME/.local/state/quillmark"; do
    if [ ! -e "$p" ] && [ ! -L "$p" ]; then
      echo "absent $p"
      continue
    fi
    # Every file below it: type, size, modification time, and the bytes' sum.
    find "$p" -printf '%y %s %T@ %p\n' | LC_ALL=C sort
    find "$p" -type f -exec sha256sum {} + | LC_ALL=C sort
  done
}

case $what in
  record)
    mkdir -p "$(dirname "$stamp")"
    state > "$stamp"
    ;;
  check)
    if [ ! -f "$stamp" ]; then
      echo "no record in $stamp: run the whole suite, or the record test first" >&2
      exit 1
    fi
    if ! state | diff -u "$stamp" - >&2; then
      echo "the tests changed files of the user in $HOME (see above)" >&2
      exit 1
    fi
    ;;
  *)
    echo "usage: $0 record|check STAMP" >&2
    exit 2
    ;;
esac
