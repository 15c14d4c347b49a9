#!/bin/sh
# Starts or stops the velksim process that tests of builds without the
# in-process simulator (the Windows build under Wine) talk to over loopback TCP.
#   external_velksim.sh start VELKSIM FOLDER [WINEPREFIX]
#   external_velksim.sh stop FOLDER
# Modems DK1AAA and DK2BBB listen on loopback TCP, DK3CCC on a pseudo-terminal
# that the Wine prefix (WINEPREFIX, else the one given) sees as COM7. FOLDER
# gets velksim.out (where the modems listen) and velksim.pid.
set -eu
case "$1" in
start)
  velksim=$2 folder=$3 prefix=${WINEPREFIX:-${4:-}}
  mkdir -p "$folder"
  if [ -f "$folder/velksim.pid" ]; then
    kill "$(cat "$folder/velksim.pid")" 2>/dev/null || true
  fi
  : >"$folder/velksim.out"
  "$velksim" --modem DK1AAA@tcp:127.0.0.1:0 --modem DK2BBB@tcp:127.0.0.1:0 \
    --modem "DK3CCC@pty:$folder/com7" \
    --time-scale 20 >"$folder/velksim.out" 2>&1 </dev/null &
  echo $! >"$folder/velksim.pid"
  tries=0
  until grep -q '^time scale' "$folder/velksim.out"; do
    tries=$((tries + 1))
    if [ "$tries" -gt 100 ] || ! kill -0 "$(cat "$folder/velksim.pid")" 2>/dev/null; then
      cat "$folder/velksim.out"
      echo "velksim did not start" >&2
      exit 1
    fi
    sleep 0.1
  done
  # Wine opens COMn through the link of that name among its DOS devices.
  if [ -n "$prefix" ] && [ -d "$prefix/dosdevices" ]; then
    ln -sfn "$folder/com7" "$prefix/dosdevices/com7"
  fi
  cat "$folder/velksim.out"
  ;;
stop)
  folder=$2
  if [ -f "$folder/velksim.pid" ]; then
    pid=$(cat "$folder/velksim.pid")
    rm -f "$folder/velksim.pid"
    kill "$pid" 2>/dev/null || true
    # It stops its threads and exits within a second of SIGTERM.
    tries=0
    while kill -0 "$pid" 2>/dev/null && [ "$tries" -lt 50 ]; do
      tries=$((tries + 1))
      sleep 0.1
    done
  fi
  ;;
*)
  echo "usage: $0 start VELKSIM FOLDER | stop FOLDER" >&2
  exit 2
  ;;
esac
