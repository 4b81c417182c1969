#!/usr/bin/env bash
# The desktop of a test session, run by with-test-session.sh inside the
# session's bus: a fresh Xvfb display, openbox as window manager, a sound
# server whose default source "virtual_mic" hears whatever is played into the
# default sink "virtual_speaker" (paplay), and the accessibility bus and
# registry; then the command. Its programs stop when the command ends.
#
# The sound server is the session's own: the PulseAudio daemon where it is
# installed, otherwise PipeWire with WirePlumber and pipewire-pulse.
# TALLOWIND_TEST_SOUND_SERVER=pipewire|pulseaudio asks for one; the session
# then ends with status 77 (skipped) when that one is not installed.
#
# Several sessions may run at once: each takes a display number the X
# server itself finds free.
#
# The screen is 1280x800 with one monitor. TALLOWIND_TEST_SCREEN sets
# another size (2560x1600), and TALLOWIND_TEST_MONITORS splits it into
# monitors ("1280x800+0+0 1280x800+1280+0"), all at 96 dpi.
#
# Usage (TALLOWIND_TEST_SESSION names the session's folder):
#   test-session-desktop.sh COMMAND [ARGUMENTS ...]
set -euo pipefail
# with-test-session.sh hands over its standard output and error as
# descriptors 3 and 4 (the bus's own go to the session's log).
exec 1>&3 2>&4 3>&- 4>&-

runtime=$TALLOWIND_TEST_SESSION
touch "$runtime/desktop-started"

server=${TALLOWIND_TEST_SOUND_SERVER:-}
if [[ -z "$server" ]]; then
  if command -v pulseaudio >/dev/null; then server=pulseaudio; else server=pipewire; fi
fi
case "$server" in
  pulseaudio) needs=(pulseaudio) ;;
  pipewire) needs=(pipewire wireplumber pipewire-pulse) ;;
  *) echo "unknown sound server: $server" >&2; exit 1 ;;
esac
for program in "${needs[@]}" pactl; do
  command -v "$program" >/dev/null || { echo "$server is not installed ($program is missing)" >&2; exit 77; }
done

# The session is ended with a TERM to each of its programs; bash runs this
# clean-up then too.
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap cleanup EXIT

# What the session's programs keep stays in its folder, not in the home of
# whoever runs the tests (openbox, WirePlumber and GTK read and write there).
for dir in config data state cache; do mkdir "$runtime/$dir"; done
export XDG_CONFIG_HOME=$runtime/config XDG_DATA_HOME=$runtime/data
export XDG_STATE_HOME=$runtime/state XDG_CACHE_HOME=$runtime/cache
# GIO reaches no gvfs daemon, and so mounts nothing.
export GIO_USE_VFS=local GVFS_DISABLE_FUSE=1

# -displayfd: the server picks a free number and writes it once it listens.
# -noreset: a server resets when its last client leaves, and refuses
# connections meanwhile; a check that comes and goes before openbox connects
# would otherwise shut openbox out.
mkfifo "$runtime/display"
Xvfb -displayfd 3 -screen 0 "${TALLOWIND_TEST_SCREEN:-1280x800}x24" -nolisten tcp -noreset 3>"$runtime/display" </dev/null >"$runtime/xvfb.log" 2>&1 &
pids+=($!)
read -r -t 60 number <"$runtime/display" || { echo "Xvfb did not start:" >&2; cat "$runtime/xvfb.log" >&2; exit 1; }
# A killed Xvfb leaves its socket behind; whoever removes the folder removes
# that too.
echo "$number" >"$runtime/display-number"
export DISPLAY=":$number"
unset XAUTHORITY
export XDG_RUNTIME_DIR=$runtime
export PULSE_RUNTIME_PATH=$runtime/pulse
export PULSE_SERVER=unix:$runtime/pulse/native
mkdir -p "$PULSE_RUNTIME_PATH"
# Services the bus starts (the accessibility bus) keep their sockets in this
# session's runtime folder, not in one a session before it may still hold.
dbus-update-activation-environment DISPLAY XDG_RUNTIME_DIR XDG_CONFIG_HOME XDG_DATA_HOME XDG_STATE_HOME XDG_CACHE_HOME

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

# Runs a check until it holds, for a minute at most: on two loaded cores a
# dozen sessions may be starting at once.
await() {
  local deadline=$((SECONDS + 60))
  until "$@" >/dev/null 2>&1; do
    ((SECONDS < deadline)) || return 1
    sleep 0.05
  done
}

# The PulseAudio-protocol server runs from a script of its own, which a test
# that restarts the sound server runs again; its process id is in
# sound-server.pid.
if [[ "$server" == pulseaudio ]]; then
  cat > "$runtime/pulse.pa" <<PA
load-module module-native-protocol-unix auth-anonymous=1 socket=$runtime/pulse/native
load-module module-null-sink sink_name=virtual_speaker
load-module module-remap-source master=virtual_speaker.monitor source_name=virtual_mic
set-default-sink virtual_speaker
set-default-source virtual_mic
PA
  cat > "$runtime/sound-server" <<SERVER
#!/bin/sh
exec pulseaudio -n -F "$runtime/pulse.pa" --daemonize=no --exit-idle-time=-1 --use-pid-file=no </dev/null
SERVER
else
  # The speaker and the microphone belong to PipeWire itself, so they outlive
  # a restart of pipewire-pulse. No device of the machine is opened. They
  # are mono: through stereo ones a mono tone came back from a mono recording
  # at twice its level, and the tests measure what they play.
  mkdir -p "$runtime/config/pipewire/pipewire.conf.d" "$runtime/config/wireplumber/main.lua.d" \
    "$runtime/config/wireplumber/bluetooth.lua.d"
  cat > "$runtime/config/pipewire/pipewire.conf.d/virtual-devices.conf" <<'PW'
context.objects = [
  { factory = adapter
    args = {
      factory.name = support.null-audio-sink
      node.name = "virtual_speaker"
      node.description = "virtual_speaker"
      media.class = "Audio/Sink"
      audio.position = [ MONO ]
      monitor.channel-volumes = true
    }
  }
]
context.modules = [
  { name = libpipewire-module-loopback
    args = {
      node.description = "virtual_mic"
      capture.props = {
        node.name = "virtual_mic.capture"
        target.object = "virtual_speaker"
        stream.capture.sink = true
        node.passive = true
        audio.position = [ MONO ]
      }
      playback.props = {
        node.name = "virtual_mic"
        media.class = "Audio/Source"
        audio.position = [ MONO ]
      }
    }
  }
]
PW
  printf '%s\n' 'alsa_monitor.enabled = false' 'v4l2_monitor.enabled = false' 'libcamera_monitor.enabled = false' \
    > "$runtime/config/wireplumber/main.lua.d/60-test-session.lua"
  echo 'bluez_monitor.enabled = false' > "$runtime/config/wireplumber/bluetooth.lua.d/60-test-session.lua"
  pipewire </dev/null >"$runtime/pipewire.log" 2>&1 &
  pids+=($!)
  # Its clients give up when the daemon is not listening yet.
  await test -S "$runtime/pipewire-0" || { echo "pipewire did not start:" >&2; cat "$runtime/pipewire.log" >&2; exit 1; }
  wireplumber </dev/null >"$runtime/wireplumber.log" 2>&1 &
  pids+=($!)
  cat > "$runtime/sound-server" <<SERVER
#!/bin/sh
exec pipewire-pulse </dev/null
SERVER
fi
chmod +x "$runtime/sound-server"
"$runtime/sound-server" >"$runtime/sound-server.log" 2>&1 &
pids+=($!)
echo $! > "$runtime/sound-server.pid"

openbox </dev/null >"$runtime/openbox.log" 2>&1 &
pids+=($!)
wm_ready() { xprop -root _NET_SUPPORTED | grep -q _NET_ACTIVE_WINDOW; }
# WirePlumber chooses the defaults once it has seen the devices; until then
# PipeWire answers that defaults are not supported.
defaults_set() {
  pactl set-default-sink virtual_speaker && pactl set-default-source virtual_mic &&
    [[ "$(pactl get-default-source)" == virtual_mic ]]
}

# Tests activate windows through _NET_ACTIVE_WINDOW: wait until the window
# manager announces it, or the first test races openbox's start.
await wm_ready || { echo "openbox did not start:" >&2; cat "$runtime/openbox.log" >&2; exit 1; }
await pactl info || { echo "$server did not start:" >&2; cat "$runtime"/*.log >&2; exit 1; }
await defaults_set || { echo "$server has no virtual microphone:" >&2; cat "$runtime"/*.log >&2; exit 1; }

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
