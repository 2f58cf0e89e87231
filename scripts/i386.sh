#!/usr/bin/env bash
# What this host does with 32-bit x86 code, and which Windows build the Wine
# runs use. Sourced by setup.sh, test.sh, demo.sh and benchmark.sh; also a
# command for the emulator:
#
#   scripts/i386.sh register     user-mode emulation for i386 ELF files (root)
#   scripts/i386.sh unregister   removes it again; quiet when there is none
#
# Wine's 32-bit half comes from the host (wine32:i386) or, where the host
# cannot install it, from the private Wine root (scripts/make-wine-root.sh,
# run through scripts/in-wine-root.sh).

export KORVANE_WINE_ROOT=${KORVANE_WINE_ROOT:-/var/cache/korvane/wine-root}

korvane_binfmt=/proc/sys/fs/binfmt_misc
korvane_binfmt_entry=$korvane_binfmt/korvane-i386
# i386 executables and shared objects (ELF class 32, little endian, machine 3).
korvane_i386_magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
korvane_i386_mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'

korvane_unregister_emulator() {
  if [ -e "$korvane_binfmt_entry" ]; then
    echo -1 > "$korvane_binfmt_entry"
  fi
}

# Registers qemu-i386-static for i386 ELF files. F: the kernel opens the
# emulator now, so it also serves processes in a chroot. Fails (1) where
# binfmt_misc cannot be had or written.
korvane_register_emulator() {
  [ -x /usr/bin/qemu-i386-static ] || return 1
  [ -d "$korvane_binfmt" ] || return 1
  if [ ! -e "$korvane_binfmt/register" ]; then
    mount -t binfmt_misc binfmt_misc "$korvane_binfmt" 2>/dev/null || return 1
  fi
  [ -e "$korvane_binfmt_entry" ] && return 0
  printf '%s' ":korvane-i386:M::$korvane_i386_magic:$korvane_i386_mask:/usr/bin/qemu-i386-static:F" \
    > "$korvane_binfmt/register" 2>/dev/null
}

# Another emulator registered for i386 files would answer the probe.
korvane_foreign_i386_emulator() {
  local entry
  for entry in "$korvane_binfmt"/*; do
    [ -f "$entry" ] && [ "$entry" != "$korvane_binfmt_entry" ] || continue
    if grep -qx enabled "$entry" 2>/dev/null &&
       grep -q '^magic 7f454c460101010000000000000000000200030' "$entry" 2>/dev/null; then
      echo "${entry##*/}"
      return 0
    fi
  done
  return 1
}

# Succeeds where the kernel runs 32-bit x86 code itself: a 96-byte static
# i386 program that exits with 42 is started. Decided once per command
# (KORVANE_RUNS_I386 carries the answer to child scripts), and before any
# emulator of ours is registered.
korvane_runs_i386() {
  if [ -z "${KORVANE_RUNS_I386:-}" ]; then
    korvane_unregister_emulator  # left by an interrupted run
    KORVANE_RUNS_I386=0
    if ! korvane_foreign_i386_emulator >/dev/null; then
      local probe code=0
      probe=$(mktemp "${TMPDIR:-/tmp}/korvane-i386-probe.XXXXXX")
      # ELF header, one loadable segment, then: mov eax, 1; mov ebx, 42; int 0x80.
      printf '\x7fELF\x01\x01\x01\0\0\0\0\0\0\0\0\0\x02\0\x03\0\x01\0\0\0\x54\x80\x04\x08\x34\0\0\0\0\0\0\0\0\0\0\0\x34\0\x20\0\x01\0\0\0\0\0\0\0\x01\0\0\0\0\0\0\0\0\x80\x04\x08\0\x80\x04\x08\x60\0\0\0\x60\0\0\0\x05\0\0\0\0\x10\0\0\xb8\x01\0\0\0\xbb\x2a\0\0\0\xcd\x80' > "$probe"
      chmod +x "$probe"
      "$probe" 2>/dev/null || code=$?
      rm -f "$probe"
      [ "$code" -eq 42 ] && KORVANE_RUNS_I386=1
    fi
    export KORVANE_RUNS_I386
  fi
  [ "$KORVANE_RUNS_I386" = 1 ]
}

korvane_host_wine32() { [ -x /usr/lib/wine/wine ]; }
korvane_root_wine32() { [ -f "$KORVANE_WINE_ROOT/.korvane-ready" ]; }
korvane_have_wine32() { korvane_host_wine32 || korvane_root_wine32; }

# Sets and exports KORVANE_WINE_ARCH (win32: the 32-bit build under Wine's
# 32-bit half; win64: the x86-64 twin under Wine's 64-bit half) and prints
# once which build runs and why; the argument names who runs it ("the demo
# runs").
korvane_choose_wine_arch() {
  local what=$1 reason
  if [ -n "${KORVANE_WINE_ARCH:-}" ]; then
    case $KORVANE_WINE_ARCH in
      win32|win64) reason="KORVANE_WINE_ARCH=$KORVANE_WINE_ARCH" ;;
      *) echo "KORVANE_WINE_ARCH must be win32 or win64, not '$KORVANE_WINE_ARCH'" >&2; return 1 ;;
    esac
  elif ! korvane_runs_i386; then
    KORVANE_WINE_ARCH=win64
    reason="this host cannot execute 32-bit code"
    local other
    if other=$(korvane_foreign_i386_emulator); then
      reason="32-bit programs here go to the emulator '$other'"
    fi
  elif ! korvane_have_wine32; then
    KORVANE_WINE_ARCH=win64
    reason="this host executes 32-bit code, but Wine's 32-bit half is not installed"
  else
    KORVANE_WINE_ARCH=win32
    reason="this host executes 32-bit code"
  fi
  export KORVANE_WINE_ARCH
  if [ "$KORVANE_WINE_ARCH" = win64 ]; then
    echo "$reason: $what the x86-64 build of the same sources"
  elif korvane_host_wine32; then
    echo "$reason: $what the 32-bit build, as shipped"
  else
    echo "$reason: $what the 32-bit build, as shipped, with Wine's 32-bit half from $KORVANE_WINE_ROOT"
  fi
}

# The test preset of the build that KORVANE_WINE_ARCH runs.
korvane_wine_preset() {
  if [ "$KORVANE_WINE_ARCH" = win64 ]; then echo windows-test-x64; else echo windows-test; fi
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -euo pipefail
  case ${1:-} in
    register) korvane_register_emulator ;;
    unregister) korvane_unregister_emulator ;;
    *) echo "usage: $0 register|unregister" >&2; exit 2 ;;
  esac
fi
