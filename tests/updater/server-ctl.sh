#!/bin/sh
# Starts or stops the updater tests' update server.  server-ctl.sh start|stop STATE_DIR
set -u
here=$(cd "$(dirname "$0")" && pwd)
state=$2
case "$1" in
start)
  if [ -f "$state/pid" ]; then kill "$(cat "$state/pid")" 2>/dev/null; fi
  rm -rf "$state"
  mkdir -p "$state/root"
  nohup python3 "$here/update_server.py" "$state" --max-seconds 900 >"$state/server.log" 2>&1 </dev/null &
  i=0
  while [ ! -f "$state/port" ]; do
    i=$((i + 1))
    if [ $i -gt 100 ]; then echo "update server did not start" >&2; cat "$state/server.log" >&2; exit 1; fi
    sleep 0.1
  done
  echo "update server on 127.0.0.1:$(cat "$state/port")"
  ;;
stop)
  if [ -f "$state/pid" ]; then
    pid=$(cat "$state/pid")
    kill "$pid" 2>/dev/null
    i=0
    while kill -0 "$pid" 2>/dev/null && [ $i -lt 50 ]; do i=$((i + 1)); sleep 0.1; done
    rm -f "$state/pid" "$state/port"
  fi
  ;;
*)
  echo "usage: $0 start|stop STATE_DIR" >&2
  exit 2
  ;;
esac
