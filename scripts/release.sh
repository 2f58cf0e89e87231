#!/usr/bin/env bash
# Builds the shipped KorvaneInstaller.exe for a download host, signs it with
# Authenticode and verifies the signature:
#
#   scripts/release.sh --host NAME --pfx FILE --password-file FILE [--timestamp URL] --out DIR
#
# --pfx is the release engineer's PKCS#12 file (certificate and key). Its
# password comes from --password-file, or from KORVANE_PFX_PASSWORD when that
# option is left out; never from the command line, where other users see it.
# --timestamp adds an RFC 3161 time-stamp from that server.
#
# DIR receives the signed KorvaneInstaller.exe, KorvaneInstaller.unsigned.exe
# and SHA256SUMS of both (sha256sum -c reads it); nothing is written there
# unless every step succeeded.
set -euo pipefail
project=$(cd "$(dirname "$0")/.." && pwd)

fail() {
  echo "release: $*" >&2
  exit 1
}
usage() {
  echo "usage: $0 --host NAME --pfx FILE --password-file FILE [--timestamp URL] --out DIR" >&2
  exit 2
}

host="" pfx="" password_file="" timestamp="" out=""
while [ $# -gt 0 ]; do
  case $1 in
    --host|--pfx|--password-file|--timestamp|--out)
      [ $# -ge 2 ] || usage
      case $1 in
        --host) host=$2 ;;
        --pfx) pfx=$2 ;;
        --password-file) password_file=$2 ;;
        --timestamp) timestamp=$2 ;;
        --out) out=$2 ;;
      esac
      shift 2 ;;
    *) usage ;;
  esac
done
[ -n "$host" ] && [ -n "$out" ] || usage

# The program always connects to port 80: a host with a port would fail every download.
[[ $host =~ ^[A-Za-z0-9.-]+$ ]] ||
  fail "--host must be a bare host name (the installer always connects to port 80), not '$host'"
[ -n "$pfx" ] || fail "no certificate: give the PKCS#12 file of the signing certificate with --pfx"
[ -f "$pfx" ] && [ -r "$pfx" ] || fail "cannot read the certificate file $pfx"

work=$(mktemp -d "${TMPDIR:-/tmp}/korvane-release.XXXXXX")  # only its owner can enter it
trap 'rm -rf "$work"' EXIT
if [ -n "$password_file" ]; then
  [ -f "$password_file" ] && [ -r "$password_file" ] || fail "cannot read the password file $password_file"
  # Its first line, as openssl reads it, without the line end.
  IFS= read -r line < "$password_file" || true
  printf '%s' "${line%$'\r'}" > "$work/password"
elif [ -n "${KORVANE_PFX_PASSWORD+set}" ]; then
  printf '%s' "$KORVANE_PFX_PASSWORD" > "$work/password"
else
  fail "no password for $pfx: give --password-file FILE or set KORVANE_PFX_PASSWORD"
fi

# The certificates of the file, also to verify the signature against: the
# signer's own and any chain it carries. A wrong password fails here.
openssl pkcs12 -in "$pfx" -nokeys -passin "file:$work/password" -out "$work/certs.pem" 2>"$work/openssl.log" ||
  fail "cannot open $pfx with that password: $(head -n 1 "$work/openssl.log")"
cat /etc/ssl/certs/ca-certificates.crt "$work/certs.pem" > "$work/trusted.pem" 2>/dev/null ||
  cp "$work/certs.pem" "$work/trusted.pem"

# The shipped configuration, for this host, in a build tree of its own.
build="$project/build/release-$host"
echo "release: building KorvaneInstaller.exe for http://$host/ in $build" >&2
(cd "$project" && cmake --preset windows -B "$build" -DKORVANE_DOWNLOAD_HOST="$host" -DBUILD_TESTING=OFF &&
  cmake --build "$build" --target KorvaneInstaller) >"$work/build.log" 2>&1 ||
  { cat "$work/build.log" >&2; fail "the build failed"; }
cp "$build/installer/KorvaneInstaller.exe" "$work/KorvaneInstaller.unsigned.exe"

stamp=()
[ -n "$timestamp" ] && stamp=(-ts "$timestamp")
osslsigncode sign -pkcs12 "$pfx" -readpass "$work/password" -h sha256 -n "KORVANE" "${stamp[@]}" \
  -in "$work/KorvaneInstaller.unsigned.exe" -out "$work/KorvaneInstaller.exe" >"$work/sign.log" 2>&1 ||
  { cat "$work/sign.log" >&2; fail "signing failed"; }
osslsigncode verify -CAfile "$work/trusted.pem" -TSA-CAfile "$work/trusted.pem" \
  -in "$work/KorvaneInstaller.exe" >"$work/verify.log" 2>&1 ||
  { cat "$work/verify.log" >&2; fail "the signature does not verify"; }
(cd "$work" && sha256sum KorvaneInstaller.exe KorvaneInstaller.unsigned.exe > SHA256SUMS)

mkdir -p "$out"
for file in KorvaneInstaller.unsigned.exe KorvaneInstaller.exe SHA256SUMS; do
  mv -f "$work/$file" "$out/$file"
done
echo "release: signed and verified; in $out:" >&2
cat "$out/SHA256SUMS" >&2
