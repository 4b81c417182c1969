#!/usr/bin/env bash
# A session folder whose mount cannot be unmounted is kept whole, and the
# mount named: a bind mount of the same file system would not stop a
# removal at its border.
set -euo pipefail
source=$(cd "$(dirname "$0")/../.." && pwd)
base=$(realpath "$(mktemp -d)")
folder=$base/tallowind-session.kept
clean_up() {
  ! grep -qF "$folder/gvfs" /proc/self/mountinfo || umount -l "$folder/gvfs"
  rm -rf --one-file-system "$base"
}
trap clean_up EXIT
fail() { echo "FAILED: $1"; exit 1; }

mkdir -p "$base/elsewhere" "$folder/gvfs" "$base/bin"
echo kept >"$base/elsewhere/file"
if ! mount --bind "$base/elsewhere" "$folder/gvfs" 2>/dev/null; then
  echo "note: mounting needs root here, so nothing is tried"
  echo "0 passed, 0 failed"
  exit 0
fi
# Unmounting fails, as it does for a busy FUSE mount of another user.
for program in umount fusermount fusermount3; do
  printf '#!/bin/sh\necho "%s: failed" >&2\nexit 1\n' "$program" >"$base/bin/$program"
  chmod +x "$base/bin/$program"
done
status=0
PATH="$base/bin:$PATH" "$source/scripts/remove-test-session.sh" "$folder" >"$base/out" 2>&1 || status=$?
((status != 0)) || fail "it reported success"
[[ -f "$base/elsewhere/file" ]] || fail "the file in the mounted file system was deleted"
[[ -d "$folder" ]] || fail "the folder was removed"
grep -qF "  $folder/gvfs" "$base/out" || fail "it does not name the mount that stayed: $(cat "$base/out")"
echo "1 passed, 0 failed"
