#!/usr/bin/env bash
# A session's start removes the session folders left over from before, and
# never one in use: one whose script holds its lock, or that a running
# process refers to in another way, as the programs of a session of another
# version of the scripts do. A file system mounted in a left-over folder is
# unmounted and keeps its files, however TMPDIR is spelt.
set -euo pipefail
source=$(cd "$(dirname "$0")/../.." && pwd)
base=$(realpath "$(mktemp -d)")
TMPDIR=$base/tmp
mkdir "$TMPDIR"
users=()
clean_up() {
  kill "${users[@]}" 2>/dev/null || true
  ! grep -qF "$TMPDIR/tallowind-session.mounted/gvfs" /proc/self/mountinfo ||
    umount -l "$TMPDIR/tallowind-session.mounted/gvfs"
  rm -rf --one-file-system "$base"
}
trap clean_up EXIT
fail() { echo "FAILED: $1"; exit 1; }

for name in left locked working-folder environment open-file socket mounted; do
  mkdir -m 700 "$TMPDIR/tallowind-session.$name"
done
# Left over: nothing refers to it any more.
touch "$TMPDIR/tallowind-session.left/owner.lock"
# Left over with a file system mounted in it, as gvfs would be; a bind
# mount of a folder outside stands in for it.
mkdir "$base/elsewhere" "$TMPDIR/tallowind-session.mounted/gvfs"
echo kept >"$base/elsewhere/file"
mounted=1
mount --bind "$base/elsewhere" "$TMPDIR/tallowind-session.mounted/gvfs" 2>/dev/null || {
  mounted=0
  echo "note: mounting needs root here, so a folder with a mount in it is not tried"
}
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

# The temporary folder spelt through a link, "..", and a trailing slash.
ln -s tmp "$base/link"
TMPDIR="$base/link/../link/" "$source/scripts/with-test-session.sh" true

[[ ! -e "$TMPDIR/tallowind-session.left" ]] || fail "the left-over folder was not removed"
if ((mounted)); then
  [[ -f "$base/elsewhere/file" ]] || fail "the file in the mounted file system was deleted"
  ! grep -qF "$TMPDIR/tallowind-session.mounted" /proc/self/mountinfo || fail "the mount was left in place"
  [[ ! -e "$TMPDIR/tallowind-session.mounted" ]] || fail "the left-over folder with a mount was not removed"
fi
for name in locked working-folder environment open-file socket; do
  [[ -d "$TMPDIR/tallowind-session.$name" ]] || fail "the folder in use ($name) was removed"
done
echo "1 passed, 0 failed"
