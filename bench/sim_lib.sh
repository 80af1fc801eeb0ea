# Sourced by the bench scripts: a work folder removed on exit, and the device
# simulator started on a pseudo-terminal ($port holds its path afterwards).
work="$(mktemp -d)"
sim_pid=""
sim_pids=()
stop_sim() {
  if [[ -n "$sim_pid" ]]; then kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; fi
  sim_pid=""
  for pid in "${sim_pids[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  sim_pids=()
}
trap 'stop_sim; rm -rf "$work"' EXIT

# start_sim [simulator options...]
start_sim() {
  "${bin:-$build/bin}/qz4veld-sim" "$@" >"$work/sim.out" 2>"$work/sim.err" &
  sim_pid=$!
  for _ in $(seq 1 100); do [[ -s "$work/sim.out" ]] && break; sleep 0.05; done
  port="$(head -n 1 "$work/sim.out")"
  [[ -n "$port" ]] || { echo "qz4veld-sim did not start: $(cat "$work/sim.err")"; exit 1; }
}

# start_sims N [simulator options...]: N simulators; $ports holds their paths.
start_sims() {
  local count=$1 i
  shift
  ports=()
  for i in $(seq 1 "$count"); do
    "$build/bin/qz4veld-sim" "$@" >"$work/sim$i.out" 2>"$work/sim$i.err" &
    sim_pids+=($!)
  done
  for i in $(seq 1 "$count"); do
    for _ in $(seq 1 100); do [[ -s "$work/sim$i.out" ]] && break; sleep 0.05; done
    ports+=("$(head -n 1 "$work/sim$i.out")")
    [[ -n "${ports[-1]}" ]] || { echo "qz4veld-sim $i did not start: $(cat "$work/sim$i.err")"; exit 1; }
  done
}
