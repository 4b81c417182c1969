#!/usr/bin/env bash
# Installs the Debian packages the project needs (skipping those already
# present) and builds the pinned speech engine. Usage: setup.sh build|test
#
# It only ever adds packages: where apt would have to remove one to install
# what is missing, it stops before changing anything and names both.
set -euo pipefail
cd "$(dirname "$0")/.."
want=${1:-build}

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

# Shows apt's own errors from a dry run that failed, and what to do.
explain_failed_dry_run() {
  local errors=$1
  echo "Nothing was installed: apt cannot install what Tallowind needs. apt says:" >&2
  sed 's/^/  /' "$errors" >&2
  if grep -q "dpkg was interrupted" "$errors"; then
    echo "An earlier installation was interrupted: finish it with 'sudo dpkg --configure -a'." >&2
  elif grep -qE "Could not get lock|Unable to acquire the dpkg" "$errors"; then
    echo "Another package manager is running (an update, or a software centre): wait until it ends." >&2
  elif grep -qE "Unable to locate package|has no installation candidate" "$errors"; then
    echo "A package is not in this machine's package lists: these scripts are for Debian 12, with its" >&2
    echo "'main' component in /etc/apt/sources.list; check those and run 'sudo apt-get update'." >&2
  elif grep -qE "held broken packages|Unmet dependencies|unmet dependencies" "$errors"; then
    echo "Packages this machine holds or has broken are in the way: 'apt-mark showhold' lists held ones," >&2
    echo "and 'sudo apt-get -f install' repairs broken dependencies." >&2
  fi
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

if ((${#missing[@]})); then
  sudo_cmd=()
  [[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  dry_run() { LC_ALL=C apt-get install -s -qq --no-install-recommends "$@"; }
  # The packages a dry run's plan removes.
  removed_by() { awk '$1 == "Remv" { print $2 }' | sort -u; }

  # A dry run first: where apt cannot plan the install, say why before
  # anything is installed.
  apt_errors=$(mktemp)
  trap 'rm -f "$apt_errors"' EXIT
  if ! plan=$(dry_run "${missing[@]}" 2>"$apt_errors"); then
    explain_failed_dry_run "$apt_errors"
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
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-remove --no-install-recommends "${missing[@]}"
fi

scripts/build-whisper.sh
