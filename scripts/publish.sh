#!/usr/bin/env bash
# Publishes a release on the download server, laid out as KorvaneInstaller.exe
# requests it, and keeps the earlier ones for a roll-back:
#
#   scripts/publish.sh --release DIR --root DOCROOT [--name NAME]   publish DIR as NAME and make it live
#   scripts/publish.sh --root DOCROOT --list                         list the releases; * marks the live one
#   scripts/publish.sh --root DOCROOT --switch NAME                  make an earlier release live again
#   scripts/publish.sh --root DOCROOT --remove NAME                  remove a release that is not live
#
# DIR holds setup.exe and the content files at their list paths
# (Gallery_North/wave_short01.krv, ...); a release missing one is refused,
# naming it. NAME defaults to the time of publishing (UTC).
#
# DOCROOT, which the server's root names (server/nginx/korvane.conf), is a
# symbolic link to DOCROOT.releases/NAME, a folder holding
# archives/app/setup.exe and zq/res/<list path>. A release is copied whole
# into a new folder first, and only then is the link replaced, by a single
# rename: each request finds either the old release or the new one, never a
# file half copied or a folder half filled. The files of a release are
# never changed afterwards, so a download under way when the link moves
# reads its file to the end.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

fail() {
  echo "publish: $*" >&2
  exit 1
}
usage() {
  sed -n 's/^#   \(scripts\/publish.sh.*\)/usage: \1/p' "$0" >&2
  exit 2
}

release="" root="" name="" action=publish
while [ $# -gt 0 ]; do
  case $1 in
    --release|--root|--name|--switch|--remove)
      [ $# -ge 2 ] || usage
      case $1 in
        --release) release=$2 ;;
        --root) root=$2 ;;
        --name) name=$2 ;;
        --switch) action=switch name=$2 ;;
        --remove) action=remove name=$2 ;;
      esac
      shift 2 ;;
    --list) action=list; shift ;;
    *) usage ;;
  esac
done
[ -n "$root" ] || usage
[ "$action" = publish ] && [ -z "$release" ] && usage
[ "$action" != publish ] && [ -n "$release" ] && usage

root=${root%/}
releases="$root.releases"
live() {  # the name of the live release, or nothing
  [ -L "$root" ] && basename "$(readlink "$root")" || true
}
# Points DOCROOT at a release in one rename(2), which replaces the old link.
switch_to() {
  ln -sfn "$(basename "$releases")/$1" "$root.switching"
  mv -T "$root.switching" "$root"
  echo "publish: $root now serves release $1"
}
check_name() {
  case $1 in
    ""|.*|*/*) fail "'$1' is not a release name" ;;
  esac
}
if [ -e "$root" ] && [ ! -L "$root" ]; then
  fail "$root exists and is not a link this script made; move it away first"
fi

case $action in
  list)
    current=$(live)
    [ -d "$releases" ] || exit 0
    for folder in "$releases"/*/; do
      [ -d "$folder" ] || continue
      release_name=$(basename "$folder")
      echo "$([ "$release_name" = "$current" ] && echo '*' || echo ' ') $release_name"
    done ;;
  switch)
    check_name "$name"
    [ -d "$releases/$name" ] || fail "no release $name in $releases"
    switch_to "$name" ;;
  remove)
    check_name "$name"
    [ -d "$releases/$name" ] || fail "no release $name in $releases"
    [ "$name" != "$(live)" ] || fail "$name is live; switch to another release first"
    rm -rf "${releases:?}/$name"
    echo "publish: removed release $name" ;;
  publish)
    [ -d "$release" ] || fail "$release is not a folder"
    mapfile -t files < <(/usr/bin/python3 "$here/release_layout.py" files)
    [ ${#files[@]} -gt 0 ] || fail "no file list from the installer's sources"
    for file in "${files[@]}"; do
      source_path=${file%%$'\t'*}
      [ -f "$release/$source_path" ] || fail "the release has no $source_path"
    done
    name=${name:-$(date -u +%Y%m%dT%H%M%SZ)}
    check_name "$name"
    [ ! -e "$releases/$name" ] || fail "release $name exists already"
    mkdir -p "$releases"
    incoming=$(mktemp -d "$releases/.incoming.XXXXXX")
    trap 'rm -rf "$incoming"' EXIT
    for file in "${files[@]}"; do
      source_path=${file%%$'\t'*} url_path=${file#*$'\t'}
      # Readable by the server's user, whoever owns the files.
      install -D -m 0644 "$release/$source_path" "$incoming$url_path"
    done
    find "$incoming" -type d -exec chmod 0755 {} +
    sync -f "$incoming"
    mv -T "$incoming" "$releases/$name"
    trap - EXIT
    switch_to "$name" ;;
esac
