#!/usr/bin/env bash
# scripts/with-test-session.sh leaves no folder and no program behind: a TERM
# to it ends the whole session before its folder goes; killed outright with
# its programs, as ctest does at a time limit, its folder goes all the same;
# and a folder left over from before is removed by the next session, while
# one whose session still runs is kept.
set -euo pipefail
source=$(cd "$(dirname "$0")/../.." && pwd)
export TMPDIR
TMPDIR=$(mktemp -d)
trap 'rm -rf "$TMPDIR"' EXIT
fail() { echo "FAILED: $1"; exit 1; }

# Left over: its script and programs are gone.
mkdir -m 700 "$TMPDIR/tallowind-session.left"
touch "$TMPDIR/tallowind-session.left/owner.lock"
# Of a session that still runs: this script holds its lock.
mkdir -m 700 "$TMPDIR/tallowind-session.running"
exec {lock}>"$TMPDIR/tallowind-session.running/owner.lock"
flock "$lock"
touch -d '2 minutes ago' "$TMPDIR"/tallowind-session.*

# Starts a session running `sleep 600` and sets `script` and `folder` once
# the sleep runs.
start_session() {
  "$source/scripts/with-test-session.sh" sleep 600 &
  script=$!
  folder=
  local pid
  for _ in $(seq 1200); do
    for pid in $(pgrep -xf "sleep 600" || true); do
      folder=$({ tr '\0' '\n' <"/proc/$pid/environ"; } 2>/dev/null | sed -n "s|^TALLOWIND_TEST_SESSION=\($TMPDIR/.*\)|\1|p" || true)
      [[ -n "$folder" ]] && return
    done
    kill -0 "$script" 2>/dev/null || fail "the session ended before its command ran"
    sleep 0.05
  done
  fail "the session's command did not start within a minute"
}
programs_left() { grep -lszxF "TALLOWIND_TEST_SESSION=$folder" /proc/[0-9]*/environ 2>/dev/null || true; }
descendants() { local child; for child in $(pgrep -P "$1" || true); do echo "$child"; descendants "$child"; done; }

start_session
[[ ! -e "$TMPDIR/tallowind-session.left" ]] || fail "the left-over folder was not removed"
[[ -d "$TMPDIR/tallowind-session.running" ]] || fail "a running session's folder was removed"

kill -TERM "$script"
status=0
wait "$script" || status=$?
((status == 143)) || fail "the script ended with $status, not as terminated (143)"
[[ ! -e "$folder" ]] || fail "the session's folder is still there after a TERM"
[[ -z "$(programs_left)" ]] || fail "programs of the session outlived a TERM: $(programs_left)"

start_session
victims=$(descendants "$script")
kill -KILL "$script" $victims 2>/dev/null || true
wait "$script" 2>/dev/null || true
for _ in $(seq 1200); do
  [[ -e "$folder" ]] || break
  sleep 0.05
done
[[ ! -e "$folder" ]] || fail "the folder of a killed session is still there after a minute"
[[ -z "$(programs_left)" ]] || fail "programs of a killed session are left: $(programs_left)"
echo "1 passed, 0 failed"
