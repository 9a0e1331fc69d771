# Sourced by the test command: a private sound server with a null sink and a virtual display,
# each started only when none is reachable.
STARTED_PIDS=()
SERVICE_DIR=""

start_sound_server() {
  if pactl info >/dev/null 2>&1; then return; fi
  export XDG_RUNTIME_DIR="$SERVICE_DIR/runtime"
  export PULSE_RUNTIME_PATH="$XDG_RUNTIME_DIR/pulse"
  mkdir -p "$PULSE_RUNTIME_PATH"; chmod 700 "$XDG_RUNTIME_DIR"
  export PULSE_SERVER="unix:$PULSE_RUNTIME_PATH/native"
  pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --use-pid-file=no \
    --disable-shm=yes \
    --load="module-native-protocol-unix auth-anonymous=1 socket=$PULSE_RUNTIME_PATH/native" \
    --load="module-null-sink sink_name=telvane_null rate=48000" \
    >"$SERVICE_DIR/pulseaudio.log" 2>&1 &
  STARTED_PIDS+=($!)
  for _ in $(seq 1 100); do
    pactl info >/dev/null 2>&1 && break
    sleep 0.1
  done
  pactl set-default-sink telvane_null >/dev/null 2>&1 || true
  pactl info >/dev/null 2>&1 || { echo "sound server did not start:"; cat "$SERVICE_DIR/pulseaudio.log"; }
  keep_sink_awake
}

# An idle null sink renders two seconds ahead, so a new stream would first be heard that late;
# a sound card starts within milliseconds. A silent low-latency stream keeps the sink running
# the way a card does.
keep_sink_awake() {
  pacat --raw --rate=48000 --channels=2 --format=s16le --latency-msec=20 \
    --stream-name=keep-awake /dev/zero >/dev/null 2>&1 &
  STARTED_PIDS+=($!)
  # What the sink rendered ahead before that stream came still has to play out; a stream started
  # meanwhile would be heard that late. Wait until the stream runs and the sink has caught up.
  local latency
  for _ in $(seq 1 50); do
    if pactl list short sink-inputs 2>/dev/null | grep -q .; then
      latency=$(pactl list sinks 2>/dev/null | sed -n 's/^[[:space:]]*Latency: \([0-9]*\) usec.*/\1/p' | head -n 1)
      [ -n "$latency" ] && [ "$latency" -lt 100000 ] && break
    fi
    sleep 0.1
  done
}

start_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return; fi
  local display
  for display in $(seq 91 120); do
    [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ] || break
  done
  Xvfb ":$display" -screen 0 1920x1080x24 -nolisten tcp -noreset >"$SERVICE_DIR/xvfb.log" 2>&1 &
  STARTED_PIDS+=($!)
  export DISPLAY=":$display"
  for _ in $(seq 1 100); do
    [ -e "/tmp/.X11-unix/X$display" ] && break
    sleep 0.1
  done
}

# A desktop session has a message bus. Without one the toolkit's accessibility support forks a
# launcher for it from a threaded process, which under the address sanitizer can leave the child
# stuck before it runs anything, and the player waiting for it with no window shown.
start_session_bus() {
  if [ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then return; fi
  local socket="$SERVICE_DIR/session-bus"
  dbus-daemon --session --nofork --nopidfile --address="unix:path=$socket" \
    >"$SERVICE_DIR/session-bus.log" 2>&1 &
  STARTED_PIDS+=($!)
  for _ in $(seq 1 100); do
    [ -S "$socket" ] && break
    sleep 0.1
  done
  export DBUS_SESSION_BUS_ADDRESS="unix:path=$socket"
}

start_services() {
  SERVICE_DIR=$(mktemp -d /tmp/telvane-services.XXXXXX)
  start_sound_server
  start_display
  start_session_bus
}

stop_services() {
  local pid
  for pid in "${STARTED_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${STARTED_PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
  [ -n "$SERVICE_DIR" ] && rm -rf "$SERVICE_DIR"
}
