#!/usr/bin/env bash
# Read, Verify and Send at string lengths 1, 6 and 10 against qz4veld-sim on a
# pseudo-terminal, with the program's own serial link, waiter and operations,
# headless. For each run prints wall time, the sum of the fixed waits the
# operation asked for (the floor), their ratio, CPU time against wall time and
# peak resident memory, then checks them against the targets.
#   bench/table_ops.sh [lengths...]    (default: 1 6 10)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${QZ_BUILD_DIR:-build}"
lengths=("$@")
[[ ${#lengths[@]} -gt 0 ]] || lengths=(1 6 10)
cmake -S . -B "$build" -G Ninja -DQZ_BENCH=ON >/dev/null
cmake --build "$build" --target table_ops_bench qz4veld-sim >/dev/null

. bench/sim_lib.sh

failed=0
for length in "${lengths[@]}"; do
  # A device at another width, so that Send has to change it.
  start_sim --length $(( length == 3 ? 4 : 3 ))
  for op in send read verify; do
    line="$("$build/bin/table_ops_bench" "$port" "$op" "$length")"
    echo "$line"
    # Targets: wall within 3 % of the waits, CPU at most 2 % of wall, RSS below 80 MB.
    echo "$line" | awk '{
      for (i = 1; i <= NF; i++) { if ($i == "ratio") r = $(i+1); if ($i == "cpu/wall") c = $(i+1); if ($i == "rss") m = $(i+1) }
      if (r > 1.03 || c > 2 || m >= 80) { print "  ^ misses a target (ratio <= 1.03, cpu/wall <= 2 %, rss < 80 MB)"; exit 1 }
    }' || failed=1
  done
  stop_sim
done
exit "$failed"
