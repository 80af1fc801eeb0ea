#!/usr/bin/env bash
# `qz4veld-cli send` then `verify` of a full table at string length 1 (93 rows)
# to 1, 4 and 16 simulators in one run each, every line paced at 9600 baud.
# Prints per device count the wall time of send and of verify, the CLI's CPU
# time (user + system) and peak resident memory, and the wall time against the
# one-device run; then checks that 16 devices take at most 1.1 times as long.
#   bench/cli_many_devices.sh [counts...]    (default: 1 4 16)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${QZ_BUILD_DIR:-build}"
counts=("$@")
[[ ${#counts[@]} -gt 0 ]] || counts=(1 4 16)
cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target qz4veld-cli qz4veld-sim >/dev/null
[[ -x /usr/bin/time ]] || { echo "needs GNU time (/usr/bin/time) for CPU and memory"; exit 1; }

. bench/sim_lib.sh
. bench/full_table.sh
make_table 1 93 "$work/full.cfg"

# run label args...: prints "wall_ms cpu_s rss_kb" of one qz4veld-cli run.
run() {
  local label=$1 start end status=0
  shift
  start=$(date +%s%3N)
  /usr/bin/time -f "%U %S %M" -o "$work/time" "$build/bin/qz4veld-cli" --quiet --baud 9600 --parity N "$@" \
    >"$work/out" 2>"$work/err" || status=$?
  end=$(date +%s%3N)
  [[ $status -eq 0 ]] || { echo "$label failed with exit $status: $(tail -n 5 "$work/err") $(tail -n 20 "$work/out")"; exit 1; }
  read -r user sys rss <"$work/time"
  echo "$((end - start)) $(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.2f", u + s }') $rss"
}

base=0
failed=0
for count in "${counts[@]}"; do
  start_sims "$count" --baud 9600
  args=()
  for p in "${ports[@]}"; do args+=(--port "$p"); done
  # One device alone still goes through the side-by-side runner (--json), as the others do.
  [[ $count -gt 1 ]] || args+=(--json)
  read -r send_ms send_cpu send_rss < <(run send send "$work/full.cfg" "${args[@]}")
  read -r verify_ms verify_cpu verify_rss < <(run verify verify "$work/full.cfg" "${args[@]}")
  stop_sim
  wall=$((send_ms + verify_ms))
  [[ $base -gt 0 ]] || base=$wall
  ratio=$(awk -v w="$wall" -v b="$base" 'BEGIN { printf "%.3f", w / b }')
  printf '%2d devices: send %6d ms, verify %6d ms, send+verify %6d ms (%sx one device); cpu send %ss verify %ss; rss send %d KB verify %d KB\n' \
    "$count" "$send_ms" "$verify_ms" "$wall" "$ratio" "$send_cpu" "$verify_cpu" "$send_rss" "$verify_rss"
  if [[ $count -eq 16 ]] && awk -v r="$ratio" 'BEGIN { exit !(r > 1.1) }'; then
    echo "  ^ misses the target (16 devices within 1.1x the time of one)"
    failed=1
  fi
done
exit "$failed"
