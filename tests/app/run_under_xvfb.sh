#!/bin/sh
# Runs a test binary against a private Xvfb server on a free display number.
set -eu
display=""
for n in $(seq 140 199); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
    display=":$n"
    break
  fi
done
[ -n "$display" ] || { echo "no free X display" >&2; exit 1; }
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  [ -e "/tmp/.X11-unix/X${display#:}" ] && break
  sleep 0.05
done
# The X keyboard library strndup()s length-bounded names that carry no NUL,
# which is valid but trips AddressSanitizer's strict string checks.
ASAN_OPTIONS="${ASAN_OPTIONS:-}${ASAN_OPTIONS:+:}strict_string_checks=0"
export ASAN_OPTIONS
LSAN_OPTIONS="${LSAN_OPTIONS:-}${LSAN_OPTIONS:+:}suppressions=$(dirname "$0")/xvfb_lsan.supp"
export LSAN_OPTIONS
DISPLAY="$display" QT_QPA_PLATFORM=xcb "$@"
