#!/bin/sh
# Runs one test program with a home of its own: HOME, the XDG folders, and
# with them the settings, the file dialog's history and the undo journals,
# all point into a new folder under ROOT, removed when the program ends. No
# test then reads or writes the files of the user who runs it.
# Usage: own_home.sh ROOT PROGRAM [ARGUMENTS...]
set -eu
root=$1
shift
mkdir -p "$root"
home=$(mktemp -d "$root/home-XXXXXX")
trap 'rm -rf "$home"' EXIT
HOME=$home
XDG_CONFIG_HOME=$home/.config
XDG_STATE_HOME=$home/.local/state
XDG_DATA_HOME=$home/.local/share
XDG_CACHE_HOME=$home/.cache
export HOME XDG_CONFIG_HOME XDG_STATE_HOME XDG_DATA_HOME XDG_CACHE_HOME
mkdir -p "$XDG_CONFIG_HOME" "$XDG_STATE_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME"
# A test that wants a journal folder of its own names it itself.
unset QUILLMARK_STATE_DIR
"$@"
