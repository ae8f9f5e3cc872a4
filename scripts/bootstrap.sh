#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests and the demo need,
# only those that are missing. Needs root (or sudo) when something is missing.
# Usage: scripts/bootstrap.sh [--tests | --fuzz]   (--tests: also what only
# the test command needs, the mingw-w64 compiler of the Windows syntax check,
# groff for the manual page, strace and faketime for the journal's tests,
# mkfs.vfat and fusefat for the tests on a FAT volume mounted through FUSE,
# clang-format for the format check;
# --fuzz: clang and its fuzzer runtime)
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-svg-dev qt6-qpa-plugins libqt6svg6 qt6-translations-l10n
  libjpeg62-turbo-dev libgtest-dev libcli11-dev nlohmann-json3-dev
  fonts-dejavu-core fonts-liberation
  xvfb xauth
)
if [ "${1:-}" = "--tests" ]; then
  packages+=(g++-mingw-w64-x86-64-posix groff-base strace faketime dosfstools fusefat clang-format)
elif [ "${1:-}" = "--fuzz" ]; then
  packages+=(clang libclang-rt-dev)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null 2>&1; then
    echo "bootstrap: these packages are missing: ${missing[*]}" >&2
    echo "bootstrap: run this script as root, or install sudo, so that it can install them" >&2
    exit 1
  fi
  sudo_cmd=(sudo)
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
