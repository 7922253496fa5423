#!/usr/bin/env bash
# Runs a Windows program in the project's Wine prefix (see wine-prefix.sh), on $DISPLAY, and
# exits with the program's exit code.
#
#   tools/wine-run.sh PROG.exe [ARGS...]
set -euo pipefail

[ $# -ge 1 ] || { echo "usage: $0 PROG.exe [ARGS...]" >&2; exit 2; }
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
export WINEPREFIX=${VORLUNE_WINEPREFIX:-$root/build/wine-prefix}
# VORLUNE_WINEDEBUG turns Wine's debug channels on for one run (warn+heap: heap checking).
export WINEARCH=win64 WINEDEBUG=${VORLUNE_WINEDEBUG:--all} LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

[ -f "$WINEPREFIX/.vorlune-ready" ] || "$here/wine-prefix.sh"

if [ -t 1 ] && [ -t 2 ]; then
  exec wine "$@"
fi

# Wine's background processes (services, desktop) inherit the program's stdout and stderr and
# outlive it by a few seconds. A caller that reads our output through pipes (ctest, ninja) would
# wait for them, and every test would start a fresh Wine session. So the program writes to files
# that are followed until it exits.
tmp=$(mktemp -d)
pid=
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; fi
  rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 143' TERM
trap 'exit 130' INT

: >"$tmp/out"
: >"$tmp/err"
exec 3<&0
wine "$@" <&3 >"$tmp/out" 2>"$tmp/err" &
pid=$!
tail -n +1 -s 0.1 --pid="$pid" -f "$tmp/out" &
out_pid=$!
tail -n +1 -s 0.1 --pid="$pid" -f "$tmp/err" >&2 &
err_pid=$!

set +e
wait "$pid"
rc=$?
set -e
pid=
wait "$out_pid" "$err_pid" || true
exit $rc
