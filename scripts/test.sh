#!/usr/bin/env bash
# Runs every test: the native unit tests under ASan and UBSan, the shipped
# build and its audit, the Windows program and TRegistry under Wine, and the
# fuzz targets. Prints the time of each stage at the end.
#
# The Wine runs use the 32-bit build, as shipped, where this host executes
# 32-bit code, else the x86-64 build of the same sources under Wine's 64-bit
# half, followed by a smoke run of the shipped 32-bit file under user-mode
# emulation. KORVANE_WINE_ARCH=win32|win64 overrides the choice.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/i386.sh
# Whatever ends this script, no emulator of ours stays registered.
trap 'korvane_unregister_emulator 2>/dev/null || true' EXIT

stages=()
stage() {
  local name=$1 start=$SECONDS
  shift
  echo "== $name" >&2
  "$@"
  stages+=("$(printf '%4d s  %s' $((SECONDS - start)) "$name")")
}
preset() {  # configure, build and test one preset
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1"
  ctest --preset "${2:-$1}"
}

stage "setup" scripts/setup.sh --tests
stage "native unit tests, ASan and UBSan (host)" preset host
# Warnings are errors; the audit and the reproducible-build check need no Wine.
stage "shipped 32-bit build, its audit, reproducible build (windows)" preset windows

korvane_choose_wine_arch "the end-to-end tests and the TRegistry runner run"
if [ "$KORVANE_WINE_ARCH" = win32 ]; then
  stage "end-to-end tests under Wine (windows-test)" preset windows-test
  stage "TRegistry under Wine (wine-gtest)" preset wine-gtest
else
  stage "end-to-end tests under Wine's 64-bit half (windows-test-x64)" preset windows-test-x64
  stage "TRegistry under Wine's 64-bit half (wine-gtest-x64)" preset wine-gtest-x64
  # The shipped bytes themselves: happy path and one failure, emulated. It
  # skips, saying why, where no emulator or no 32-bit Wine can be had.
  stage "smoke run of the shipped 32-bit file under emulation (windows-test-emulated)" \
    ctest --preset windows-test-emulated
fi

stage "fuzz targets, 20 s each (fuzz)" preset fuzz

echo "== stage times" >&2
printf '%s\n' "${stages[@]}" >&2
echo "$(printf '%4d s' "$SECONDS")  in all" >&2
