#!/usr/bin/env bash
# Download speed and memory of the installer under Wine against a local
# server; prints figures. Needs port 80 (root).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset windows-test >/dev/null
cmake --build --preset windows-test >/dev/null
exec /usr/bin/python3 bench/benchmark.py build/windows-test
