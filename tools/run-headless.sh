#!/usr/bin/env bash
# Walks through the wizard where no screen is attached, clicking as a user would, and saves what
# the user sees on every page into build/screens/. Starts Xvfb when $DISPLAY does not answer
# (tools/with-display.sh), runs the x86_64 installer under Wine, clicks 下一步, 安装 and 完成 with
# the X pointer, and lists what was installed where.
#
#   tools/run-headless.sh [INSTALLER.exe [SCREENS_DIR]]
#
# Defaults: build/win64/app/VorluneSetup.exe and build/screens.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
exe=$(realpath -m "${1:-$root/build/win64/app/VorluneSetup.exe}")
screens=$(realpath -m "${2:-$root/build/screens}")
peek_exe=$(dirname "$(dirname "$exe")")/tests/headless_peek.exe

for file in "$exe" "$peek_exe"; do
  [ -f "$file" ] || { echo "run-headless: $file: no such file (make win64 builds it)" >&2; exit 1; }
done
for tool in xdotool import; do
  command -v "$tool" >/dev/null || { echo "run-headless: $tool missing (tools/setup-deps.sh)" >&2; exit 1; }
done

if [ -z "${VORLUNE_HEADLESS_DISPLAY:-}" ]; then
  export VORLUNE_HEADLESS_DISPLAY=1
  exec "$here/with-display.sh" "$0" "$exe" "$screens"
fi

peek() { "$here/wine-run.sh" "$peek_exe" "$@" | tr -d '\r'; }

"$here/wine-run.sh" "$exe" &
runner=$!
finish() {
  # The program itself is the runner's child; end only that one if 完成 did not.
  if kill -0 "$runner" 2>/dev/null; then
    program=$(pgrep -P "$runner" || true)
    if [ -n "$program" ]; then kill "$program" 2>/dev/null || true; fi
    wait "$runner" 2>/dev/null || true
  fi
}
trap finish EXIT

wait_for_page() {
  for _ in $(seq 300); do
    [ "$(peek page 2>/dev/null || true)" = "$1" ] && return 0
    kill -0 "$runner" 2>/dev/null || { echo "run-headless: the installer ended early" >&2; exit 1; }
    sleep 0.1
  done
  echo "run-headless: the $1 page did not show" >&2
  exit 1
}

# Only the window, as it stands on the screen.
shoot() {
  local place
  read -r x y w h <<<"$(peek window)"
  place="${w}x${h}+${x}+${y}"
  import -window root -crop "$place" +repage "$screens/$1.png"
  echo "run-headless: $1 page saved to $screens/$1.png"
}

click() {
  read -r x y <<<"$(peek centre "$1")"
  xdotool mousemove "$x" "$y" click 1
}

mkdir -p "$screens"
wait_for_page welcome
sleep 0.5 # let the first paint finish
shoot welcome

click 0x16010007 # 下一步
wait_for_page location
sleep 0.3
shoot location

click 0x16010011 # 安装
# The run is short: the picture is taken at once, while the progress page still shows.
import -window root "$screens/progress-full.png"
wait_for_page finished
read -r x y w h <<<"$(peek window)"
convert "$screens/progress-full.png" -crop "${w}x${h}+${x}+${y}" +repage "$screens/progress.png"
rm -f "$screens/progress-full.png"
echo "run-headless: progress page saved to $screens/progress.png"
sleep 0.3
shoot finished

peek installed

click 0x16010014 # 完成
for _ in $(seq 50); do
  kill -0 "$runner" 2>/dev/null || break
  sleep 0.1
done
set +e
wait "$runner"
code=$?
set -e
echo "run-headless: the installer ended with exit code $code"
