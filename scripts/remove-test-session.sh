#!/usr/bin/env bash
# Removes the folder of a test session whose programs have ended, and what
# the session left outside it.
#
# Usage: remove-test-session.sh FOLDER
set -uo pipefail
folder=$1

# A FUSE file system mounted in the folder (a GTK client's gvfs, should one
# start after all) would keep it from being removed.
while read -r target; do
  fusermount3 -u -z "$target" 2>/dev/null || fusermount -u -z "$target" 2>/dev/null ||
    umount -l "$target" 2>/dev/null || true
done < <(awk -v root="$folder" 'index($5, root) == 1 { print $5 }' /proc/self/mountinfo | sort -r)

# A killed Xvfb leaves its socket behind, and with -displayfd it makes no
# lock file that would tell a later server the number is free again. The
# socket stays while a server, this one or a later one given the same
# number, is bound to it.
number=$(cat "$folder/display-number" 2>/dev/null) || number=
socket=/tmp/.X11-unix/X$number
if [[ "$number" =~ ^[0-9]+$ && -S "$socket" && -O "$socket" ]] &&
  ! awk -v path="$socket" '$8 == path { bound = 1 } END { exit !bound }' /proc/net/unix; then
  rm -f "$socket"
fi

rm -rf "$folder" 2>/dev/null || echo "could not remove the test session's folder $folder" >&2
