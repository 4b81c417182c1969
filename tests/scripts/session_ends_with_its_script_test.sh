#!/usr/bin/env bash
# scripts/with-test-session.sh leaves no program, folder or display socket
# behind, however it ends: stopped (TERM, a terminal's Ctrl+C), or killed
# outright with its process group (a job runner) or with its whole process
# tree (ctest at a time limit). It prints only what its command prints.
set -euo pipefail
source=$(cd "$(dirname "$0")/../.." && pwd)
export TMPDIR
TMPDIR=$(mktemp -d)
# A display socket that no server listens on any more.
stale() { [[ -S "$1" ]] && ! awk -v path="$1" '$8 == path { bound = 1 } END { exit !bound }' /proc/net/unix; }
# Should a check fail, what its sessions left goes all the same.
socket=
clean_up() {
  local programs
  programs=$(grep -lszF "TALLOWIND_TEST_SESSION=$TMPDIR/" /proc/[0-9]*/environ | cut -d/ -f3 || true)
  [[ -z "$programs" ]] || kill -KILL $programs 2>/dev/null || true
  if [[ -n "$socket" ]] && stale "$socket"; then rm -f "$socket"; fi
  rm -rf "$TMPDIR"
}
trap clean_up EXIT
fail() { echo "FAILED: $1"; exit 1; }

# What the session's own programs print (the bus, the accessibility
# services, the X server) goes to its logs; the command's output and errors
# come through.
output=$("$source/scripts/with-test-session.sh" sh -c 'echo said; echo complained >&2' 2>&1)
[[ "$output" == $'said\ncomplained' ]] || fail "the session printed more than its command: $output"

# Each session runs as a job of its own, as one started from a terminal: in
# a process group of its own, and with INT not ignored.
set -m

# Starts a session running `sleep 600` and sets `script`, `folder` and
# `socket` (its display's) once the sleep runs.
start_session() {
  "$source/scripts/with-test-session.sh" sleep 600 &
  script=$!
  folder=
  local pid environment deadline=$((SECONDS + 60))
  while ((SECONDS < deadline)); do
    for pid in $(pgrep -xf "sleep 600" || true); do
      environment=$({ tr '\0' '\n' <"/proc/$pid/environ"; } 2>/dev/null || true)
      folder=$(sed -n "s|^TALLOWIND_TEST_SESSION=\($TMPDIR/.*\)|\1|p" <<<"$environment")
      socket=/tmp/.X11-unix/X$(sed -n 's|^DISPLAY=:||p' <<<"$environment")
      [[ -n "$folder" ]] && return
    done
    kill -0 "$script" 2>/dev/null || fail "the session ended before its command ran"
    sleep 0.05
  done
  fail "the session's command did not start within a minute"
}
# What is left of the session: its programs, its folder, and its display's
# socket. A server of another session may have taken the number since.
left_behind() {
  grep -lszxF "TALLOWIND_TEST_SESSION=$folder" /proc/[0-9]*/environ || true
  [[ ! -e "$folder" ]] || echo "$folder"
  ! stale "$socket" || echo "$socket"
}
await_nothing_left() {
  local deadline=$((SECONDS + 60))
  while ((SECONDS < deadline)); do
    [[ -n "$(left_behind)" ]] || return 0
    sleep 0.05
  done
  fail "$1 left behind after a minute: $(left_behind | tr '\n' ' ')"
}
microseconds() { echo "${EPOCHREALTIME/./}"; }
descendants() { local child; for child in $(pgrep -P "$1" || true); do echo "$child"; descendants "$child"; done; }

start_session
kill -TERM "$script"
status=0
wait "$script" || status=$?
((status == 143)) || fail "the script ended with $status, not as terminated (143)"
[[ -z "$(left_behind)" ]] || fail "a TERM left behind: $(left_behind | tr '\n' ' ')"

# A terminal's Ctrl+C: INT to the foreground process group. The session's
# programs must end at once, not at the script's last resort.
start_session
started=$(microseconds)
kill -INT -- -"$script"
status=0
wait "$script" || status=$?
milliseconds=$((($(microseconds) - started) / 1000))
((status == 130)) || fail "the script ended with $status, not as interrupted (130)"
((milliseconds < 5000)) || fail "the script ended ${milliseconds} ms after Ctrl+C"
[[ -z "$(left_behind)" ]] || fail "Ctrl+C left behind: $(left_behind | tr '\n' ' ')"

start_session
kill -KILL -- -"$script"
wait "$script" 2>/dev/null || true
await_nothing_left "a kill of the script's process group"

start_session
victims=$(descendants "$script")
kill -KILL "$script" $victims 2>/dev/null || true
wait "$script" 2>/dev/null || true
await_nothing_left "a kill of the script's process tree"
echo "1 passed, 0 failed"
