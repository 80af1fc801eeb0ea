#!/usr/bin/env bash
# Kills a process with SIGKILL while it saves configuration files again and
# again, then checks that the file left behind is wholly the old or the new
# table. Prints how many rounds ran, how many files were torn and how many
# temporary files were left beside the target. (Not part of the unit tests:
# the tests check instead that a failed save leaves the old file in place.)
#   bench/cfg_kill_test.sh [rounds]    (default 200)
set -euo pipefail
cd "$(dirname "$0")/.."
rounds="${1:-200}"
build="${QZ_BENCH_BUILD_DIR:-build/bench-cfg-kill}"
cmake -S bench/cfg_kill -B "$build" -G Ninja >/dev/null
cmake --build "$build" >/dev/null
helper="$build/cfg_save_loop"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
target="$work/table.cfg"
"$helper" time "$target" 200  # also leaves a complete file for the first round

torn=0
first=0
second=0
for ((i = 1; i <= rounds; i++)); do
  "$helper" save "$target" &
  pid=$!
  # A spread of moments, from before the first save completes to well into the loop.
  sleep "0.00$((RANDOM % 50))"
  kill -9 "$pid"
  wait "$pid" 2>/dev/null || true
  if result="$("$helper" check "$target")"; then
    [[ "$result" == first ]] && first=$((first + 1)) || second=$((second + 1))
  else
    torn=$((torn + 1))
    echo "round $i: $result"
  fi
done
leftovers=$(find "$work" -mindepth 1 ! -name table.cfg | wc -l)
echo "rounds: $rounds, torn: $torn, first table: $first, second table: $second, temporary files left: $leftovers"
[[ $torn -eq 0 ]]
