#!/usr/bin/env bash
# Checks a Windows executable before it ships: the expected machine, the GUI subsystem, and
# imports from system DLLs only (a DLL of the compiler's run-time or of a library would have to
# travel next to the installer).
#
#   tools/check-pe.sh EXE [i386|x86-64]
set -euo pipefail

exe=${1:?usage: $0 EXE [i386|x86-64]}
arch=${2:-}
[ -f "$exe" ] || { echo "check-pe: $exe: no such file" >&2; exit 1; }

case "$arch" in
  i386) objdump=i686-w64-mingw32-objdump ;;
  x86-64 | "") objdump=x86_64-w64-mingw32-objdump ;;
  *) echo "check-pe: unknown machine '$arch' (i386 or x86-64)" >&2; exit 2 ;;
esac

# DLLs that every supported Windows carries.
allowed=(
  kernel32 user32 gdi32 comctl32 comdlg32 shell32 ole32 oleaut32 advapi32 shlwapi msvcrt
  version uxtheme ntdll imm32 msimg32 winmm dwmapi rpcrt4 ws2_32 crypt32 bcrypt setupapi
  userenv shcore gdiplus
)

if ! dump=$("$objdump" -p "$exe" 2>&1); then
  echo "check-pe: $exe: not readable as a PE file:" >&2
  echo "$dump" >&2
  exit 1
fi

fail=0
format=$(sed -n 's/.*file format \(pei-[^ ]*\).*/\1/p' <<<"$dump" | head -n 1)
machine=${format#pei-}
if [ -z "$machine" ]; then
  echo "check-pe: $exe: no PE image format in objdump output" >&2
  fail=1
elif [ -n "$arch" ] && [ "$machine" != "$arch" ]; then
  echo "check-pe: $exe: machine is $machine, expected $arch" >&2
  fail=1
fi

subsystem=$(awk '$1 == "Subsystem" {print $2; exit}' <<<"$dump")
if [ "$((16#${subsystem:-0}))" != 2 ]; then
  echo "check-pe: $exe: subsystem is ${subsystem:-missing}, expected 2 (Windows GUI)" >&2
  fail=1
fi

mapfile -t dlls < <(awk '/DLL Name:/ {print $3}' <<<"$dump" | sort -fu)
for dll in "${dlls[@]}"; do
  name=$(tr '[:upper:]' '[:lower:]' <<<"${dll%.*}")
  ok=0
  case "$name" in api-ms-win-* | ext-ms-win-*) ok=1 ;; esac
  for a in "${allowed[@]}"; do [ "$name" = "$a" ] && ok=1; done
  if [ "$ok" = 0 ]; then
    echo "check-pe: $exe imports $dll, which is not a system DLL (link it statically)" >&2
    fail=1
  fi
done

if [ "$fail" = 0 ]; then
  echo "check-pe: $exe: ${machine}, Windows GUI, imports ${dlls[*]:-nothing}"
fi
exit "$fail"
