#!/usr/bin/env bash
# Installs every Debian package the builds, the demo and the tests need.
# Idempotent, and quiet when everything is already there.
#
#   scripts/setup.sh           what the builds and the demo need
#   scripts/setup.sh --tests   also what only the tests need: Wine's 32-bit
#                              half and the user-mode emulator for the smoke
#                              run of the shipped file where 32-bit code
#                              cannot run natively (scripts/test.sh)
#
# Wine's 32-bit half is wine32:i386 where the mirror lets it be installed,
# else a private Wine root (scripts/make-wine-root.sh). Where neither can be
# had, setup warns and the Wine runs use the x86-64 build.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/i386.sh"

tests=0
[ "${1:-}" = "--tests" ] && tests=1

packages=(
  cmake ninja-build g++ googletest libgtest-dev
  g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
  wine wine64
  xvfb xauth xdotool imagemagick fonts-ipafont-gothic locales
  python3 python3-pefile
  clang libclang-rt-14-dev llvm
  curl
  osslsigncode openssl ca-certificates
)

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
log=$(mktemp)
policy=/usr/sbin/policy-rc.d
made_policy=0
cleanup() {
  rm -f "$log"
  if [ $made_policy -eq 1 ]; then $SUDO rm -f "$policy"; fi
}
trap cleanup EXIT

missing_of() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' || echo "$p"
  done
}

# An index that still fails after the retries (a mirror caught mid-sync) is
# only a warning: the install that follows shows whether anything needed is
# really missing.
apt_update() {
  local attempt
  for attempt in 1 2 3; do
    $SUDO apt-get update -q >"$log" 2>&1 && return 0
    [ "$attempt" -lt 3 ] && sleep $((attempt * 5))
  done
  echo "setup: warning: apt-get update failed three times; going on with the indexes it got:" >&2
  grep '^[EW]:' "$log" | head -n 4 | sed 's/^/setup:   /' >&2
}

install() {
  echo "setup: installing $*" >&2
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "$@"
}

updated=0
install_missing() {
  local missing
  mapfile -t missing < <(missing_of "$@")
  [ ${#missing[@]} -eq 0 ] && return 0
  [ $updated -eq 1 ] || { apt_update; updated=1; }
  install "${missing[@]}"
}

install_missing "${packages[@]}"

# nginx serves the demo and the download-server tests, which start their own
# in a private network namespace and stop it again. Installed without being
# started as a system service: a policy-rc.d that refuses every start, for
# this install only (one the host already has is left as it is).
if [ -n "$(missing_of nginx)" ]; then
  if [ ! -e "$policy" ]; then
    made_policy=1
    printf '#!/bin/sh\n# scripts/setup.sh: no service starts while it installs packages.\nexit 101\n' |
      $SUDO tee "$policy" >/dev/null
    $SUDO chmod 755 "$policy"
  fi
  install_missing nginx
  if [ $made_policy -eq 1 ]; then $SUDO rm -f "$policy"; made_policy=0; fi
fi

if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  # Wine derives the ANSI code page (932) from this locale.
  $SUDO sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  $SUDO locale-gen >/dev/null
fi

# The emulator serves the smoke run of the shipped 32-bit file where the
# Wine runs use the x86-64 build.
if [ $tests -eq 1 ] && { ! korvane_runs_i386 || [ "${KORVANE_WINE_ARCH:-}" = win64 ]; }; then
  install_missing qemu-user-static
fi

# Wine's 32-bit half: for every Wine run where 32-bit code runs natively, for
# the emulated smoke run where it does not.
if { korvane_runs_i386 || [ $tests -eq 1 ]; } && ! korvane_have_wine32; then
  added_i386=0
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
    added_i386=1
  fi
  apt_update
  echo "setup: installing wine32:i386" >&2
  if ! DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends wine32:i386 >"$log" 2>&1; then
    echo "setup: warning: wine32:i386 cannot be installed from this mirror:" >&2
    grep -m 3 -E '^( [^ ]+ : Depends|E:)' "$log" | sed 's/^/setup:   /' >&2 || true
    # Leave the host as it was: an i386 index that fails to load would
    # otherwise break every later apt-get update.
    if [ $added_i386 -eq 1 ] && [ -z "$(dpkg-query -W -f='${Package}:${Architecture}\n' 2>/dev/null | grep ':i386$')" ]; then
      $SUDO dpkg --remove-architecture i386
    fi
    install_missing debootstrap
    echo "setup: making a private Wine root with Wine's 32-bit half instead (about a minute)" >&2
    $SUDO env KORVANE_WINE_ROOT="$KORVANE_WINE_ROOT" "$here/make-wine-root.sh" ||
      echo "setup: warning: no private Wine root either; Wine runs use the x86-64 build" >&2
  fi
fi
