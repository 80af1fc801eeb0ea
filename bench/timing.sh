#!/usr/bin/env bash
# How close Read, Verify and Send come to the time the protocol needs, in the
# real window (window_timing_bench) and in qz4veld-cli, against qz4veld-sim on a
# pseudo-terminal paced at 9600 baud that logs when each command arrives.
# Everything is measured from the simulator's log:
#   time  = last arrival - first arrival + the last command's own wait (normal)
#           or its bytes' time on the wire (fast exchange);
#   floor = the sum of the specified waits between the same commands (normal);
#   wire  = every byte both ways at 11 bits a character (fast exchange);
#   over  = each gap between two commands minus the wait specified for it:
#           median and 99th percentile in ms (normal mode only).
# CPU is the program's CPU time over its wall time: the click for the window,
# the whole process (start-up included) for the command-line tool. The presence
# check against an absent device (8 x 51 polls of 5 ms = 2040 ms) ends the table.
# The closing pauses (2000 ms, 1000 ms) lie after the last command and are not
# in these times. Each row shows the 1-minute load average when it ran: on a
# busy machine a sleeping program wakes late, and every wait pays that.
#
# The window runs where --windows says (default: all three):
#   offscreen  Qt's offscreen platform, no X server;
#   x11        the xcb platform users get, on a virtual X screen (Xvfb) of the
#              bench's own, the accessibility bridge off;
#   x11-a11y   the same with the bridge on (QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1)
#              on a D-Bus session of the bench's own, and a stand-in for a screen
#              reader (timing/screen_reader_stub.py) that takes every event the
#              window sends and asks for the name and role of its source.
# The X11 windows run in normal mode only; fast exchange is measured offscreen
# and in the command-line tool.
#   bench/timing.sh [--quick] [--lengths 1,6,10] [--windows offscreen,x11,x11-a11y] [--no-cli]
#   (--quick: string length 10 only; the whole run takes about 10 minutes)
# QZ_BENCH_BIN=<folder> runs the programs found there instead of building them.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${QZ_BUILD_DIR:-build}"
baud=9600
lengths=(1 6 10)
windows="offscreen,x11,x11-a11y"
cli=1
while [[ $# -gt 0 ]]; do
  case "$1" in
    --quick) lengths=(10) ;;
    --lengths) IFS=, read -r -a lengths <<<"$2"; shift ;;
    --windows) windows="$2"; shift ;;
    --no-cli) cli=0 ;;
    *) echo "usage: bench/timing.sh [--quick] [--lengths 1,6,10] [--windows offscreen,x11,x11-a11y] [--no-cli]" >&2; exit 2 ;;
  esac
  shift
done
wants() { [[ ",$windows," == *",$1,"* ]]; }
if [[ -z "${QZ_BENCH_BIN:-}" ]]; then
  cmake -S . -B "$build" -G Ninja -DQZ_BENCH=ON >/dev/null
  cmake --build "$build" --target window_timing_bench qz4veld-sim qz4veld-cli >/dev/null
fi
bin="${QZ_BENCH_BIN:-$build/bin}"

. bench/sim_lib.sh
. bench/timing/desktop.sh
trap 'stop_sim; stop_desktop; rm -rf "$work"' EXIT

prog="$work/prog"
mkdir -p "$prog"
cp "$bin/qz4veld-cli" "$bin"/*.gif "$bin"/*.htm "$prog/"
export XDG_CONFIG_HOME="$work/xdg" XDG_DATA_HOME="$work/data" HOME="$work"

settings() {  # fast-exchange flag: the settings file both programs read
  printf '[COMSETTINGS]\r\nPORT=1\r\nBAUD=%s\r\nPARITY=N\r\n[GENERAL]\r\nENABLESTRINGS=0\r\nFASTEXCHANGE=%s\r\n[PORTS]\r\nCOM1=%s\r\n' \
    "$baud" "$1" "$port" >"$prog/QZ4Vel.ini"
}

# analyse <mode> <first log line>: time, floor or wire, ratio, overshoot median and p99
analyse() {
  tail -n +"$2" "$work/arrivals" | awk -v mode="$1" -v baud="$baud" '
    function wait_after(i,   c, n, L, k) {  # the specified wait from command i to the next
      c = cmd[i]; n = cmd[i + 1]
      if (c == "7a") return 5
      if (c == "56") return 25
      if (c == "2f4c3f") return 100
      if (substr(c, 1, 4) == "2f4c") return 50
      if (substr(c, 1, 4) == "2f57") {  # a block: the read-back follows the poll that found the acknowledge
        if (substr(n, 1, 4) != "2f52") return 50
        L = length(c) / 2 - 4; k = int(((6 + L) * charms + 9.999) / 10)  # the first poll it can be in by
        if (i < NR && int((t[i + 1] - t[i]) / 10) > k) k = int((t[i + 1] - t[i]) / 10)  # a later poll found it
        polls[i] = k
        return 10 * k
      }
      if (substr(c, 1, 4) == "2f52" && i > 1 && substr(cmd[i - 1], 1, 4) == "2f57")
        return 100 + 10 * (5 - polls[i - 1])  # the read-back, then the rest of the five polls
      return 100
    }
    function wire(i,   c, answer) {
      c = cmd[i]; answer = 1
      if (substr(c, 1, 4) == "2f52") answer = 1 + slot
      if (substr(c, 1, 4) == "2f57") { answer = 2; slot = length(c) / 2 - 4 }
      if (substr(c, 1, 4) == "2f4c" && c != "2f4c3f") slot = substr(c, 6, 1) == "a" ? 10 : substr(c, 6, 1) + 0
      return (length(c) / 2 + answer) * charms
    }
    { t[NR] = $1 / 1000.0; cmd[NR] = $2 }
    END {
      charms = 11000.0 / baud; slot = ENVIRON["QZ_LENGTH"] + 0
      for (i = 1; i <= NR; i++) w += wire(i)
      for (i = 1; i < NR; i++) { e = wait_after(i); floor += e; over[i] = t[i + 1] - t[i] - e }
      cmd[NR + 1] = ""; last = wait_after(NR); floor += last
      n = NR - 1
      for (i = 2; i <= n; i++) { v = over[i]; for (j = i - 1; j >= 1 && over[j] > v; j--) over[j + 1] = over[j]; over[j + 1] = v }
      if (mode == "fast") {
        time = t[NR] - t[1] + wire(NR)
        printf "%8.3f  %8.3f wire  %6.3fx  %19s", time / 1000, w / 1000, time / w, "-"
      } else {
        time = t[NR] - t[1] + last
        printf "%8.3f  %8.3f floor %6.3fx  %8.2f / %8.2f", time / 1000, floor / 1000, time / floor, over[int((n + 1) / 2)], over[int(n * 0.99 + 0.999)]
      }
    }'
}

load() { cut -d' ' -f1 /proc/loadavg; }
lines() { wc -l <"$work/arrivals"; }
declare -A shas

# measure <mode> <length> <program> <op>: runs it and prints one row
measure() {
  local mode="$1" length="$2" program="$3" op="$4" from out cpu sha completion
  from=$(($(lines) + 1))
  local before; before="$(load)"
  if [[ "$program" != cli ]]; then
    out="$(in_window "$program" "$bin/window_timing_bench" "$port" "$prog" "$op" "$length" 2>"$work/err")" ||
      { cat "$work/err"; exit 1; }
    cpu="$(sed -n 's/.* cpu_pct \([0-9.]*\).*/\1/p' <<<"$out")"
    sha="$(sed -n 's/.* sha \([0-9a-f]*\).*/\1/p' <<<"$out")"
    completion="$(sed -n 's/.* completion //p' <<<"$out")"
  else
    local args=("$op" "$work/table$length.cfg")
    [[ "$op" == read ]] && args=(read -o "$work/table$length.cfg")
    local TIMEFORMAT='%R %U %S'
    local status=0
    { time "$prog/qz4veld-cli" --port "$port" --baud "$baud" --parity N "${args[@]}" >"$work/cli.out" 2>"$work/err"; } 2>"$work/time" ||
      status=$?
    [[ $status -le 1 ]] || { cat "$work/err"; exit 1; }  # 1: ran, and the last line says what failed
    cpu="$(awk '{ printf "%.2f", 100 * ($2 + $3) / $1 }' "$work/time")"
    sha="$(sha1sum <"$work/cli.out" | cut -c1-12)"
    completion="$(tail -n 1 "$work/cli.out")"
  fi
  local key="$program $op $length"
  if [[ -n "${shas[$key]:-}" && "${shas[$key]}" != "$sha" ]]; then completion="$completion (status lines differ from normal mode)"; fi
  shas[$key]="$sha"
  printf '%-6s %2d %-6s %-9s  %s  %6s  %5s  %s\n' "$op" "$length" "$mode" "$program" \
    "$(QZ_LENGTH="$length" analyse "$mode" "$from")" "$cpu" "$before" "$completion"
}

wants x11 || wants x11-a11y && start_x_server
wants x11-a11y && start_screen_reader
echo "$(nproc) cores; $windows; load average now $(cut -d' ' -f1-3 /proc/loadavg)"
echo "op      L mode   prog           time s  floor/wire s   ratio   over med / p99 ms   CPU %   load  completion"
for mode in normal fast; do
  places=()
  for where in offscreen x11 x11-a11y; do
    wants "$where" && [[ "$mode" == normal || "$where" == offscreen ]] && places+=("$where")
  done
  [[ ${#places[@]} -gt 0 || $cli -eq 1 ]] || continue
  for length in "${lengths[@]}"; do
    touch "$work/arrivals"
    start_sim --baud "$baud" --length "$length" --state "$work/device$length.state" --arrivals "$work/arrivals"
    settings "$([[ "$mode" == fast ]] && echo 1 || echo 0)"
    # The window's Send puts the benchmark table into the device (offscreen when
    # no window is measured), and the CLI's Read puts it into the table file.
    measure "$mode" "$length" "${places[0]:-offscreen}" send
    if [[ $cli -eq 1 ]]; then
      measure "$mode" "$length" cli read
      measure "$mode" "$length" cli send
    fi
    for where in "${places[@]}"; do
      [[ "$where" == "${places[0]}" ]] || measure "$mode" "$length" "$where" send
      measure "$mode" "$length" "$where" read
      measure "$mode" "$length" "$where" verify
    done
    [[ $cli -eq 1 ]] && measure "$mode" "$length" cli verify
    stop_sim
  done
done
wants x11-a11y && echo "screen-reader stand-in: $(screen_reader_events) events taken"

start_sim --absent
settings 0
programs=()
wants offscreen && programs+=(offscreen)
[[ $cli -eq 1 ]] && programs+=(cli)
for program in "${programs[@]}"; do
  before="$(load)"
  if [[ "$program" != cli ]]; then
    out="$(in_window "$program" "$bin/window_timing_bench" "$port" "$prog" version 1 2>/dev/null)"
    wall="$(sed -n 's/^wall_ms \([0-9.]*\).*/\1/p' <<<"$out")"
    cpu="$(sed -n 's/.* cpu_pct \([0-9.]*\).*/\1/p' <<<"$out")"
  else
    TIMEFORMAT='%R %U %S'
    { time "$prog/qz4veld-cli" --quiet --port "$port" --baud "$baud" --parity N version >/dev/null 2>&1 || true; } 2>"$work/time"
    wall="$(awk '{ print $1 * 1000 }' "$work/time")"
    cpu="$(awk '{ printf "%.2f", 100 * ($2 + $3) / $1 }' "$work/time")"
  fi
  printf 'presence check, device absent, %-9s  %8.3f s (waits 2.040 s)  CPU %s %%  load %s\n' "$program" \
    "$(awk -v w="$wall" 'BEGIN { print w / 1000 }')" "$cpu" "$before"
done
stop_sim
