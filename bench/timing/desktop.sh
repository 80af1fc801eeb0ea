# Sourced by bench/timing.sh: where the window runs. A virtual X screen and a
# D-Bus session with a screen-reader stand-in, both the bench's own, stopped on
# exit (stop_desktop); in_window runs a program on one of them.
x_pid=""
bus_pid=""
reader_pid=""
display=""
bus=""

# start_x_server: Xvfb on a display it chooses itself, kept without a reset
# between the bench's programs.
start_x_server() {
  Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 1280x1024x24 3>"$work/display" 2>"$work/xvfb.err" &
  x_pid=$!
  for _ in $(seq 1 200); do [[ -s "$work/display" ]] && break; sleep 0.05; done
  display=":$(head -n 1 "$work/display")"
  [[ "$display" != ":" ]] || { echo "Xvfb did not start: $(cat "$work/xvfb.err")"; exit 1; }
}

# start_screen_reader: a D-Bus session whose accessibility bus comes up on
# demand, and the stand-in listening on it before any window starts.
start_screen_reader() {
  local out
  # The accessibility bus puts its socket in the runtime folder (else in
  # ~/.cache): one of the bench's own, shared with no other session.
  mkdir -m 700 -p "$work/runtime"
  export XDG_RUNTIME_DIR="$work/runtime"
  out="$(dbus-daemon --session --fork --print-address=1 --print-pid=1)" || { echo "dbus-daemon did not start"; exit 1; }
  bus="$(sed -n 1p <<<"$out")"
  bus_pid="$(sed -n 2p <<<"$out")"
  DBUS_SESSION_BUS_ADDRESS="$bus" /usr/bin/python3 bench/timing/screen_reader_stub.py ${QZ_STUB_VERBOSE:-} \
    >"$work/reader.out" 2>"$work/reader.err" &
  reader_pid=$!
  for _ in $(seq 1 200); do grep -q '^listening' "$work/reader.out" 2>/dev/null && break; sleep 0.05; done
  grep -q '^listening' "$work/reader.out" || { echo "screen-reader stand-in did not start: $(cat "$work/reader.err")"; exit 1; }
}

# screen_reader_events: how many events the stand-in took so far.
screen_reader_events() {
  kill -USR1 "$reader_pid" 2>/dev/null || true
  sleep 0.5
  tail -n 1 "$work/reader.out" | sed -n 's/^events //p'
}

stop_desktop() {
  local pid
  for pid in "$reader_pid" "$bus_pid" "$x_pid"; do
    [[ -n "$pid" ]] && { kill "$pid" 2>/dev/null || true; }
  done
  [[ -n "$x_pid" ]] && { wait "$x_pid" 2>/dev/null || true; }
  reader_pid="" bus_pid="" x_pid=""
}

# in_window <offscreen|x11|x11-a11y> <program> [args...]
in_window() {
  local where="$1"
  shift
  case "$where" in
    offscreen) env -u DBUS_SESSION_BUS_ADDRESS QT_QPA_PLATFORM=offscreen "$@" ;;
    x11) env -u DBUS_SESSION_BUS_ADDRESS -u QT_LINUX_ACCESSIBILITY_ALWAYS_ON QT_QPA_PLATFORM=xcb DISPLAY="$display" "$@" ;;
    x11-a11y) env DBUS_SESSION_BUS_ADDRESS="$bus" QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb \
                DISPLAY="$display" "$@" ;;
  esac
}
