#!/usr/bin/env bash
# Runs every test: the native unit tests under ASan and UBSan, the Windows
# builds and the tests that run them under Wine, and the fuzz targets.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

# korvane_core and its GoogleTest unit tests, native, with the sanitizers.
cmake --preset host
cmake --build --preset host
ctest --preset host

# The shipped configuration must build cleanly too (warnings are errors).
cmake --preset windows
cmake --build --preset windows

# KorvaneInstaller.exe for 127.0.0.1: the audit of the built file, and the
# program under Wine against a local HTTP server (tests/e2e).
cmake --preset windows-test
cmake --build --preset windows-test
ctest --preset windows-test

# TRegistry's GoogleTest runner, posix-thread-model build, under Wine.
cmake --preset wine-gtest
cmake --build --preset wine-gtest
ctest --preset wine-gtest

# libFuzzer targets for the parsers and path helpers, about 20 s each.
cmake --preset fuzz
cmake --build --preset fuzz
ctest --preset fuzz
