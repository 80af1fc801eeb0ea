#!/usr/bin/env bash
# Wall and CPU time of a presence check against a silent device (8 tries of
# 51 polls of 5 ms, about 2.04 s of waiting), over the real serial link and
# event-loop waiter on the simulator's pseudo-terminal. Prints the numbers of
# each run; asserts nothing.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${QZ_BUILD_DIR:-build}"
runs="${1:-5}"
cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target tst_e2e_runs qz4veld-sim >/dev/null
echo "presence check, device absent (expected waiting: 8 x 51 x 5 ms = 2040 ms)"
for i in $(seq 1 "$runs"); do
  QT_QPA_PLATFORM=offscreen "$build/bin/tst_e2e_runs" absentDevice 2>&1 \
    | sed -n 's/.*BENCH presence-absent wall_ms=\([0-9]*\) cpu_ms=\([0-9]*\).*/run '"$i"': wall \1 ms, cpu \2 ms/p'
done
