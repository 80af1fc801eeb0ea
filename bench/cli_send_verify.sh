#!/usr/bin/env bash
# Wall time of `qz4veld-cli send` and `qz4veld-cli verify` of a full table
# (every usable row with a key and a string of the full slot width) at string
# length 1 (93 rows) and 10 (23 rows), against the simulator at 9600 baud.
# Expected from the fixed waits alone: send = 50 ms for the length command +
# 150 ms per row (block window + read-back) + 1000 ms closing pause; verify =
# 100 ms for the length query + 100 ms per row + 2000 ms. Prints numbers only.
# Usage: bench/cli_send_verify.sh [build-dir] [runs]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-${QZ_BUILD_DIR:-build}}"
runs="${2:-3}"
cli="$build/bin/qz4veld-cli"
sim="$build/bin/qz4veld-sim"
[ -x "$cli" ] && [ -x "$sim" ] || { echo "no $cli or $sim: build them first" >&2; exit 1; }

work="$(mktemp -d)"
sim_pid=""
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

"$sim" >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
for _ in $(seq 50); do [ -s "$work/sim.out" ] && break; sleep 0.1; done
port="$(head -n 1 "$work/sim.out")"
[ -n "$port" ] || { echo "the simulator printed no terminal path" >&2; exit 1; }

. bench/full_table.sh

ms_now() { date +%s%3N; }

timed() {  # label command...
  local label=$1; shift
  local start end status=0
  start=$(ms_now)
  "$@" >/dev/null 2>"$work/err" || status=$?
  end=$(ms_now)
  [ "$status" -eq 0 ] || { echo "$label failed with exit $status: $(cat "$work/err")" >&2; exit 1; }
  echo $((end - start))
}

for run in "1 93" "10 23"; do
  set -- $run
  length=$1 capacity=$2
  table="$work/full$length.cfg"
  make_table "$length" "$capacity" "$table"
  for run in $(seq "$runs"); do
    send_ms=$(timed send "$cli" --quiet --baud 9600 --parity N --port "$port" send "$table")
    verify_ms=$(timed verify "$cli" --quiet --baud 9600 --parity N --port "$port" verify "$table")
    printf 'length %2d (%2d rows) run %d: send %6d ms, verify %6d ms, send+verify %6d ms\n' \
      "$length" "$capacity" "$run" "$send_ms" "$verify_ms" $((send_ms + verify_ms))
  done
done
