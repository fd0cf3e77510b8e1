#!/usr/bin/env bash
# The console test on an X server with the laptop's screen (1024x768) and the projector
# (1920x1080): first as one desktop joined by xinerama. Qt's xcb platform reads its screens
# from RandR, and Xvfb's RandR under xinerama names one screen (its xinerama heads both stand
# at 0,0), so Qt may see one there; the test then runs on the same two screens as two X
# screens of one server, which Qt sees as two.
# Exit 77 (skipped) without Xvfb, or when Qt sees one screen either way.
set -uo pipefail
tests=$1
command -v Xvfb >/dev/null || { echo "no Xvfb: skipped"; exit 77; }

# Runs the test on a fresh Xvfb started with the given arguments; 77 for one screen.
run() {
  local fifo display out rc xvfb
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  # Xvfb takes a free display itself and says which.
  Xvfb -displayfd 3 "$@" -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  xvfb=$!
  display=
  read -r -t 20 display <"$fifo"
  rm -f "$fifo"
  if [ -z "$display" ]; then
    kill $xvfb 2>/dev/null
    echo "Xvfb did not start"
    return 77
  fi
  out=$(DISPLAY=:$display QT_QPA_PLATFORM=xcb timeout 100 "$tests" \
    --gtest_filter=ConsoleScreen.TwoScreens* 2>&1)
  rc=$?
  kill $xvfb 2>/dev/null
  wait $xvfb 2>/dev/null
  echo "$out"
  if [ $rc -eq 0 ] && grep -q "one screen only" <<<"$out"; then return 77; fi
  return $rc
}

run +xinerama -screen 0 1024x768x24 -screen 1 1920x1080x24
rc=$?
[ $rc -ne 77 ] && exit $rc
echo "xinerama: Qt saw one screen (Xvfb's RandR names one); two X screens instead"
run -screen 0 1024x768x24 -screen 1 1920x1080x24
rc=$?
[ $rc -eq 77 ] && echo "two screens unavailable: skipped"
exit $rc
