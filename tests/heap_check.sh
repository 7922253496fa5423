#!/usr/bin/env bash
# Runs Windows test programs under Wine with its heap checking (WINEDEBUG=warn+heap: tail and
# free checking, parameter validation) and fails when Wine reports a damaged heap block or a bad
# pointer handed to the heap, even if the program itself passed. MinGW has no AddressSanitizer;
# this is the memory check the Windows builds get.
#
#   tests/heap_check.sh PROG.exe [PROG.exe...]
set -uo pipefail

[ $# -ge 1 ] || { echo "usage: $0 PROG.exe [PROG.exe...]" >&2; exit 2; }
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
log=$(mktemp)
trap 'rm -f "$log"' EXIT

fail=0
for program in "$@"; do
  echo "== $(basename "$program") under warn+heap"
  VORLUNE_WINEDEBUG=-all,err+heap,warn+heap "$root/tools/wine-run.sh" "$program" 2>"$log" || fail=1
  cat "$log" >&2
  if grep -E ':(warn|err):heap:' "$log" >/dev/null; then
    echo "heap_check: Wine reported heap errors in $(basename "$program"):" >&2
    grep -E ':(warn|err):heap:' "$log" | sort | uniq -c >&2
    fail=1
  fi
done
exit $fail
