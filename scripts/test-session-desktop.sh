#!/usr/bin/env bash
# Runs a command inside a private desktop session: a fresh Xvfb display, a
# session bus, openbox as window manager and a sound server whose default
# source "virtual_mic" hears whatever is played into the default sink
# "virtual_speaker" (paplay). Everything stops when the command ends, and the
# session's folder goes with it.
#
# The session takes nothing from the machine's own desktop: its bus starts
# only the accessibility bus (no file manager, portal or gvfs the machine may
# have), its configuration, data and state live in its own folder, and the
# sound server is its own: the PulseAudio daemon where it is installed,
# otherwise PipeWire with WirePlumber and pipewire-pulse.
# TALLOWIND_TEST_SOUND_SERVER=pipewire|pulseaudio asks for one; the session
# then ends with status 77 (skipped) when that one is not installed.
#
# Several sessions may run at once: each takes a display number the X
# server itself finds free.
#
# The screen is 1280x800 with one monitor. TALLOWIND_TEST_SCREEN sets
# another size (2560x1600), and TALLOWIND_TEST_MONITORS splits it into
# monitors ("1280x800+0+0 1280x800+1280+0"), all at 96 dpi.
set -euo pipefail

# Unmounts whatever is mounted in a session folder, then removes it. A FUSE
# file system mounted there (a GTK client's gvfs, should one start after
# all) would keep it from being removed.
remove_session_folder() {
  local folder=$1 target
  while read -r target; do
    fusermount3 -u -z "$target" 2>/dev/null || fusermount -u -z "$target" 2>/dev/null ||
      umount -l "$target" 2>/dev/null || true
  done < <(awk -v root="$folder" 'index($5, root) == 1 { print $5 }' /proc/self/mountinfo | sort -r)
  rm -rf "$folder" 2>/dev/null || echo "with-test-session: could not remove $folder" >&2
}

# The script holds the lock on its folder's owner.lock while it runs, and
# every program of the session carries TALLOWIND_TEST_SESSION: a folder
# whose lock is free and that no program names is left over.
script_running() {
  [[ -e "$1/owner.lock" ]] && ! flock -n "$1/owner.lock" true 2>/dev/null
}
programs_running() {
  grep -qszxF "TALLOWIND_TEST_SESSION=$1" /proc/[0-9]*/environ 2>/dev/null
}

# ctest ends a case that outlives its time limit with SIGKILL, which leaves
# the script no chance to clean up. This watcher, outside the session's
# process tree, waits for the script to end and for the session's programs
# (a minute at most), then removes the folder if it is still there.
if [[ "${1:-}" == --remove-when-ended ]]; then
  folder=$2
  flock "$folder/owner.lock" true 2>/dev/null || exit 0
  for _ in $(seq 600); do
    programs_running "$folder" || break
    sleep 0.1
  done
  [[ ! -d "$folder" ]] || programs_running "$folder" || remove_session_folder "$folder"
  exit 0
fi

# Outside the session: make its folder and bus, run the session, remove both.
if [[ "${TALLOWIND_IN_TEST_SESSION:-}" != 1 ]]; then
  temporary=${TMPDIR:-/tmp}
  # Folders of sessions that nothing cleaned up (a watcher killed too, a
  # reboot). A folder changed in the last minute may be a session that is
  # just starting.
  for folder in "$temporary"/tallowind-session.*; do
    [[ -d "$folder" && -O "$folder" && -n "$(find "$folder" -maxdepth 0 -mmin +1)" ]] || continue
    script_running "$folder" || programs_running "$folder" || remove_session_folder "$folder"
  done

  runtime=$(mktemp -d "$temporary/tallowind-session.XXXXXX")
  chmod 700 "$runtime"
  trap 'remove_session_folder "$runtime"' EXIT
  exec {owner_lock}>"$runtime/owner.lock"
  flock "$owner_lock"
  # Started from a subshell that ends at once, so that it is no child of
  # this script's; it does not hold the lock, nor ctest's output.
  (setsid "$0" --remove-when-ended "$runtime" {owner_lock}>&- </dev/null >/dev/null 2>&1 &)

  mkdir "$runtime/bus-services"
  # The accessibility bus is part of every desktop session; nothing else is
  # started on demand.
  cat > "$runtime/bus-services/org.a11y.Bus.service" <<SERVICE
[D-BUS Service]
Name=org.a11y.Bus
Exec=/usr/libexec/at-spi-bus-launcher
SERVICE
  cat > "$runtime/bus.conf" <<BUS
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <keep_umask/>
  <listen>unix:dir=$runtime</listen>
  <auth>EXTERNAL</auth>
  <servicedir>$runtime/bus-services</servicedir>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
BUS

  # The session runs in a process group of its own. A TERM, INT or HUP to
  # this script (ctest, a terminal's Ctrl+C) goes to the whole session, and
  # the folder is removed once every program of it has ended.
  TALLOWIND_IN_TEST_SESSION=1 TALLOWIND_TEST_RUNTIME=$runtime TALLOWIND_TEST_SESSION=$runtime \
    setsid dbus-run-session --config-file="$runtime/bus.conf" -- "$0" "$@" {owner_lock}>&- &
  session=$!
  end_session() {
    local signal=$1 deadline=$((SECONDS + 10))
    kill -"$signal" -- -"$session" 2>/dev/null || true
    while kill -0 -- -"$session" 2>/dev/null; do
      ((SECONDS < deadline)) || kill -KILL -- -"$session" 2>/dev/null || true
      sleep 0.05
    done
    exit $((128 + $(kill -l "$signal")))
  }
  for signal in TERM INT HUP; do
    # shellcheck disable=SC2064 # the signal's name is fixed here
    trap "end_session $signal" "$signal"
  done
  status=0
  wait "$session" || status=$?
  exit "$status"
fi

runtime=$TALLOWIND_TEST_RUNTIME
unset TALLOWIND_TEST_RUNTIME

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
