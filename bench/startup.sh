#!/usr/bin/env bash
# Start-up to first paint of the configuration utility: launches it RUNS times
# (default 10) on a virtual X display and prints each time and the median, in ms.
# Usage: bench/startup.sh [build-dir] [runs]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-${QZ_BUILD_DIR:-build}}"
runs="${2:-10}"
program="$build/bin/qz4veld-config"
[ -x "$program" ] || { echo "no $program: build it first" >&2; exit 1; }

run_once() {
  QZ4VELD_STARTUP_PROBE=1 timeout 30 xvfb-run -a -s "-screen 0 1280x1024x24" "$program" 2>/dev/null \
    | sed -n 's/^first-paint-ms //p'
}

# The first launch warms the file cache and the font cache; it is not counted.
run_once >/dev/null
times=()
for _ in $(seq "$runs"); do
  ms="$(run_once)"
  [ -n "$ms" ] || { echo "no first paint reported" >&2; exit 1; }
  times+=("$ms")
done
printf 'first-paint-ms runs: %s\n' "${times[*]}"
printf '%s\n' "${times[@]}" | sort -n | awk '{ a[NR] = $1 } END { m = (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2; printf "first-paint-ms median: %s\n", m }'
