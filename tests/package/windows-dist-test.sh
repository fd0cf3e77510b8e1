#!/usr/bin/env bash
# The Windows dist/ steps that need no cross-built cache: the same files give the same zip
# wherever and whenever they are packed; signing makes files that verify against the
# certificate and leaves the unsigned ones as they were; SHA256SUMS checks.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
DIST=$ROOT/scripts/windows-dist
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
for tool in zip unzip osslsigncode openssl sha256sum; do
  command -v $tool >/dev/null || fail "$tool is not installed (scripts/install-deps)"
done

# A PE32+ file with one section that returns: enough for Authenticode.
pe() {
  python3 - "$1" <<'PY'
import struct, sys
dos = bytearray(64); dos[0:2] = b'MZ'; struct.pack_into('<I', dos, 0x3c, 0x40)
coff = struct.pack('<HHIIIHH', 0x8664, 1, 0, 0, 0, 240, 0x22)
opt = struct.pack('<HBBIIIII', 0x20b, 14, 0, 0x200, 0, 0, 0x1000, 0x1000)
opt += struct.pack('<QIIHHHHHHIIIIHHQQQQII', 0x140000000, 0x1000, 0x200, 6, 0, 0, 0, 6, 0, 0,
                   0x2000, 0x200, 0, 3, 0x8160, 0x100000, 0x1000, 0x100000, 0x1000, 0, 16)
opt += bytes(16 * 8)
sec = struct.pack('<8sIIIIIIHHI', b'.text', 0x200, 0x1000, 0x200, 0x200, 0, 0, 0, 0, 0x60000020)
head = bytes(dos) + b'PE\0\0' + coff + opt + sec
open(sys.argv[1], 'wb').write(head + bytes(0x200 - len(head)) + b'\xc3' + bytes(0x1ff))
PY
}

# The same program folder made twice, in other places, in another order, at other times.
make_stage() {
  local d=$1/tombolix-9.9-windows-x64
  mkdir -p "$d/plugins/platforms"
  if [ "$2" = forward ]; then
    pe "$d/tombolix.exe"
    printf 'readme\r\n' >"$d/README.txt"
    printf 'dll' >"$d/plugins/platforms/qwindows.dll"
  else
    printf 'dll' >"$d/plugins/platforms/qwindows.dll"
    printf 'readme\r\n' >"$d/README.txt"
    pe "$d/tombolix.exe"
    touch -d '2001-02-03 04:05' "$d/README.txt"
    chmod 600 "$d/README.txt"
  fi
}
make_stage "$T/a/stage" forward
make_stage "$T/b/elsewhere/stage" backward
export SOURCE_DATE_EPOCH=1765000000
"$DIST" zip "$T/a/stage" tombolix-9.9-windows-x64 "$T/a.zip"
"$DIST" zip "$T/b/elsewhere/stage" tombolix-9.9-windows-x64 "$T/b.zip"
cmp "$T/a.zip" "$T/b.zip" || fail "the same files packed twice differ"
unzip -Z1 "$T/a.zip" >"$T/names"
printf '%s\n' tombolix-9.9-windows-x64/README.txt tombolix-9.9-windows-x64/plugins/platforms/qwindows.dll \
  tombolix-9.9-windows-x64/tombolix.exe | cmp - "$T/names" || fail "entries: $(cat "$T/names")"
[ ! -e "$T/a.zip.part" ] || fail "a part file was left"
SOURCE_DATE_EPOCH=1765000001 "$DIST" zip "$T/a/stage" tombolix-9.9-windows-x64 "$T/c.zip"
! cmp -s "$T/a.zip" "$T/c.zip" || fail "the build's time is not in the zip"

# Signing: a certificate made for the test.
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$T/key.pem" -out "$T/cert.pem" -days 2 \
  -subj "/CN=Tombolix test signer" 2>/dev/null
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$T/other.pem" -out "$T/othercert.pem" -days 2 \
  -subj "/CN=Someone else" 2>/dev/null
mkdir -p "$T/signed"
cp "$T/a/stage/tombolix-9.9-windows-x64/tombolix.exe" "$T/signed/tombolix.exe"
cp "$T/signed/tombolix.exe" "$T/signed/tombolix-verify.exe"
before=$(sha256sum <"$T/a/stage/tombolix-9.9-windows-x64/tombolix.exe")
"$DIST" sign "$T/cert.pem" "$T/key.pem" "$T/signed/tombolix.exe" "$T/signed/tombolix-verify.exe"
for f in tombolix.exe tombolix-verify.exe; do
  osslsigncode verify -CAfile "$T/cert.pem" -in "$T/signed/$f" >/dev/null || fail "$f does not verify"
  ! osslsigncode verify -CAfile "$T/othercert.pem" -in "$T/signed/$f" >/dev/null 2>&1 ||
    fail "$f verifies against a certificate that did not sign it"
done
[ "$(sha256sum <"$T/a/stage/tombolix-9.9-windows-x64/tombolix.exe")" = "$before" ] ||
  fail "the unsigned program changed"
# A key that is not the certificate's: refused, the file untouched.
cp "$T/a/stage/tombolix-9.9-windows-x64/tombolix.exe" "$T/plain.exe"
if "$DIST" sign "$T/cert.pem" "$T/other.pem" "$T/plain.exe" 2>"$T/err"; then
  fail "signing with the wrong key succeeded"
fi
[ "$(sha256sum <"$T/plain.exe")" = "$before" ] || fail "a failed signing changed the file"
[ ! -e "$T/plain.exe.signed" ] || fail "a failed signing left its part file"

# SHA256SUMS: what a downloader checks.
cp "$T/a.zip" "$T/signed/"
"$DIST" sums "$T/signed"
[ "$(wc -l <"$T/signed/SHA256SUMS")" = 3 ] || fail "SHA256SUMS: $(cat "$T/signed/SHA256SUMS")"
(cd "$T/signed" && sha256sum -c --quiet SHA256SUMS) || fail "SHA256SUMS does not check"
printf 'x' >>"$T/signed/a.zip"
! (cd "$T/signed" && sha256sum -c --quiet SHA256SUMS >/dev/null 2>&1) || fail "a changed file passed"
echo "windows-dist: zip, sign and sums as expected"
