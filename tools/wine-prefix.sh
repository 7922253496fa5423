#!/usr/bin/env bash
# Creates the 64-bit Wine prefix the tests run in, at build/wine-prefix, under a Chinese locale so
# that the ANSI code page is 936 and Chinese texts render. Idempotent; safe to run concurrently.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${VORLUNE_WINEPREFIX:-$root/build/wine-prefix}
export WINEARCH=win64 WINEDEBUG=-all LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
# No Mono or Gecko: nothing here needs them, and their installers would ask through a dialog. No
# menu builder: it would turn the desktop entries the tests make into menu items of this machine.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
stamp=$WINEPREFIX/.vorlune-ready
unmanaged=$WINEPREFIX/.vorlune-unmanaged

# Without a window manager Wine waits about 2 s for one whenever a managed top-level window is
# hidden or destroyed; unmanaged windows also draw their own title bar, as users see it.
make_unmanaged() {
  [ -f "$unmanaged" ] && return 0
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f </dev/null >/dev/null 2>&1
  wineserver -w
  touch "$unmanaged"
}

if [ -f "$stamp" ]; then
  make_unmanaged
  exit 0
fi

if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf8$'; then
  echo "wine-prefix: locale zh_CN.UTF-8 missing (run tools/setup-deps.sh)" >&2
  exit 1
fi

mkdir -p "$(dirname "$WINEPREFIX")"
exec 9>"$WINEPREFIX.lock"
flock 9
if [ -f "$stamp" ]; then
  make_unmanaged
  exit 0
fi

echo "wine-prefix: creating $WINEPREFIX"
rm -rf "$WINEPREFIX"
# wineboot needs no window; an unusable DISPLAY would only make it slower.
(unset DISPLAY; wineboot -i) </dev/null >/dev/null 2>&1
wineserver -w

# Wine takes the code page from the locale: 936 means zh_CN.UTF-8 is there and in use.
# (Through a file: Wine's background processes would hold a pipe open after reg has exited.)
wine reg query 'HKLM\System\CurrentControlSet\Control\Nls\CodePage' /v ACP \
  </dev/null >"$WINEPREFIX.acp" 2>/dev/null || true
acp=$(tr -d '\r' <"$WINEPREFIX.acp" | awk '$1 == "ACP" {print $3}')
rm -f "$WINEPREFIX.acp"
if [ "$acp" != 936 ]; then
  echo "wine-prefix: ANSI code page of $WINEPREFIX is '${acp:-unknown}', expected 936" >&2
  exit 1
fi
make_unmanaged
touch "$stamp"
echo "wine-prefix: ready (code page $acp)"
