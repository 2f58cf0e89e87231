#!/usr/bin/env bash
# Makes the private Debian root that gives the tests Wine's 32-bit half where
# the host cannot install wine32:i386 itself (an i386 index of the mirror out
# of step with the amd64 one, say): an amd64 Debian of the host's release
# with the i386 architecture added, from the main suite alone, so that the
# two halves of every library agree. Its wineserver and every 64-bit program
# run natively; only Wine's 32-bit programs need a kernel that executes
# 32-bit code, or the user-mode emulator. Idempotent: a finished root carries
# .korvane-ready.
#
#   make-wine-root.sh      (as root; KORVANE_WINE_ROOT, KORVANE_DEBIAN_MIRROR)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/i386.sh"

root=$KORVANE_WINE_ROOT
[ -f "$root/.korvane-ready" ] && exit 0

mirror=${KORVANE_DEBIAN_MIRROR:-http://deb.debian.org/debian}
suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
packages=(wine wine64 wine32:i386 locales fonts-ipafont-gothic)
partial="$root.partial"
log="$root.log"

cleanup() {
  umount -R "$partial/proc" 2>/dev/null || true
  korvane_runs_i386 || korvane_unregister_emulator
}
trap cleanup EXIT
# Some maintainer scripts of the i386 packages start i386 programs.
if ! korvane_runs_i386; then
  korvane_register_emulator || { echo "make-wine-root: no user-mode emulator for i386 programs here" >&2; exit 1; }
  export QEMU_CPU=max
fi
echo "make-wine-root: Debian $suite with ${packages[*]} in $root (log: $log)" >&2
rm -rf "$partial"
mkdir -p "$(dirname "$root")"
if ! {
  debootstrap --arch=amd64 --variant=minbase "$suite" "$partial" "$mirror" &&
    mount -t proc proc "$partial/proc" &&
    chroot "$partial" dpkg --add-architecture i386 &&
    chroot "$partial" apt-get update -q &&
    chroot "$partial" env DEBIAN_FRONTEND=noninteractive \
      apt-get install -y -q --no-install-recommends "${packages[@]}" &&
    # Wine takes code page 932 from this locale.
    sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' "$partial/etc/locale.gen" &&
    chroot "$partial" locale-gen &&
    chroot "$partial" apt-get clean
} >"$log" 2>&1; then
  tail -n 20 "$log" >&2
  exit 1
fi
umount "$partial/proc"
rm -f "$log"
# The mount point for the host's (or a test's) /etc/hosts.
touch "$partial/etc/hosts"
touch "$partial/.korvane-ready"
rm -rf "$root"
mv "$partial" "$root"
