#!/usr/bin/env bash
# The main job: build KorvaneInstaller.exe.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset windows-test
cmake --build --preset windows-test
