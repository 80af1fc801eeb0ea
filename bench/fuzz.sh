#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (address and undefined-behaviour
# sanitizers) and runs each for a while, starting from fuzz/seeds and keeping
# the grown corpus in the build folder. Prints executions and findings per
# target; a finding's input is left in <build>/fuzz-findings/. Not run in CI.
#   bench/fuzz.sh [seconds per target] [targets...]   (default: 60, all four)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${QZ_FUZZ_BUILD_DIR:-build-fuzz}"
seconds="${1:-60}"
shift || true
targets=("$@")
[[ ${#targets[@]} -gt 0 ]] || targets=(config_reader ini_reader notation slot_answer)

cmake -S . -B "$build" -G Ninja -DQZ_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang >/dev/null
cmake --build "$build" --target "${targets[@]/#/fuzz_}" >/dev/null

findings_total=0
for t in "${targets[@]}"; do
  corpus="$build/fuzz-corpus/$t"
  findings="$build/fuzz-findings/$t"
  mkdir -p "$corpus" "$findings"
  log="$build/fuzz-findings/$t.log"
  # A crash, leak, undefined behaviour or broken invariant ends the run with
  # its input saved; a single input running over 10 s counts as a hang.
  set +e
  "$build/bin/fuzz_$t" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$findings/" "$corpus" "fuzz/seeds/$t" >"$log" 2>&1
  status=$?
  set -e
  execs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
  found="$(find "$findings" -maxdepth 1 -type f | wc -l)"
  findings_total=$((findings_total + found))
  printf '%-14s %10s executions in %s s, %s finding(s), corpus %s inputs, exit %s\n' \
    "$t" "${execs:-?}" "$seconds" "$found" "$(find "$corpus" -type f | wc -l)" "$status"
  if [[ $found -gt 0 ]]; then
    grep -m 3 -E 'invariant broken|ERROR: (AddressSanitizer|libFuzzer)|runtime error' "$log" | sed 's/^/    /'
    find "$findings" -maxdepth 1 -type f | sed 's/^/    input: /'
  fi
done
echo "findings: $findings_total"
