#!/usr/bin/env bash
# Builds KorvaneInstaller.exe for 127.0.0.1 and runs it under Wine against a
# local demo server: a setup program and five content files served slowly
# from 127.0.0.1:80. Prints what was fetched, the setup program's run and the
# installer's exit code. On $DISPLAY when there is one, else on Xvfb with a
# screenshot of the progress window in build/demo/progress.png.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

cmake --preset windows-test
cmake --build --preset windows-test

# The demo's setup program is the tests' fixture: it records how it was
# started and exits with 7, which the installer does not pass on.
exec /usr/bin/python3 tests/e2e/demo_run.py \
  --installer build/windows-test/installer/KorvaneInstaller.exe \
  --setup build/windows-test/tests/e2e/setup_fixture.exe \
  --out build/demo
