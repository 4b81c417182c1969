#!/usr/bin/env bash
# Removes the folder of a test session whose programs have ended, and what
# the session left outside it. Never anything beyond the folder's own file
# system: whatever is mounted in it is unmounted, and should that fail the
# folder is left whole.
#
# Usage: remove-test-session.sh FOLDER
set -uo pipefail

# The folder as the mount table spells it: TMPDIR may be written with a
# trailing slash, a symbolic link or "..". The folder's own name is not
# followed, should it be a link.
parent=$(realpath -e -- "$(dirname -- "$1")" 2>/dev/null) || exit 0
folder=${parent%/}/$(basename -- "$1")
[[ -e "$folder" || -L "$folder" ]] || exit 0

# The mount points at or below the folder, deepest first. The table writes
# a space, tab, newline or backslash in a path as a three-digit octal escape.
mounts_in_folder() {
  awk -v root="$folder" '
    function unescape(path,   out, code) {
      while (match(path, /\\[0-7][0-7][0-7]/)) {
        code = substr(path, RSTART + 1, 3)
        out = out substr(path, 1, RSTART - 1) sprintf("%c", substr(code, 1, 1) * 64 + substr(code, 2, 1) * 8 + substr(code, 3, 1))
        path = substr(path, RSTART + 4)
      }
      return out path
    }
    { target = unescape($5) }
    target == root || index(target, root "/") == 1 { print target }
  ' /proc/self/mountinfo | sort -r
}

# A FUSE file system mounted in the folder (a GTK client's gvfs, should one
# start after all) would keep it from being removed.
while IFS= read -r target; do
  fusermount3 -u -z "$target" 2>/dev/null || fusermount -u -z "$target" 2>/dev/null ||
    umount -l "$target" 2>/dev/null || true
done < <(mounts_in_folder)

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

# A mount that stayed keeps the folder whole: one of the same file system
# (a bind mount) would not stop the removal at its border.
remaining=$(mounts_in_folder)
if [[ -n "$remaining" ]]; then
  echo "kept the test session's folder $folder: these stay mounted in it:" >&2
  sed 's/^/  /' <<<"$remaining" >&2
  exit 1
fi
rm -rf --one-file-system -- "$folder" 2>/dev/null || echo "could not remove the test session's folder $folder" >&2
