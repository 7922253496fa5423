#!/usr/bin/env bash
# Runs a command with a usable X display: the caller's $DISPLAY if it answers, otherwise a private
# Xvfb that lives only as long as the command. No window manager is started.
#
#   tools/with-display.sh CMD [ARGS...]
set -euo pipefail

[ $# -ge 1 ] || { echo "usage: $0 CMD [ARGS...]" >&2; exit 2; }

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec "$@"
fi

tmp=$(mktemp -d)
xvfb_pid=
cleanup() {
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Xvfb picks a free display number itself and writes it to the -displayfd descriptor once it
# accepts connections.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$tmp/display" >"$tmp/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$tmp/display" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || break
  sleep 0.1
done
if [ ! -s "$tmp/display" ]; then
  echo "with-display: Xvfb did not start:" >&2
  cat "$tmp/xvfb.log" >&2
  exit 1
fi
DISPLAY=":$(head -n 1 "$tmp/display")"
export DISPLAY

set +e
"$@"
rc=$?
set -e
exit $rc
