#!/usr/bin/env bash
# Runs a command inside the private Wine root (scripts/make-wine-root.sh):
#
#   in-wine-root.sh FOLDER COMMAND [ARGUMENT...]
#
# COMMAND starts in FOLDER, with this environment. It runs in a mount
# namespace of its own in which /proc, /sys, /dev, /tmp, /etc/hosts and the
# project tree are bound into the root at their own paths, so every path and
# name means the same inside and out (the Wine prefix, the X and wineserver
# sockets under /tmp); the binds vanish with the namespace's last process.
set -euo pipefail
root=${KORVANE_WINE_ROOT:-/var/cache/korvane/wine-root}

if [ -z "${KORVANE_MOUNT_NAMESPACE:-}" ]; then
  # Inside a chroot, / is no mount point and cannot be made private: the
  # binds then take the propagation of the chroot's own mounts.
  propagation=private
  unshare --mount --propagation private true 2>/dev/null || propagation=unchanged
  exec unshare --mount --propagation "$propagation" env KORVANE_MOUNT_NAMESPACE=1 bash "$0" "$@"
fi
unset KORVANE_MOUNT_NAMESPACE

project=$(cd "$(dirname "$0")/.." && pwd)
for folder in /proc /sys /dev /tmp "$project"; do
  mkdir -p "$root$folder"
  mount --rbind "$folder" "$root$folder"
done
mount --bind /etc/hosts "$root/etc/hosts"
exec chroot "$root" /bin/sh -c 'cd "$1" && shift && exec "$@"' in-wine-root "$@"
