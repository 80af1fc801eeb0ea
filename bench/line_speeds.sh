#!/usr/bin/env bash
# Send, Read, Verify and the version query over slow and fast lines and over a
# USB adapter that hands bytes over in 16 ms bursts: qz4veld-cli against
# qz4veld-sim at 2400, 4800, 9600 and 19200 baud (the simulator paces its line at
# the bit rate) and at 9600 baud with --burst 16, a table of 36 filled rows at
# string length 6. Every run must succeed; the last column is its completion line.
# Times come from the simulator's arrival log:
#   time   = last command's arrival - first command's + the last command's own wait
#   floor  = the sum of the specified waits (5 ms poll, 25, 50, 100 ms, block
#            window 50 ms) between the same commands
#   line   = the same waits as the program plans them for the bit rate (longer
#            below 9600 baud by the bytes' extra wire time)
#   wire   = every byte both ways at 11 bits a character
# ratio is time over line. The closing pauses (1000, 2000 ms) come after the last
# command and are not counted. The version query's answer ends no command the log
# could see: its time runs from the presence probe's arrival to the tool's exit
# (on the same monotonic clock), so it holds the wait until the text has stopped
# coming and the port's closing; floor and line are the presence poll and the
# version wait.
#   bench/line_speeds.sh        (about 2 minutes)
# QZ_BENCH_BIN=<folder> runs the programs found there instead of building them.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${QZ_BUILD_DIR:-build}"
if [[ -z "${QZ_BENCH_BIN:-}" ]]; then
  cmake -S . -B "$build" -G Ninja >/dev/null
  cmake --build "$build" --target qz4veld-sim qz4veld-cli >/dev/null
fi
bin="${QZ_BENCH_BIN:-$build/bin}"
. bench/sim_lib.sh

# The tool in a folder of its own, so that no settings file of the build changes what it does.
prog="$work/prog"
mkdir -p "$prog"
cp "$bin/qz4veld-cli" "$prog/"
export XDG_CONFIG_HOME="$work/xdg" HOME="$work"
length=6
keys=(A B C D E F G H I J K L M N O P Q R S T U V W X Y Z 1 2 3 4 5 6 7 8 9 0)
{
  printf '#Quorvane QZ4VELDT configuration file\r\n#File written bench\r\n\r\nString Length = %s\r\n\r\n' "$length"
  for r in $(seq 0 35); do printf '%02d\t%s\tab%s{0D}\t\r\n' "$r" "${keys[$r]}" "$((r % 10))"; done
} >"$work/table.cfg"

# analyse <baud> <first log line>: time, floor, line, wire, ratio
analyse() {
  tail -n +"$2" "$work/arrivals" | awk -v baud="$1" -v slot="$length" '
    function longer(ms, bytes,   extra) {  # the wait as planned for this bit rate
      if (baud >= 9600) return ms
      extra = bytes * 11 * (1000000 / baud - 1000000 / 9600)
      return ms + int((extra + 999) / 1000)
    }
    function waits(i, planned,   c) {  # the wait after command i: specified (planned = 0) or planned
      c = cmd[i]
      if (c == "7a") return 5
      if (c == "56") return planned ? longer(25, 17) : 25
      if (c == "2f4c3f") return planned ? longer(100, 4) : 100
      if (substr(c, 1, 4) == "2f4c") return planned ? longer(50, 4) : 50
      if (substr(c, 1, 4) == "2f57") return planned ? 10 * int((longer(50, 6 + slot) + 9) / 10) : 50
      return planned ? longer(100, 4 + slot) : 100
    }
    { t[NR] = $1 / 1000.0; cmd[NR] = $2; bytes += length($2) / 2 }
    END {
      for (i = 1; i <= NR; i++) {
        c = cmd[i]; answer = 1
        if (substr(c, 1, 4) == "2f52") answer = 1 + slot
        if (substr(c, 1, 4) == "2f57") answer = 2
        if (c == "56") answer = 26
        bytes += answer; floor += waits(i, 0); line += waits(i, 1)
      }
      time = t[NR] - t[1] + waits(NR, 1)
      wire = bytes * 11000 / baud
      printf "%8.3f  %8.3f  %8.3f  %8.3f  %6.3fx", time / 1000, floor / 1000, line / 1000, wire / 1000, time / line
    }'
}

# The arrival log's clock is the monotonic one; bash tells the wall clock: their offset, in us.
offset_us="$(python3 -c 'import time; print(time.time_ns() // 1000 - time.monotonic_ns() // 1000)')"
echo "$(nproc) cores; load average now $(cut -d' ' -f1-3 /proc/loadavg)"
echo "line            op        time s   floor s    line s    wire s   ratio  completion"
for speed in 2400 4800 9600 19200 burst; do
  baud=$speed
  sim_args=(--baud "$speed")
  if [[ "$speed" == burst ]]; then baud=9600; sim_args=(--baud 9600 --burst 16); fi
  : >"$work/arrivals"
  start_sim "${sim_args[@]}" --version "QZ4VELD V2.10 (2024-05-01)" --arrivals "$work/arrivals"
  for op in send read verify version; do
    from=$(($(wc -l <"$work/arrivals") + 1))
    args=("$op" "$work/table.cfg")
    [[ "$op" == read ]] && args=(read -o "$work/read.cfg")
    [[ "$op" == version ]] && args=(version)
    status=0
    "$prog/qz4veld-cli" --port "$port" --baud "$baud" --parity N "${args[@]}" >"$work/out" 2>"$work/err" || status=$?
    ended_us=$((${EPOCHREALTIME/./} - offset_us))
    label="$speed baud"
    [[ "$speed" == burst ]] && label="9600, 16 ms bursts"
    figures="$(analyse "$baud" "$from")"
    if [[ "$op" == version ]]; then
      probed_us="$(sed -n "${from}p" "$work/arrivals" | cut -d' ' -f1)"
      figures="$(awk -v w="$(((ended_us - probed_us) / 1000))" -v f="$figures" 'BEGIN { split(f, x, " ");
        printf "%8.3f  %8.3f  %8.3f  %8.3f  %6.3fx", w / 1000, x[2], x[3], x[4], w / 1000 / x[3] }')"
    fi
    printf '%-18s %-7s %s  %s\n' "$label" "$op" "$figures" "$(tail -n 1 "$work/out") (exit $status)"
  done
  stop_sim
done
