#!/usr/bin/env bash
# Runs a command inside a private desktop session (test-session-desktop.sh:
# Xvfb, openbox, a sound server with a virtual microphone, the accessibility
# bus) and leaves nothing behind: every program of the session stops when
# the command ends or this script is stopped, and the session's folder goes
# with them.
#
# Usage: with-test-session.sh COMMAND [ARGUMENTS ...]
#
# The session takes nothing from the machine's own desktop: its bus starts
# only the accessibility bus (no file manager, portal or gvfs the machine may
# have), and its configuration, data, state and sockets live in a folder of
# its own under the temporary folder. Settings of the session:
# TALLOWIND_TEST_SOUND_SERVER, TALLOWIND_TEST_SCREEN, TALLOWIND_TEST_MONITORS
# (see test-session-desktop.sh).
set -euo pipefail
scripts=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

"$scripts/sweep-test-sessions.sh"

runtime=$(mktemp -d "${TMPDIR:-/tmp}/tallowind-session.XXXXXX")
chmod 700 "$runtime"
trap '"$scripts/remove-test-session.sh" "$runtime"' EXIT
# Held for as long as this script runs: the sweep keeps the folder, and the
# watcher learns that the script has ended, however it ended.
exec {owner_lock}>"$runtime/owner.lock"
flock "$owner_lock"
# Started from a subshell that ends at once, in a session of its own: no
# kill of this script's process group or tree reaches it. It does not hold
# the lock, nor ctest's output.
(setsid "$scripts/test-session-watcher.sh" "$runtime" {owner_lock}>&- </dev/null >/dev/null 2>&1 &)

mkdir "$runtime/bus-services"
# The accessibility bus is part of every desktop session; nothing else is
# started on demand.
cat >"$runtime/bus-services/org.a11y.Bus.service" <<SERVICE
[D-BUS Service]
Name=org.a11y.Bus
Exec=/usr/libexec/at-spi-bus-launcher
SERVICE
cat >"$runtime/bus.conf" <<BUS
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

# A terminal's Ctrl+C (INT) or its closing (HUP) reaches this script only:
# the session is not in the terminal's foreground group, and its programs,
# started in the background, ignore INT. TERM ends each of them and lets
# the session clean up after itself.
# shellcheck disable=SC2317 # called by the traps
end_session() {
  "$scripts/end-test-session.sh" "$runtime"
  exit $((128 + $(kill -l "$1")))
}
for signal in TERM INT HUP; do
  # shellcheck disable=SC2064 # the signal's name is fixed here
  trap "end_session $signal" "$signal"
done

# The session runs in a process group of its own, so that this script can
# end it without ending itself; the group is recorded for the watcher. Every
# program of the session carries TALLOWIND_TEST_SESSION, also one that
# leaves the group. What the bus and the services it starts print goes to
# the session's bus.log, beside its other logs; the desktop script and the
# command get this script's standard output and error back as descriptors
# 3 and 4.
TALLOWIND_IN_TEST_SESSION=1 TALLOWIND_TEST_SESSION=$runtime \
  setsid dbus-run-session --config-file="$runtime/bus.conf" -- "$scripts/test-session-desktop.sh" "$@" \
  {owner_lock}>&- 3>&1 4>&2 >"$runtime/bus.log" 2>&1 &
session=$!
echo "$session" >"$runtime/session.group"
status=0
wait "$session" || status=$?
# A bus that never started the desktop says why only there.
[[ -e "$runtime/desktop-started" ]] || cat "$runtime/bus.log" >&2
# Whatever the bus started may outlive the command by a moment.
"$scripts/end-test-session.sh" "$runtime"
exit "$status"
