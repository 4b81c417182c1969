#!/usr/bin/env bash
# Installs the Debian packages the project needs (skipping those already
# present) and builds the pinned speech engine. Usage: setup.sh build|test
set -euo pipefail
cd "$(dirname "$0")/.."
want=${1:-build}

wanted=()
while read -r kind name; do
  [[ -z "$kind" || "$kind" == \#* ]] && continue
  if [[ "$kind" == build || "$want" == test ]]; then wanted+=("$name"); fi
done < scripts/packages.txt

missing=()
for p in "${wanted[@]}"; do
  # Node.js may come from another Debian source that bundles npm.
  if [[ "$p" == nodejs || "$p" == npm ]] && command -v node >/dev/null && command -v npm >/dev/null; then
    continue
  fi
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

scripts/build-whisper.sh
