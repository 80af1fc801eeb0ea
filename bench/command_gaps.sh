#!/usr/bin/env bash
# Whether any wait ends early, and by how much each runs late: qz4veld-cli sends,
# verifies and reads a table at string length 10 on N simulators at once (default
# 4, one run per command), and the first simulator logs when each command
# arrives. Each gap between two commands is taken against the wait owed for it
# (presence probe 5 ms, string length 50 ms, length query and row reads 100 ms, a
# block 50 ms or, when its read-back follows, 10 ms, the read-back with the rest
# of the block's window 140 ms) and printed per wait: count, minimum, median and
# 99th percentile of gap minus wait, in ms. A negative median would be a wait
# that ends early; single short gaps are the simulator noticing a command late.
#   bench/command_gaps.sh [devices]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${QZ_BUILD_DIR:-build}"
devices="${1:-4}"
cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target qz4veld-cli qz4veld-sim >/dev/null

. bench/sim_lib.sh
. bench/full_table.sh
make_table 10 23 "$work/table.cfg"

start_sims "$devices"
# The first device again, logging arrivals, in place of the first of the N.
kill "${sim_pids[0]}"
"$build/bin/qz4veld-sim" --arrivals "$work/arrivals" >"$work/logged.out" 2>"$work/logged.err" &
sim_pids[0]=$!
for _ in $(seq 1 100); do [[ -s "$work/logged.out" ]] && break; sleep 0.05; done
ports[0]="$(head -n 1 "$work/logged.out")"
args=()
for p in "${ports[@]}"; do args+=(--port "$p"); done

for command in send verify read; do
  target=("$work/table.cfg")
  [[ $command == read ]] && target=(-o "$work/read-{port}.cfg")
  "$build/bin/qz4veld-cli" --quiet --json "$command" "${target[@]}" "${args[@]}" >"$work/$command.json" 2>/dev/null ||
    echo "$command did not succeed on every device: $(cat "$work/$command.json")"
done

echo "$devices devices, load $(cut -d' ' -f1 /proc/loadavg); gap minus owed wait, ms:"
awk '
  function owed(c, n) {
    if (c == "7a") return 5
    if (substr(c, 1, 4) == "2f52" && substr(n, 1, 4) == "2f57") return 140
    if (c == "2f4c3f" || substr(c, 1, 4) == "2f52") return 100
    if (substr(c, 1, 4) == "2f4c") return 50
    if (substr(c, 1, 4) == "2f57") return substr(n, 1, 4) == "2f52" ? 10 : 50
    return -1
  }
  { t[NR] = $1 / 1000.0; cmd[NR] = $2 }
  END {
    for (i = 1; i < NR; i++) {
      w = owed(cmd[i], cmd[i + 1])
      if (w < 0 || (cmd[i + 1] == "7a" && cmd[i] != "7a")) continue  # the next run starts
      k = ++count[w]; over[w, k] = t[i + 1] - t[i] - w
    }
    printf "%6s %6s %8s %8s %8s\n", "wait", "count", "min", "median", "p99"
    for (w = 0; w <= 140; w++) {
      n = count[w]
      if (!n) continue
      for (i = 2; i <= n; i++) { v = over[w, i]; for (j = i - 1; j >= 1 && over[w, j] > v; j--) over[w, j + 1] = over[w, j]; over[w, j + 1] = v }
      printf "%6d %6d %8.2f %8.2f %8.2f\n", w, n, over[w, 1], over[w, int((n + 1) / 2)], over[w, int(n * 0.99 + 0.999)]
    }
  }' "$work/arrivals"
