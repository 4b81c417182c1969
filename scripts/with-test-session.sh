#!/usr/bin/env bash
# Runs a command inside a private desktop session: a fresh Xvfb display, a
# session bus, openbox as window manager and a PulseAudio daemon whose
# default source "virtual_mic" hears whatever is played into the default
# sink "virtual_speaker" (paplay). Everything stops when the command ends.
set -euo pipefail

if [[ "${TALLOWIND_IN_TEST_SESSION:-}" != 1 ]]; then
  export TALLOWIND_IN_TEST_SESSION=1
  exec xvfb-run -a -s "-screen 0 1280x800x24" dbus-run-session -- "$0" "$@"
fi

runtime=$(mktemp -d)
chmod 700 "$runtime"
export XDG_RUNTIME_DIR=$runtime
export PULSE_RUNTIME_PATH=$runtime/pulse
export PULSE_SERVER=unix:$runtime/pulse/native
mkdir -p "$PULSE_RUNTIME_PATH"

cat > "$runtime/pulse.pa" <<PA
load-module module-native-protocol-unix auth-anonymous=1 socket=$runtime/pulse/native
load-module module-null-sink sink_name=virtual_speaker
load-module module-remap-source master=virtual_speaker.monitor source_name=virtual_mic
set-default-sink virtual_speaker
set-default-source virtual_mic
PA

pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$runtime"
}
trap cleanup EXIT

pulseaudio -n -F "$runtime/pulse.pa" --daemonize=no --exit-idle-time=-1 --use-pid-file=no \
  </dev/null >"$runtime/pulse.log" 2>&1 &
pids+=($!)
openbox </dev/null >/dev/null 2>&1 &
pids+=($!)
# Tests activate windows through _NET_ACTIVE_WINDOW: wait until the window
# manager announces it, or the first test races openbox's start.
for _ in $(seq 100); do
  xprop -root _NET_SUPPORTED 2>/dev/null | grep -q _NET_ACTIVE_WINDOW && break
  sleep 0.05
done

for _ in $(seq 100); do
  pactl info >/dev/null 2>&1 && break
  sleep 0.05
done
pactl info >/dev/null 2>&1 || { echo "PulseAudio did not start:" >&2; cat "$runtime/pulse.log" >&2; exit 1; }

"$@"
