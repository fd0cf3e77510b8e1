#!/usr/bin/env bash
# The data draw screen on the real program, under a virtual screen with a real pointer:
# two batches of the example task by Enter, a click on the middle card of the second asks
# whether that winner is absent and starts no batch; killed and resumed, the band shows the
# same reveal, pixel for pixel. Usage: stage-pointer-check.sh [BUILD_DIR] [OUTDIR]
# Needs Xvfb, xdotool and ImageMagick (import, compare), which scripts/install-deps brings;
# exits 77 when one is missing. It waits on the screen: a band that stands still or changes.
set -euo pipefail
build=$(cd "${1:-$(dirname "$0")/../../build}" && pwd)
out=${2:-$(mktemp -d)}
for tool in Xvfb xdotool import compare; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is missing"; exit 77; }
done
mkdir -p "$out"
root=$(mktemp -d)
cp "$build"/src/programs/{tombolix,tombolix_xls,tombolix_music.so} "$root"/
mkdir "$root/tmp"
mkdir -m 700 "$root/run"
# A display of its own, numbered by the server itself: two checks started at once would
# otherwise both take the first free number, and one would draw on the other's screen. No
# reset when a client leaves: a program starting then would find no server.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset >/dev/null 2>&1 3>"$root/display" &
xvfb=$!
for _ in $(seq 100); do [ -s "$root/display" ] && break; sleep 0.1; done
[ -s "$root/display" ] || { echo "FAILED: Xvfb did not start"; exit 1; }
display=:$(head -n 1 "$root/display")
program=
cleanup() {
  [ -n "$program" ] && kill "$program" 2>/dev/null || true
  # Gone before the next check starts, so that its server cannot be taken for ours.
  kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null || true
  rm -rf "$root"
}
trap cleanup EXIT
fail() { echo "FAILED: $*"; exit 1; }
export DISPLAY=$display
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done
xdotool getmouselocation >/dev/null 2>&1 || fail "no display $display"

# The band (the reveal's place) as it is on the screen now.
band() { import -window root -crop 1280x232+0+244 +repage "$1"; }
same() { [ "$(compare -metric AE "$1" "$2" null: 2>&1 || true)" = "0" ]; }
# Waits (at most 20 s) until the band has stood still for about a second: the roll, the
# landing and the reveal are over, or the screen is up.
settle() {
  local still=0
  band "$out/settle_a.png"
  for _ in $(seq 100); do
    sleep 0.2
    band "$out/settle_b.png"
    if same "$out/settle_a.png" "$out/settle_b.png"; then
      still=$((still + 1))
      [ "$still" -ge 5 ] && return 0
    else
      still=0
    fi
    mv "$out/settle_b.png" "$out/settle_a.png"
  done
  fail "the band never stood still"
}
# Waits (at most 10 s) until the band differs from the picture `$1`.
changed() {
  for _ in $(seq 50); do
    band "$out/changed.png"
    same "$1" "$out/changed.png" || return 0
    sleep 0.2
  done
  fail "the band did not change"
}

start() {
  (cd "$root" && TMPDIR="$root/tmp" XDG_RUNTIME_DIR="$root/run" QT_QPA_PLATFORM=xcb \
    exec ./tombolix >>"$out/program.log" 2>&1) &
  program=$!
  # The main window is up once it has its title.
  for _ in $(seq 100); do xdotool search --name "Qarvo抽奖软件" >/dev/null 2>&1 && break; sleep 0.1; done
  settle
  band "$out/main_band.png"
  xdotool key Return  # the draw of the example task, selected at the start
  changed "$out/main_band.png"
  settle
}
journal_lines() { [ -f "$root/LUCK_FILE/JOURNAL_1001.txt" ] && grep -c "" "$root/LUCK_FILE/JOURNAL_1001.txt" || echo 0; }
batch() {
  local before
  before=$(journal_lines)
  band "$out/before_batch.png"
  xdotool key Return
  changed "$out/before_batch.png"  # it rolls
  sleep 1.7  # past the minimum roll: a stop key before it is ignored
  xdotool key Return
  for _ in $(seq 50); do [ "$(journal_lines)" -gt "$before" ] && break; sleep 0.1; done
  settle
}

start
batch
batch
import -window root "$out/live.png"
lines=$(journal_lines)
convert "$out/live.png" -crop 1280x232+0+244 +repage "$out/band_live.png"
xdotool mousemove 640 360 click 1  # the middle card
changed "$out/band_live.png"  # the question dims the band
settle
import -window root "$out/card_click.png"
# The question is up: the card's region is dimmed behind it, and the journal holds no new batch.
[ "$(journal_lines)" -eq "$lines" ] || fail "a batch started"
compare -metric AE <(convert "$out/live.png" -crop 200x40+540+490 +repage png:-) \
  <(convert "$out/card_click.png" -crop 200x40+540+490 +repage png:-) null: 2>"$out/q.txt" || true
[ "$(cat "$out/q.txt")" != "0" ] || fail "no question came up"
xdotool mousemove 739 505 click 1  # 否
settle
# No batch started: the band still shows the cards as before the click.
import -window root "$out/after_no.png"
convert "$out/after_no.png" -crop 1280x232+0+244 +repage "$out/band_after_no.png"
diff=$(compare -metric AE "$out/band_live.png" "$out/band_after_no.png" null: 2>&1 || true)
[ "$diff" = "0" ] || fail "the band changed after the card click ($diff pixels): a batch started"
kill -9 "$program"
wait "$program" 2>/dev/null || true
program=

start
band "$out/question.png"
xdotool key Return  # yes, go on
changed "$out/question.png"
settle
import -window root "$out/resumed.png"
convert "$out/resumed.png" -crop 1280x232+0+244 +repage "$out/band_resumed.png"
diff=$(compare -metric AE "$out/band_live.png" "$out/band_resumed.png" "$out/band_diff.png" 2>&1 || true)
[ "$diff" = "0" ] || fail "the resumed reveal differs from the live one in $diff pixels"
echo "passed: pictures in $out"
