#!/usr/bin/env bash
# Runs a command inside a private desktop session: a fresh Xvfb display, a
# session bus, openbox as window manager and a PulseAudio daemon whose
# default source "virtual_mic" hears whatever is played into the default
# sink "virtual_speaker" (paplay). Everything stops when the command ends.
# Several sessions may run at once: each takes a display number the X
# server itself finds free.
#
# The screen is 1280x800 with one monitor. TALLOWIND_TEST_SCREEN sets
# another size (2560x1600), and TALLOWIND_TEST_MONITORS splits it into
# monitors ("1280x800+0+0 1280x800+1280+0"), all at 96 dpi.
set -euo pipefail

if [[ "${TALLOWIND_IN_TEST_SESSION:-}" != 1 ]]; then
  export TALLOWIND_IN_TEST_SESSION=1
  exec dbus-run-session -- "$0" "$@"
fi

runtime=$(mktemp -d)
chmod 700 "$runtime"

pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$runtime"
}
trap cleanup EXIT

# -displayfd: the server picks a free number and writes it once it listens.
# -noreset: a server resets when its last client leaves, and refuses
# connections meanwhile; a check that comes and goes before openbox connects
# would otherwise shut openbox out.
mkfifo "$runtime/display"
Xvfb -displayfd 3 -screen 0 "${TALLOWIND_TEST_SCREEN:-1280x800}x24" -nolisten tcp -noreset 3>"$runtime/display" </dev/null >"$runtime/xvfb.log" 2>&1 &
pids+=($!)
read -r -t 60 number <"$runtime/display" || { echo "Xvfb did not start:" >&2; cat "$runtime/xvfb.log" >&2; exit 1; }
export DISPLAY=":$number"
unset XAUTHORITY
export XDG_RUNTIME_DIR=$runtime
export PULSE_RUNTIME_PATH=$runtime/pulse
export PULSE_SERVER=unix:$runtime/pulse/native
mkdir -p "$PULSE_RUNTIME_PATH"
# Services the bus starts (the accessibility bus) keep their sockets in this
# session's runtime folder, not in one a session before it may still hold.
dbus-update-activation-environment DISPLAY XDG_RUNTIME_DIR

# The first monitor takes over the server's one output, so it replaces the
# monitor the server made for it; before any client sees the screen.
output=screen
for monitor in ${TALLOWIND_TEST_MONITORS:-}; do
  [[ "$monitor" =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || { echo "bad monitor: $monitor" >&2; exit 1; }
  width=${BASH_REMATCH[1]} height=${BASH_REMATCH[2]}
  xrandr --setmonitor "monitor-${BASH_REMATCH[3]}-${BASH_REMATCH[4]}" \
    "$width/$((width * 254 / 960))x$height/$((height * 254 / 960))+${BASH_REMATCH[3]}+${BASH_REMATCH[4]}" "$output" >/dev/null
  output=none
done

cat > "$runtime/pulse.pa" <<PA
load-module module-native-protocol-unix auth-anonymous=1 socket=$runtime/pulse/native
load-module module-null-sink sink_name=virtual_speaker
load-module module-remap-source master=virtual_speaker.monitor source_name=virtual_mic
set-default-sink virtual_speaker
set-default-source virtual_mic
PA

pulseaudio -n -F "$runtime/pulse.pa" --daemonize=no --exit-idle-time=-1 --use-pid-file=no \
  </dev/null >"$runtime/pulse.log" 2>&1 &
pids+=($!)
openbox </dev/null >"$runtime/openbox.log" 2>&1 &
pids+=($!)
# Runs a check until it holds, for a minute at most: on two loaded cores a
# dozen sessions may be starting at once.
await() {
  local deadline=$((SECONDS + 60))
  until "$@" >/dev/null 2>&1; do
    ((SECONDS < deadline)) || return 1
    sleep 0.05
  done
}
wm_ready() { xprop -root _NET_SUPPORTED | grep -q _NET_ACTIVE_WINDOW; }

# Tests activate windows through _NET_ACTIVE_WINDOW: wait until the window
# manager announces it, or the first test races openbox's start.
await wm_ready || { echo "openbox did not start:" >&2; cat "$runtime/openbox.log" >&2; exit 1; }
await pactl info || { echo "PulseAudio did not start:" >&2; cat "$runtime/pulse.log" >&2; exit 1; }

# A desktop session brings up its accessibility bus and registry at login,
# before any application starts; an application that starts while they are
# still coming up may never announce its focus.
a11y=$(dbus-send --session --print-reply=literal --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress 2>/dev/null | tr -d ' ' || true)
if [[ -n "$a11y" ]]; then
  await dbus-send --bus="$a11y" --print-reply --dest=org.a11y.atspi.Registry /org/a11y/atspi/accessible/root \
    org.freedesktop.DBus.Properties.Get string:org.a11y.atspi.Accessible string:Name ||
    { echo "the accessibility registry did not start" >&2; exit 1; }
fi

"$@"
