#!/usr/bin/env bash
# Runs the fault scenarios (fault_test.exe) in a Wine prefix of their own, with small volumes
# mounted and mapped as drives of that prefix, and takes everything down again however the run
# ends. Mounting needs root; where it fails the volume scenarios are skipped, and so is the whole
# test as far as ctest is concerned (exit code 77), with the reason on the output.
#
#   tests/fault_volume.sh PREFIX FAULT_TEST.exe [GTEST_ARGS...]
set -euo pipefail

[ $# -ge 2 ] || { echo "usage: $0 PREFIX FAULT_TEST.exe [GTEST_ARGS...]" >&2; exit 2; }
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
prefix=$1
program=$2
shift 2

export VORLUNE_WINEPREFIX=$prefix
export WINEPREFIX=$prefix
"$root/tools/wine-prefix.sh"

mounts=$(mktemp -d)
mounted=()
drives=()
cleanup() {
  set +e
  # The prefix's own Wine processes may still hold folders of the volumes.
  timeout 60 wineserver -w
  for drive in "${drives[@]}"; do rm -f "$prefix/dosdevices/$drive"; done
  for dir in "${mounted[@]}"; do umount "$dir" 2>/dev/null || umount -l "$dir"; done
  rm -rf "$mounts"
}
trap cleanup EXIT
trap 'exit 143' TERM
trap 'exit 130' INT

skip=
# volume NAME DRIVE MOUNT_OPTIONS: a tmpfs mapped as DRIVE, named to the test in
# VORLUNE_FAULT_<NAME>.
volume() {
  local name=$1 drive=$2 options=$3 dir=$mounts/$1 error
  mkdir -p "$dir"
  if ! error=$(mount -t tmpfs -o "$options" vorlune-fault "$dir" 2>&1); then
    skip="cannot mount a tmpfs ($options): ${error:-mount failed}"
    return
  fi
  mounted+=("$dir")
  ln -sfn "$dir" "$prefix/dosdevices/$drive"
  drives+=("$drive")
  export "VORLUNE_FAULT_$name=${drive^^}"
}

# Sizes in 4 KB pages, the unit a tmpfs gives out; the default payload's members take 10 pages
# (30 KB of data) and its archive 4 (12 KB).
volume TIGHT t: size=36k                  # 9 pages: passes the check, fills up on the last member
volume SMALL s: size=16k                  # 4 pages: too small for the members from the start
volume NO_ENTRIES n: size=1m,nr_inodes=1  # bytes free, but no file can be created
volume READ_ONLY r: ro,size=64k

if [ -n "$skip" ]; then
  for dir in "${mounted[@]}"; do umount "$dir" 2>/dev/null || umount -l "$dir"; done
  for drive in "${drives[@]}"; do rm -f "$prefix/dosdevices/$drive"; done
  mounted=()
  drives=()
  unset VORLUNE_FAULT_TIGHT VORLUNE_FAULT_SMALL VORLUNE_FAULT_NO_ENTRIES VORLUNE_FAULT_READ_ONLY
  export VORLUNE_FAULT_SKIP=$skip
  echo "fault_volume: volume scenarios SKIPPED: $skip" >&2
fi

# A run that broke off while the desktop was moved elsewhere would leave it there.
"$root/tools/wine-run.sh" reg add \
  'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders' \
  /v Desktop /t REG_EXPAND_SZ /d '%USERPROFILE%\Desktop' /f </dev/null >/dev/null 2>&1

set +e
"$root/tools/wine-run.sh" "$program" "$@"
rc=$?
set -e
if [ $rc = 0 ] && [ -n "$skip" ]; then
  echo "fault_volume: SKIPPED (the other scenarios passed): $skip" >&2
  exit 77
fi
exit $rc
