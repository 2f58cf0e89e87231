#!/usr/bin/env bash
# Runs one Windows program under Wine in a private, throw-away prefix (or in
# $WINEPREFIX when the caller already made one) and returns its exit code.
set -euo pipefail

export WINEDEBUG=-all
export WINEARCH=win32
# No Mono or Gecko installer prompts when a new prefix is made.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY no_proxy

own_prefix=""
if [ -z "${WINEPREFIX:-}" ]; then
  own_prefix=$(mktemp -d "${TMPDIR:-/tmp}/korvane-wine.XXXXXX")
  export WINEPREFIX="$own_prefix"
fi
cleanup() {
  if [ -n "$own_prefix" ]; then
    wineserver -k 2>/dev/null || true
    rm -rf "$own_prefix"
  fi
}
trap cleanup EXIT

status=0
wine "$@" || status=$?
exit $status
