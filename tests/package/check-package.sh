#!/usr/bin/env bash
# The .deb as a user gets it: built with CPack from the build folder, its fields and files
# checked with dpkg-deb, the menu entry and the AppStream metainfo validated, and the packaged
# executable started from an extracted tree with a fresh HOME, where it must create its data
# and from which it must leave cleanly on SIGTERM.
# Usage: check-package.sh BUILD_DIR VERSION APP_ID
set -uo pipefail
build=$1 version=$2 appid=$3
work=$(mktemp -d)
pid=
cleanup() {
  if [ -n "$pid" ]; then kill -KILL "$pid" 2>/dev/null; fi
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# Built into a folder of its own, so a package made by scripts/package stays as it is.
if ! (cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1); then
  cat "$work/cpack.log"
  echo "FAIL: cpack"
  exit 1
fi
deb="$work/out/tombolix_${version}-1_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { ls "$work/out"; echo "FAIL: no $deb"; exit 1; }

# Fields: name, version from the project, a maintainer, the summary and both languages of the
# description, and the run-time packages next to those shlibdeps found.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = tombolix ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "${version}-1" ] || fail "Version is '$(field Version)'"
[[ "$(field Maintainer)" =~ ^[^\<]+\ \<[^@]+@[^\>]+\>$ ]] || fail "Maintainer '$(field Maintainer)'"
description=$(field Description)
[[ "$(head -n1 <<<"$description")" == "lucky draws for live events, full screen on the projector" ]] ||
  fail "summary line: $(head -n1 <<<"$description")"
grep -q "runs the lucky draw of a company party" <<<"$description" || fail "no English description"
grep -q "现场抽奖软件" <<<"$description" || fail "no Chinese description"
depends=$(field Depends)
for p in fonts-noto-cjk qt6-qpa-plugins qt6-translations-l10n gstreamer1.0-plugins-good \
  gstreamer1.0-libav libqt6widgets6 libqt6multimedia6 libqt6svg6 libsqlite3-0 libzip4 \
  libfreexl1 libxlsxwriter4; do
  grep -Eq "(^|, )$p( |,|$)" <<<"$depends" || fail "Depends lacks $p: $depends"
done

# Files: the programs, the menu entry, the icon at every size, the metainfo; nothing outside
# /usr and no data folder.
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' >"$work/files"
expected=(
  /usr/bin/tombolix
  "/usr/share/applications/$appid.desktop"
  "/usr/share/metainfo/$appid.metainfo.xml"
  "/usr/share/icons/hicolor/scalable/apps/$appid.svg"
  "/usr/share/icons/hicolor/48x48/apps/$appid.png"
  "/usr/share/icons/hicolor/128x128/apps/$appid.png"
  "/usr/share/icons/hicolor/256x256/apps/$appid.png"
  /usr/share/man/man1/tombolix.1.gz
  /usr/share/doc/tombolix/copyright
  /usr/share/doc/tombolix/changelog.Debian.gz
)
for helper in tombolix-verify tombolix_xls; do
  if [ -x "$build/$helper" ]; then expected+=("/usr/bin/$helper"); fi
done
for f in "${expected[@]}"; do
  grep -qxF "$f" "$work/files" || fail "missing $f"
done
grep -v '^/usr/' "$work/files" && fail "files outside /usr"
grep -E '/(DATA|DATA_FILE|LUCK_FILE)(/|$)' "$work/files" && fail "a data folder in the package"

mkdir "$work/root"
dpkg-deb -x "$deb" "$work/root"
share="$work/root/usr/share"
out=$(desktop-file-validate "$share/applications/$appid.desktop" 2>&1) ||
  fail "desktop-file-validate: $out"
[ -z "$out" ] || fail "desktop-file-validate: $out"
grep -qx "Name\[zh_CN\]=Qarvo抽奖软件" "$share/applications/$appid.desktop" || fail "no Chinese name"
grep -qx "Exec=tombolix" "$share/applications/$appid.desktop" || fail "Exec is not tombolix"
grep -qx "Icon=$appid" "$share/applications/$appid.desktop" || fail "Icon is not $appid"
out=$(appstreamcli validate --no-net --pedantic "$share/metainfo/$appid.metainfo.xml" 2>&1) ||
  fail "appstreamcli validate: $out"
grep -q "<release version=\"$version\"" "$share/metainfo/$appid.metainfo.xml" ||
  fail "metainfo release is not $version"
zcat "$share/doc/tombolix/changelog.Debian.gz" | head -n1 | grep -qF "tombolix (${version}-1) " ||
  fail "changelog does not start with ${version}-1"
# PNG width and height are bytes 16..23 of the file, big-endian.
for size in 48 128 256; do
  png="$share/icons/hicolor/${size}x${size}/apps/$appid.png"
  dims=$(od -An -tu1 -j16 -N8 "$png" | awk '{print $3*256+$4 "x" $7*256+$8}')
  [ "$dims" = "${size}x${size}" ] || fail "$png is $dims"
done

# The packaged executable, started as from the menu: its data goes under HOME, none beside it.
home="$work/home"
mkdir -p "$home" "$work/tmp"
data="$home/.local/share/Qarvo"
env -u XDG_DATA_HOME -u TOMBOLIX_KEYS -u TOMBOLIX_DIALOG_ANSWERS HOME="$home" \
  TMPDIR="$work/tmp" QT_QPA_PLATFORM=offscreen TOMBOLIX_DIALOG_LOG="$work/dialogs.log" \
  "$work/root/usr/bin/tombolix" >"$work/program.log" 2>&1 &
pid=$!
lock="$work/tmp/Qarvo抽奖软件.lock"
for _ in $(seq 600); do
  if [ -f "$data/DATA/Tombolix.db" ] && [ -f "$data/DATA_FILE/1001.txt" ] && [ -f "$lock" ]; then
    break
  fi
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.05
done
[ -f "$data/DATA/Tombolix.db" ] || fail "no database in $data"
[ -f "$data/DATA_FILE/1001.txt" ] || fail "no example candidate list in $data/DATA_FILE"
kill -0 "$pid" 2>/dev/null || fail "the program ended by itself"
kill -TERM "$pid" 2>/dev/null
rc=timeout
for _ in $(seq 400); do
  if ! kill -0 "$pid" 2>/dev/null; then
    wait "$pid"
    rc=$?
    pid=
    break
  fi
  sleep 0.05
done
[ "$rc" = 0 ] || fail "exit after SIGTERM: $rc; $(cat "$work/program.log")"
[ -e "$lock" ] && fail "the single-instance lock was left behind"
[ -s "$work/dialogs.log" ] && fail "messages at start: $(cat "$work/dialogs.log")"
ls "$work/root/usr/bin" | grep -vxE 'tombolix([-_].+)?' && fail "files beside the program"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "package $(basename "$deb") passed"
