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
cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target table_ops_bench qz4veld-sim >/dev/null

work="$(mktemp -d)"
sim_pid=""
cleanup() {
  if [[ -n "$sim_pid" ]]; then kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

failed=0
for length in "${lengths[@]}"; do
  # A device at another width, so that Send has to change it.
  "$build/bin/qz4veld-sim" --length $(( length == 3 ? 4 : 3 )) >"$work/sim.out" 2>"$work/sim.err" &
  sim_pid=$!
  for _ in $(seq 1 100); do [[ -s "$work/sim.out" ]] && break; sleep 0.05; done
  port="$(head -n 1 "$work/sim.out")"
  [[ -n "$port" ]] || { echo "qz4veld-sim did not start: $(cat "$work/sim.err")"; exit 1; }
  for op in send read verify; do
    line="$("$build/bin/table_ops_bench" "$port" "$op" "$length")"
    echo "$line"
    # Targets: wall within 3 % of the waits, CPU at most 2 % of wall, RSS below 80 MB.
    echo "$line" | awk '{
      for (i = 1; i <= NF; i++) { if ($i == "ratio") r = $(i+1); if ($i == "cpu/wall") c = $(i+1); if ($i == "rss") m = $(i+1) }
      if (r > 1.03 || c > 2 || m >= 80) { print "  ^ misses a target (ratio <= 1.03, cpu/wall <= 2 %, rss < 80 MB)"; exit 1 }
    }' || failed=1
  done
  kill "$sim_pid"; wait "$sim_pid" 2>/dev/null || true; sim_pid=""
done
exit "$failed"
