#!/usr/bin/env bash
# A session's start removes the session folders left over from before, and
# never one in use: one whose script holds its lock, or that a running
# process refers to in another way, as the programs of a session of another
# version of the scripts do.
set -euo pipefail
source=$(cd "$(dirname "$0")/../.." && pwd)
export TMPDIR
TMPDIR=$(mktemp -d)
users=()
trap 'kill "${users[@]}" 2>/dev/null || true; rm -rf "$TMPDIR"' EXIT
fail() { echo "FAILED: $1"; exit 1; }

for name in left locked working-folder environment open-file socket; do
  mkdir -m 700 "$TMPDIR/tallowind-session.$name"
done
# Left over: nothing refers to it any more.
touch "$TMPDIR/tallowind-session.left/owner.lock"
exec {lock}>"$TMPDIR/tallowind-session.locked/owner.lock"
flock "$lock"
(cd "$TMPDIR/tallowind-session.working-folder" && exec sleep 600) &
users+=($!)
XDG_RUNTIME_DIR=$TMPDIR/tallowind-session.environment sleep 600 &
users+=($!)
sleep 600 3>"$TMPDIR/tallowind-session.open-file/log" &
users+=($!)
# The socket's path reaches the server on its input, so that nothing else
# of the server names the folder.
socket=$TMPDIR/tallowind-session.socket/native
perl -MIO::Socket::UNIX -e 'chomp(my $path = <STDIN>); my $server = IO::Socket::UNIX->new(Local => $path, Listen => 1) or die; sleep 600' <<<"$socket" &
users+=($!)
deadline=$((SECONDS + 60))
until [[ -S "$socket" ]]; do
  ((SECONDS < deadline)) || fail "the socket's server did not start within a minute"
  sleep 0.05
done
# The sweep leaves alone what changed in the last minute.
touch -d '2 minutes ago' "$TMPDIR"/tallowind-session.*

"$source/scripts/with-test-session.sh" true

[[ ! -e "$TMPDIR/tallowind-session.left" ]] || fail "the left-over folder was not removed"
for name in locked working-folder environment open-file socket; do
  [[ -d "$TMPDIR/tallowind-session.$name" ]] || fail "the folder in use ($name) was removed"
done
echo "1 passed, 0 failed"
