#!/usr/bin/env bash
# Installs the Debian packages the project needs (skipping those already
# present) and builds the pinned speech engine. Usage: setup.sh build|test
#
# It only ever adds packages: where apt would have to remove one to install
# what is missing, it stops before changing anything and names both. Where an
# apt step fails, it shows apt's errors, their cause, what to do and what was
# installed; another package manager holding the lock is waited for a while.
set -euo pipefail
cd "$(dirname "$0")/.."
want=${1:-build}

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

# Another package manager (an update at login, a software centre) holds
# apt's or dpkg's lock for a while: it is waited for this long.
lock_wait_seconds=600
lock_poll_seconds=5

# apt's errors of the last step, for the explanation should it fail.
apt_errors=$(mktemp)
trap 'rm -f "$apt_errors"' EXIT

holds_lock() { grep -qE "Could not get lock|is another process using it" "$apt_errors"; }
# " (unattended-upgr, process 1234)" when apt names the lock's holder.
lock_holder() {
  sed -n 's/.*It is held by process \([0-9]*\) (\([^)]*\)).*/ (\2, process \1)/p' "$apt_errors" | head -n 1
}

# Shows apt's own errors of a failed step, their cause and what to do.
# Usage: explain_apt_failure HEADLINE [WHAT_WAS_INSTALLED]
explain_apt_failure() {
  echo "$1 apt says:" >&2
  sed 's/^/  /' "$apt_errors" >&2
  if grep -q "dpkg was interrupted" "$apt_errors"; then
    echo "An earlier installation was interrupted: finish it with 'sudo dpkg --configure -a'." >&2
  elif holds_lock; then
    echo "Another package manager$(lock_holder) is still running (an update, or a software centre):" >&2
    echo "wait until it ends." >&2
  elif grep -qE "Unable to locate package|has no installation candidate" "$apt_errors"; then
    echo "A package is not in this machine's package lists: these scripts are for Debian 12, with its" >&2
    echo "'main' component in /etc/apt/sources.list; check those and run 'sudo apt-get update'." >&2
  elif grep -qE "held broken packages|Unmet dependencies|unmet dependencies" "$apt_errors"; then
    echo "Packages this machine holds or has broken are in the way: 'apt-mark showhold' lists held ones," >&2
    echo "and 'sudo apt-get -f install' repairs broken dependencies." >&2
  elif grep -q "remove is disabled" "$apt_errors"; then
    echo "apt would have to remove a package of this machine, and this set-up never removes one:" >&2
    echo "install the packages named above yourself in a way that keeps yours." >&2
  elif grep -qE "No space left on device|You don't have enough free space" "$apt_errors"; then
    echo "The disk is full: free some space ('sudo apt-get clean' empties apt's download cache)." >&2
  elif grep -qE "NO_PUBKEY|EXPKEYSIG|is not signed|no longer has a Release file|does not have a Release file" "$apt_errors"; then
    echo "A package source of this machine cannot be checked (its key is missing or expired, or it is" >&2
    echo "gone): fix or disable the source named above in /etc/apt/sources.list or /etc/apt/sources.list.d/." >&2
  elif grep -qE "Failed to fetch|Unable to fetch|Temporary failure resolving|Could not resolve|Could not connect" "$apt_errors"; then
    echo "apt could not download from a package server: check the network connection (and the proxy," >&2
    echo "if this machine needs one)." >&2
  fi
  [[ -z "${2:-}" ]] || echo "$2" >&2
  echo "Then run this command again." >&2
}

wanted=()
declare -A server_package=() server_group=()
while read -r kind name; do
  [[ -z "$kind" || "$kind" == \#* ]] && continue
  case "$kind" in
    build) wanted+=("$name") ;;
    test) [[ "$want" == test ]] && wanted+=("$name") ;;
    sound-server:*)
      [[ "$want" == test ]] || continue
      group=${kind#sound-server:}
      [[ -n "${server_package[$group]:-}" ]] || server_package[$group]=$name
      server_group[$group]+=" $name"
      ;;
    *) echo "scripts/packages.txt: unknown kind '$kind'" >&2; exit 1 ;;
  esac
done < scripts/packages.txt

# The test sessions' sound server: the one this machine has, else all.
if ((${#server_package[@]})); then
  present=()
  for group in "${!server_package[@]}"; do
    installed "${server_package[$group]}" && present+=("$group")
  done
  if ((${#present[@]})); then
    for group in "${!server_package[@]}"; do
      if [[ " ${present[*]} " != *" $group "* ]]; then
        echo "Keeping this machine's sound server: the test sessions run ${present[*]}, and $group is not installed beside it."
      fi
    done
  else
    present=("${!server_package[@]}")
  fi
  for group in "${present[@]}"; do
    read -r -a members <<<"${server_group[$group]}"
    wanted+=("${members[@]}")
  done
fi

missing=()
for p in "${wanted[@]}"; do
  # Node.js may come from another Debian source that bundles npm.
  if [[ "$p" == nodejs || "$p" == npm ]] && command -v node >/dev/null && command -v npm >/dev/null; then
    continue
  fi
  installed "$p" || missing+=("$p")
done

# Which of the missing packages a failed installation left installed.
what_was_installed() {
  local now=() still=()
  for p in "${missing[@]}"; do
    if installed "$p"; then now+=("$p"); else still+=("$p"); fi
  done
  if ((${#now[@]} == 0)); then
    echo "Nothing was installed."
  else
    echo "Installed: ${now[*]}"
    ((${#still[@]} == 0)) || echo "Not installed: ${still[*]}"
  fi
}

if ((${#missing[@]})); then
  sudo_cmd=()
  [[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
  # Runs apt-get as root, in English for the explanations. While another
  # package manager holds the lock, tries again every few seconds, up to
  # lock_wait_seconds. Shows a step's warnings once it succeeds.
  apt_as_root() {
    local waited=0
    until "${sudo_cmd[@]}" env LC_ALL=C DEBIAN_FRONTEND=noninteractive apt-get "$@" 2>"$apt_errors"; do
      holds_lock && ((waited < lock_wait_seconds)) || return 1
      ((waited)) || echo "Waiting for another package manager$(lock_holder) to finish, for up to $((lock_wait_seconds / 60)) minutes..."
      sleep "$lock_poll_seconds"
      ((waited += lock_poll_seconds))
    done
    cat "$apt_errors" >&2
  }
  dry_run() { LC_ALL=C apt-get install -s -qq --no-install-recommends "$@"; }
  # The packages a dry run's plan removes.
  removed_by() { awk '$1 == "Remv" { print $2 }' | sort -u; }

  if ! apt_as_root update -qq; then
    explain_apt_failure "Nothing was installed: apt could not update its package lists."
    exit 1
  fi
  # A dry run first: where apt cannot plan the install, say why before
  # anything is installed.
  if ! plan=$(dry_run "${missing[@]}" 2>"$apt_errors"); then
    explain_apt_failure "Nothing was installed: apt cannot install what Tallowind needs."
    exit 1
  fi
  in_the_way=$(removed_by <<<"$plan")
  if [[ -n "$in_the_way" ]]; then
    echo "Nothing was installed: installing what Tallowind needs would remove packages of this machine," >&2
    echo "and this set-up never removes a package." >&2
    for p in "${missing[@]}"; do
      gone=$(dry_run "$p" 2>/dev/null | removed_by | tr '\n' ' ' || true)
      [[ -n "$gone" ]] && echo "  $p would remove: $gone" >&2
    done
    echo "Install the packages named above yourself in a way that keeps yours, or leave them out;" >&2
    echo "then run this command again." >&2
    exit 1
  fi
  echo "Installing: ${missing[*]}"
  # --no-remove: should the dry run have missed a removal, apt stops.
  if ! apt_as_root install -y -qq --no-remove --no-install-recommends "${missing[@]}"; then
    explain_apt_failure "apt failed while installing what Tallowind needs." "$(what_was_installed)"
    exit 1
  fi
fi

scripts/build-whisper.sh
