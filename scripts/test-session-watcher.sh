#!/usr/bin/env bash
# Waits, detached, for a test session's script to end, then ends what still
# runs of the session and removes its folder. A script killed outright (its
# process, its process group, or its tree at ctest's time limit) gets no
# chance to do so itself.
#
# Usage: test-session-watcher.sh FOLDER
set -uo pipefail
scripts=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
folder=$1

# The script holds the folder's lock for as long as it runs. A script that
# ended on its own removed the folder.
flock "$folder/owner.lock" true 2>/dev/null || exit 0
[[ -d "$folder" ]] || exit 0
"$scripts/end-test-session.sh" "$folder"
"$scripts/remove-test-session.sh" "$folder"
