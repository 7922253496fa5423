#!/usr/bin/env bash
# Shows the installer where no screen is attached and saves what a user would see. Starts Xvfb
# when $DISPLAY does not answer (tools/with-display.sh), runs the x86_64 installer under Wine,
# waits for its window, saves a screenshot and ends the program with Esc.
#
#   tools/run-headless.sh [INSTALLER.exe [SCREENSHOT.png]]
#
# Defaults: build/win64/app/VorluneSetup.exe and build/screens/welcome.png.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
exe=$(realpath -m "${1:-$root/build/win64/app/VorluneSetup.exe}")
shot=$(realpath -m "${2:-$root/build/screens/welcome.png}")
caption="Vorlune V1.5 Setup"

[ -f "$exe" ] || { echo "run-headless: $exe: no such file (make win64 builds it)" >&2; exit 1; }
for tool in xdotool import; do
  command -v "$tool" >/dev/null || { echo "run-headless: $tool missing (tools/setup-deps.sh)" >&2; exit 1; }
done

if [ -z "${VORLUNE_HEADLESS_DISPLAY:-}" ]; then
  export VORLUNE_HEADLESS_DISPLAY=1
  exec "$here/with-display.sh" "$0" "$exe" "$shot"
fi

"$here/wine-run.sh" "$exe" &
runner=$!
program=
finish() {
  # The program itself is the runner's child; end only that one if Esc did not.
  if kill -0 "$runner" 2>/dev/null; then
    program=${program:-$(pgrep -P "$runner" || true)}
    if [ -n "$program" ]; then kill "$program" 2>/dev/null || true; fi
    wait "$runner" 2>/dev/null || true
  fi
}
trap finish EXIT

# Wine's first start in a prefix can take a while.
window=
for _ in $(seq 600); do
  window=$(xdotool search --onlyvisible --name "^${caption}\$" 2>/dev/null | head -n 1 || true)
  [ -n "$window" ] && break
  kill -0 "$runner" 2>/dev/null || { echo "run-headless: the installer ended early" >&2; exit 1; }
  sleep 0.1
done
[ -n "$window" ] || { echo "run-headless: no window \"$caption\" appeared" >&2; exit 1; }
program=$(pgrep -P "$runner" || true)
# Let the window finish painting before the picture is taken.
sleep 1

mkdir -p "$(dirname "$shot")"
import -window root "$shot"
echo "run-headless: screenshot saved to $shot"

# Esc closes the wizard as a user would; the program then ends with exit code 0.
xdotool key --window "$window" Escape 2>/dev/null || true
for _ in $(seq 50); do
  kill -0 "$runner" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$runner" 2>/dev/null; then
  echo "run-headless: the installer did not end on Esc; stopping it" >&2
  exit 0
fi
set +e
wait "$runner"
code=$?
set -e
echo "run-headless: the installer ended with exit code $code"
