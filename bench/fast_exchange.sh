#!/usr/bin/env bash
# Read, Verify and Send with the fixed waits and with fast exchange against
# qz4veld-sim pacing its line at the bit rate (default 9600), over the program's
# own serial link, waiter and operations, headless. For each run prints wall
# time, the closing pause, the exchange time (wall without the pause), the time
# the bytes need on the wire and the ratio of the two, and a checksum of the
# status lines, which must be the same in both modes. Target: a fast Read at
# length 1 within 1.5 x its wire time.
#   bench/fast_exchange.sh [lengths...]    (default: 1 10; BAUD=... to change the rate)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${QZ_BUILD_DIR:-build}"
baud="${BAUD:-9600}"
lengths=("$@")
[[ ${#lengths[@]} -gt 0 ]] || lengths=(1 10)
cmake -S . -B "$build" -G Ninja -DQZ_BENCH=ON >/dev/null
cmake --build "$build" --target fast_exchange_bench qz4veld-sim >/dev/null

. bench/sim_lib.sh

failed=0
for length in "${lengths[@]}"; do
  start_sim --baud "$baud" --length "$length" --state "$work/device.state"
  for op in send read verify; do
    fixed="$("$build/bin/fast_exchange_bench" "$port" "$op" "$length" fixed "$baud")"
    fast="$("$build/bin/fast_exchange_bench" "$port" "$op" "$length" fast "$baud")"
    echo "$fixed"
    echo "$fast"
    sha() { sed -n 's/.* sha \([0-9a-f]*\) .*/\1/p' <<<"$1"; }
    exchange() { sed -n 's/.* exchange *\([0-9]*\) ms .*/\1/p' <<<"$1"; }
    [[ "$(sha "$fixed")" == "$(sha "$fast")" ]] || { echo "  ^ the status lines differ between the modes"; failed=1; }
    awk -v a="$(exchange "$fixed")" -v b="$(exchange "$fast")" 'BEGIN { printf "  exchange time: fast is %.1f x faster\n", a / b }'
    if [[ "$op" == read && "$length" == 1 ]]; then
      awk '{ for (i = 1; i <= NF; i++) if ($i == "exchange/wire") r = $(i+1); if (r > 1.5) { print "  ^ misses the target (exchange/wire <= 1.5)"; exit 1 } }' <<<"$fast" || failed=1
    fi
  done
  stop_sim
done
exit "$failed"
