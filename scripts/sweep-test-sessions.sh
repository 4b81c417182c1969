#!/usr/bin/env bash
# Removes the folders of test sessions that nothing cleaned up (a watcher
# killed too, a reboot), and never one in use.
#
# A folder is in use while its script holds its lock, or while a running
# process names it (in its environment or command line), works in it, or
# holds or maps a file or socket in it. Sessions of other versions of the
# session scripts have no lock, but their programs do the rest. A folder
# changed in the last minute may be a session that is just starting.
set -uo pipefail
scripts=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

candidates=()
for folder in "${TMPDIR:-/tmp}"/tallowind-session.*; do
  [[ -d "$folder" && ! -L "$folder" && -O "$folder" && -n "$(find "$folder" -maxdepth 0 -mmin +1)" ]] || continue
  [[ -e "$folder/owner.lock" ]] && ! flock -n "$folder/owner.lock" true 2>/dev/null && continue
  candidates+=("$folder")
done
((${#candidates[@]})) || exit 0

# The names of those folders that a running process refers to, all read in
# one pass. A path may be spelt differently there (TMPDIR=/tmp/ or /tmp),
# the folder's own name not. The names reach grep through a pipe: on its
# command line they would be found there.
in_use=$({
  cat /proc/[0-9]*/environ /proc/[0-9]*/cmdline | tr '\0' '\n'
  find /proc/[0-9]*/cwd /proc/[0-9]*/root /proc/[0-9]*/fd -maxdepth 1 -type l -printf '%l\n'
  cat /proc/[0-9]*/maps | awk '{ print $6 }'
  awk 'NR > 1 { print $8 }' /proc/net/unix
} 2>/dev/null | grep -oF -f <(printf '%s\n' "${candidates[@]##*/}") | sort -u)

# A folder kept for a mount that stayed is named, and the session starts.
for folder in "${candidates[@]}"; do
  grep -qxF "${folder##*/}" <<<"$in_use" || "$scripts/remove-test-session.sh" "$folder" || true
done
