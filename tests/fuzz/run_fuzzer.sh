#!/usr/bin/env bash
# Runs one fuzz target for a bounded time. The seeds are copied into a fresh
# working corpus first, so the fuzzer only ever writes below work_dir; an
# input that fails is saved there as crash-*, leak-* or timeout-*, and the
# target run on that one file reproduces it.
#
# usage: run_fuzzer.sh TARGET SEED_DIR WORK_DIR SECONDS [libFuzzer options...]
set -euo pipefail
target=$1 seeds=$2 work=$3 seconds=$4
shift 4

rm -rf "$work"
mkdir -p "$work/corpus" "$work/artifacts"
cp "$seeds"/* "$work/corpus/"

exec "$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
  -artifact_prefix="$work/artifacts/" "$@" "$work/corpus"
