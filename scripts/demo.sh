#!/usr/bin/env bash
# Builds KorvaneInstaller.exe for 127.0.0.1 and runs it under Wine against a
# local demo server: a setup program and five content files served slowly
# from 127.0.0.1:80. Prints what was fetched, the setup program's run and the
# installer's exit code. On $DISPLAY when there is one, else on Xvfb with a
# screenshot of the progress window in build/demo/progress.png.
#
# The 32-bit build, as shipped, where this host executes 32-bit code; else
# its x86-64 twin under Wine's 64-bit half (KORVANE_WINE_ARCH overrides).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
source scripts/i386.sh

korvane_choose_wine_arch "the demo runs"
preset=$(korvane_wine_preset)
cmake --preset $preset >/dev/null
cmake --build --preset $preset

# The demo's setup program is the tests' fixture: it records how it was
# started and exits with 7, which the installer does not pass on.
exec /usr/bin/python3 tests/e2e/demo_run.py \
  --installer build/$preset/installer/KorvaneInstaller.exe \
  --setup build/$preset/tests/e2e/setup_fixture.exe \
  --wine-arch "$KORVANE_WINE_ARCH" \
  --out build/demo
