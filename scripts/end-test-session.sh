#!/usr/bin/env bash
# Ends every program of a test session and returns once they are gone: TERM
# first, so that the session cleans up after itself, then KILL for whatever
# still runs 10 seconds later.
#
# Usage: end-test-session.sh FOLDER
#
# The session's programs are its process group, recorded in its folder, and
# any program whose environment names the session (one that left the group).
# The group counts only while a program in it names the session: once the
# group is empty its number may be given to another.
set -uo pipefail
# A second Ctrl+C in the terminal does not cut the ending short.
trap '' INT HUP
folder=$1
group=$(cat "$folder/session.group" 2>/dev/null) || group=

programs() {
  local named grouped
  named=$(grep -lszxF "TALLOWIND_TEST_SESSION=$folder" /proc/[0-9]*/environ | cut -d/ -f3 | sort)
  [[ "$group" =~ ^[0-9]+$ ]] || { echo "$named"; return; }
  # Zombies are gone already: only their parent can take them away.
  grouped=$(ps -e -o pid=,pgid=,stat= | awk -v group="$group" '$2 == group && $3 !~ /^Z/ { print $1 }' | sort)
  if [[ -n "$(comm -12 <(echo "$named") <(echo "$grouped"))" ]]; then
    sort -u <(echo "$named") <(echo "$grouped")
  else
    echo "$named"
  fi
}

deadline=$((SECONDS + 10))
declare -A terminated=()
while running=$(programs) && [[ -n "${running//[[:space:]]/}" ]]; do
  for pid in $running; do
    if ((SECONDS >= deadline)); then
      kill -KILL "$pid" 2>/dev/null
    elif [[ -z "${terminated[$pid]:-}" ]]; then
      # Once only: a second TERM would cut a program's clean-up short.
      kill -TERM "$pid" 2>/dev/null
      terminated[$pid]=1
    fi
  done
  sleep 0.05
done
exit 0
