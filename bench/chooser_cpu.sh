#!/usr/bin/env bash
# CPU time the configuration utility spends while the serial device chooser is
# open (its port list is read again every 700 ms to follow plugging), against
# the same time with only the main window open. Runs on a virtual X display.
# Usage: bench/chooser_cpu.sh [build-dir] [seconds]   (default 60 s each)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-${QZ_BUILD_DIR:-build}}"
seconds="${2:-60}"
[ -x "$build/bin/qz4veld-config" ] || { echo "no $build/bin/qz4veld-config: build it first" >&2; exit 1; }

if [ "${3:-}" != "--inside" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$build" "$seconds" --inside
fi

work="$(mktemp -d)"
cp "$build/bin/qz4veld-config" "$work/"
# Own settings and state folders: no table offered back from an earlier run.
export XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state" XDG_DATA_HOME="$work/data"
QT_FONT_DPI=96 QT_QPA_PLATFORM=xcb "$work/qz4veld-config" >/dev/null 2>&1 &
app=$!
trap 'kill $app 2>/dev/null; wait $app 2>/dev/null; rm -rf "$work"' EXIT
win="$(timeout 20 xdotool search --sync --onlyvisible --name "QZ4VELD CONFIGURATION" | head -n 1)"
sleep 2

cpu_ms() { awk -v hz="$(getconf CLK_TCK)" '{ printf "%d\n", ($14 + $15) * 1000 / hz }' "/proc/$app/stat"; }
measure() {
  local before after
  before="$(cpu_ms)"; sleep "$seconds"; after="$(cpu_ms)"
  echo $(( after - before ))
}

idle="$(measure)"
# "Configuration" in the menu bar, right of "File".
xdotool mousemove --window "$win" 85 8 click 1
dialog="$(timeout 10 xdotool search --sync --onlyvisible --name "^Configuration$" | head -n 1)"
sleep 0.5
# "Choose device..." at 2655, 3270 twips, 1650 x 375; 96 dpi: px = twips / 15.
xdotool mousemove --window "$dialog" $(( (2655 + 825) / 15 )) $(( (3270 + 187) / 15 )) click 1
timeout 10 xdotool search --sync --onlyvisible --name "^Serial device for COM" >/dev/null
sleep 2
open="$(measure)"
echo "window alone: ${idle} ms CPU in ${seconds} s"
echo "chooser open: ${open} ms CPU in ${seconds} s ($(awk -v o="$open" -v s="$seconds" 'BEGIN { printf "%.2f", o / (s * 10) }') % of one core)"
