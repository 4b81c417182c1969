#!/usr/bin/env bash
# scripts/with-test-session.sh: a TERM to it ends the whole session before
# its folder goes, and a session folder left by a killed run is removed by
# the next session, while one whose session still runs is kept.
set -euo pipefail
source=$(cd "$(dirname "$0")/../.." && pwd)
export TMPDIR
TMPDIR=$(mktemp -d)
trap 'rm -rf "$TMPDIR"' EXIT
fail() { echo "FAILED: $1"; exit 1; }

# Left by a run that ctest killed: its script and programs are gone.
mkdir -m 700 "$TMPDIR/tallowind-session.killed"
echo "999999999 1" >"$TMPDIR/tallowind-session.killed/owner"
# Of a session that still runs (this script stands in for it).
mkdir -m 700 "$TMPDIR/tallowind-session.running"
echo "$$ $(awk '{ print $22 }' /proc/$$/stat)" >"$TMPDIR/tallowind-session.running/owner"

"$source/scripts/with-test-session.sh" sleep 600 &
script=$!
# The session's folder, once its command runs.
session_of_sleep() {
  local pid
  for pid in $(pgrep -x sleep); do
    { tr "\0" "\n" <"/proc/$pid/environ"; } 2>/dev/null | sed -n 's/^TALLOWIND_TEST_SESSION=//p'
  done | grep -F "$TMPDIR/" | head -n 1 || true
}
folder=
for _ in $(seq 1200); do
  folder=$(session_of_sleep)
  [[ -n "$folder" ]] && break
  kill -0 "$script" 2>/dev/null || fail "the session ended before its command ran"
  sleep 0.05
done
[[ -n "$folder" ]] || fail "the session's command did not start within a minute"
[[ ! -e "$TMPDIR/tallowind-session.killed" ]] || fail "the killed run's folder was not removed"
[[ -d "$TMPDIR/tallowind-session.running" ]] || fail "a running session's folder was removed"

kill -TERM "$script"
status=0
wait "$script" || status=$?
((status == 143)) || fail "the script ended with $status, not as terminated (143)"
[[ ! -e "$folder" ]] || fail "the session's folder is still there"
if grep -qszxF "TALLOWIND_TEST_SESSION=$folder" /proc/[0-9]*/environ 2>/dev/null; then
  fail "programs of the session outlived it: $(grep -lszxF "TALLOWIND_TEST_SESSION=$folder" /proc/[0-9]*/environ | tr '\n' ' ')"
fi
echo "1 passed, 0 failed"
