#!/usr/bin/env bash
# Installs the Debian packages the project needs (skipping those already
# present) and builds the pinned speech engine. Usage: setup.sh build|test
#
# It only ever adds packages: where apt would have to remove one to install
# what is missing, it stops before changing anything and names both. It
# names the packages before sudo asks for a password, and a refusal of sudo
# as such. It shows its own steps, with progress; what apt and the engine's
# build print goes to .deps/setup.log, and a failed step's output is shown
# in full, with its cause, what to do and what was installed. Another
# package manager holding the lock is waited for a while. Ctrl+C stops it
# once apt has finished what it began.
set -euo pipefail
cd "$(dirname "$0")/.."
want=${1:-build}

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

# Another package manager (an update at login, a software centre) holds
# apt's or dpkg's lock for a while: it is waited for this long.
lock_wait_seconds=600
lock_poll_seconds=5

# Ctrl+C reaches apt, which finishes what it began (through sudo's terminal
# it reaches apt alone); the set-up stops once the step has ended.
interrupted=0
trap 'interrupted=1' INT

source scripts/setup-steps.sh
echo "scripts/setup.sh $want, $(date)" >"$log"

# sudo's own words are told apart below, so it speaks English whatever the
# user's language (its password prompt too); apt-get, to which it passes
# these, too.
sudo_in_english() { LC_ALL=C LANGUAGE='' sudo "$@"; }
# Commands named in advice, as this user types them.
if (($(id -u) == 0)); then
  as_root=()
  typed_as_root=
  # apt-get as every step runs it: in English for the explanations, and
  # asking nothing.
  apt_get=(env LC_ALL=C DEBIAN_FRONTEND=noninteractive apt-get)
else
  as_root=(sudo_in_english)
  typed_as_root="sudo "
  # sudo passes LC_ALL=C on by default. DEBIAN_FRONTEND it passes where
  # sudoers lets this user set variables (Debian's %sudo rule does); a rule
  # that allows /usr/bin/apt-get alone covers apt-get without it, and
  # nothing else (no env in front).
  apt_get=(DEBIAN_FRONTEND=noninteractive apt-get)
fi

holds_lock() { grep -qE "Could not get lock|is another process using it" "$step_output"; }
# " (unattended-upgr, process 1234)" when apt names the lock's holder.
lock_holder() {
  sed -n 's/.*It is held by process \([0-9]*\) (\([^)]*\)).*/ (\2, process \1)/p' "$step_output" | head -n 1
}
# sudo's words where it does not run the command.
sudo_refused() {
  grep -qE "is not in the sudoers file|may not run sudo|is not allowed to|incorrect password attempt|a password is required|a terminal is required|no tty present" "$step_output"
}

# Says that installing takes administrator rights this user lacks, why,
# and the command an administrator can run in a root shell. The packages
# are named once in it: the headline stays on a 24-row terminal.
# Usage: explain_no_administrator_rights HEADLINE [WHAT_WAS_INSTALLED]
explain_no_administrator_rights() {
  local root_shell="a root shell (su -, or sudo -i)"
  command -v sudo >/dev/null || root_shell="a root shell (su -)"
  say "$1" >&2
  # sudo's words name the command it refused, the packages with it.
  local said
  said=$(cat "$step_output")
  [[ -z "$said" ]] || quote <<<"${said//" ${missing[*]}"/ ...}" >&2
  if grep -q "incorrect password attempt" "$step_output"; then
    say "The password was not accepted: sudo asks for your own password, the one you log in with." \
      "Run this command again to try once more, or ask an administrator of this machine to install" \
      "the packages Tallowind needs in $root_shell:" >&2
  elif grep -qE "is not allowed to" "$step_output"; then
    say "sudo lets your account run other commands as root, not 'sudo apt-get ...'." >&2
    say "An administrator of this machine can allow it with this line in sudoers" \
      "(sudo visudo -f /etc/sudoers.d/tallowind):" >&2
    say_command "$(id -un) ALL=(root) /usr/bin/apt-get" >&2
    say "or install the packages Tallowind needs in $root_shell:" >&2
  elif grep -qE "a password is required|a terminal is required|no tty present" "$step_output"; then
    say "sudo needs a terminal to ask for your password: run this command in a terminal, or ask" \
      "an administrator of this machine to install the packages Tallowind needs in $root_shell:" >&2
  else
    [[ ! -s "$step_output" ]] ||
      say "Installing packages takes administrator rights, which your account does not have here." >&2
    say "An administrator of this machine can install the packages Tallowind needs in $root_shell:" >&2
  fi
  say_command "apt-get update && apt-get install --no-install-recommends ${missing[*]}" >&2
  [[ -z "${2:-}" ]] || say "$2" >&2
  say "Then run this command again." >&2
}

# Shows a failed step's output in full, its cause and what to do.
# Usage: explain_apt_failure HEADLINE [WHAT_WAS_INSTALLED]
explain_apt_failure() {
  if sudo_refused; then
    explain_no_administrator_rights "sudo refused to run apt as administrator. sudo says:" \
      "${2:-Nothing was installed.}"
    return
  fi
  say "$1 apt says:" >&2
  quote <"$step_output" >&2
  if grep -q "dpkg was interrupted" "$step_output"; then
    say "An earlier installation was interrupted: finish it with '${typed_as_root}dpkg --configure -a'." >&2
  elif holds_lock; then
    say "Another package manager$(lock_holder) is still running (an update, or a software centre):" \
      "wait until it ends." >&2
  elif grep -qE "Unable to locate package|has no installation candidate" "$step_output"; then
    say "A package is not in this machine's package lists: these scripts are for Debian 12, with its" \
      "'main' component in /etc/apt/sources.list; check those and run '${typed_as_root}apt-get update'." >&2
  elif grep -qE "held broken packages|Unmet dependencies|unmet dependencies" "$step_output"; then
    say "Packages this machine holds or has broken are in the way: 'apt-mark showhold' lists held ones," \
      "and '${typed_as_root}apt-get -f install' repairs broken dependencies." >&2
  elif grep -q "remove is disabled" "$step_output"; then
    say "apt would have to remove a package of this machine, and this set-up never removes one:" \
      "install the packages named above yourself in a way that keeps yours." >&2
  elif grep -qE "No space left on device|You don't have enough free space" "$step_output"; then
    say "The disk is full: free some space ('${typed_as_root}apt-get clean' empties apt's download cache)." >&2
  elif grep -qE "NO_PUBKEY|EXPKEYSIG|is not signed|no longer has a Release file|does not have a Release file" "$step_output"; then
    say "A package source of this machine cannot be checked (its key is missing or expired, or it is" \
      "gone): fix or disable the source named above in /etc/apt/sources.list or /etc/apt/sources.list.d/." >&2
  elif grep -qE "Failed to fetch|Unable to fetch|Temporary failure resolving|Could not resolve|Could not connect" "$step_output"; then
    say "apt could not download from a package server: check the network connection (and the proxy," \
      "if this machine needs one)." >&2
  fi
  [[ -z "${2:-}" ]] || say "$2" >&2
  say "Then run this command again." >&2
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
        say "Keeping this machine's sound server: the test sessions run ${present[*]}, and $group is not installed beside it."
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

# Whether sudo will ask for the password to run apt-get (and not refuse).
sudo_asks() {
  local said
  said=$(sudo_in_english -n "${apt_get[@]}" --version 2>&1 >/dev/null) && return 1
  [[ "$said" == *"a password is required"* ]]
}
# Before a step's sudo: its password prompt gets a line of its own, and
# where sudo asks again after all, the set-up says why, once.
told_why_sudo_asks=0
before_sudo_asks() {
  ((${#as_root[@]})) && sudo_asks || return 0
  break_step_line
  ((told_why_sudo_asks)) ||
    say "sudo asks for your password again: the time sudoers lets it keep the password" \
      "(timestamp_timeout) has run out."
  told_why_sudo_asks=1
}

# Which of the missing packages an installation left installed, and which not.
split_missing() {
  now=()
  still=()
  for p in "${missing[@]}"; do
    if installed "$p"; then now+=("$p"); else still+=("$p"); fi
  done
}
# What a failed installation left, for its explanation.
what_was_installed() {
  split_missing
  if ((${#now[@]} == 0)); then
    echo "Nothing was installed."
  else
    echo "Installed: ${now[*]}."
    ((${#still[@]} == 0)) || echo "Not installed: ${still[*]}."
  fi
}
# Stops on Ctrl+C with one line saying what was installed.
stop_on_ctrl_c() {
  split_missing
  if ((${#now[@]} == 0)); then
    echo "Stopped on Ctrl+C: nothing was installed, built or started."
  else
    local line="Stopped on Ctrl+C, once apt had finished: installed ${now[*]}"
    ((${#still[@]} == 0)) || line+="; not installed: ${still[*]}"
    say "$line; nothing was built or started."
  fi
  exit 130
}
# apt says so where Ctrl+C cut its work short, and may still succeed.
step_interrupted() {
  ((interrupted || $1 == 130)) || grep -q "Operation was interrupted before it could finish" "$step_output"
}

# "1 package", "2 packages".
packages() { if (($1 == 1)); then echo "1 package"; else echo "$1 packages"; fi; }

if ((${#missing[@]})); then
  ((interrupted == 0)) || stop_on_ctrl_c
  them=them
  ((${#missing[@]} > 1)) || them=it
  echo "Tallowind needs $(packages ${#missing[@]}) that this machine does not have yet:"
  fold -s -w 76 <<<"${missing[*]}" | sed "s/^/  /; s/ *$//"
  if ((${#as_root[@]})); then
    if ! command -v sudo >/dev/null; then
      : >"$step_output"
      explain_no_administrator_rights "Nothing was installed: sudo is not installed, and installing packages takes administrator rights (root)."
      exit 1
    fi
    # Checked with the command the steps run: sudo -v would ask for a
    # password unless every rule for this user is NOPASSWD. Where sudoers
    # does not let this user set DEBIAN_FRONTEND, apt-get runs without it.
    # Usage: sudo_runs_apt [-n]
    sudo_runs_apt() {
      local status=0
      sudo_in_english "$@" "${apt_get[@]}" --version 2>"$step_output" >/dev/null || status=$?
      if ((status != 0)) && grep -q "not allowed to set the following environment variables" "$step_output"; then
        apt_get=(apt-get)
        # sudo refuses the variable once it has the password: where it asks
        # for it again, say why.
        if (($# == 0)) && sudo_asks; then
          say "sudo does not let your account set DEBIAN_FRONTEND for apt-get, so apt-get runs" \
            "without it, and sudo asks for your password once more."
        fi
        status=0
        sudo_in_english "$@" "${apt_get[@]}" --version 2>"$step_output" >/dev/null || status=$?
      fi
      cat "$step_output" >>"$log"
      return "$status"
    }
    status=0
    sudo_runs_apt -n || status=$?
    # sudo asks a user whom sudoers names nowhere for the password before
    # it refuses; sudo -n -v says so at once.
    if ((status != 0)) && grep -q "a password is required" "$step_output"; then
      refusal=$(sudo_in_english -n -v 2>&1) || true
      if [[ "$refusal" == *"may not run sudo"* ]]; then
        printf '%s\n' "$refusal" | tee -a "$log" >"$step_output"
      else
        echo "Installing $them takes administrator rights: sudo asks for your password."
        status=0
        sudo_runs_apt || status=$?
        if ((status == 0)) && sudo_asks; then
          say "sudo keeps no password between commands here (timestamp_timeout=0 in sudoers):" \
            "it asks for yours again at each step that runs apt."
          told_why_sudo_asks=1
        fi
      fi
    fi
    # Ctrl+C at sudo's prompt is a stop, also where sudo alone heard it.
    ((interrupted == 0 && status <= 128)) || stop_on_ctrl_c
    if ((status != 0)); then
      explain_no_administrator_rights "Nothing was installed: sudo refused to run apt as administrator. sudo says:"
      exit 1
    fi
  fi

  # Runs apt-get as root, as a step of that label. While another package
  # manager holds the lock, tries again every few seconds, up to
  # lock_wait_seconds. Returns 130 where Ctrl+C
  # stopped it. Shows apt's warnings once it succeeds.
  # Usage: apt_as_root KIND TOTAL LABEL APT_ARGUMENTS ...
  apt_as_root() {
    local kind=$1 total=$2 waited=0 status
    begin_step "$3"
    shift 3
    while :; do
      before_sudo_asks
      status=0
      run_logged "$kind" "$total" "${as_root[@]}" "${apt_get[@]}" "$@" || status=$?
      if step_interrupted "$status"; then
        end_step stopped
        return 130
      fi
      ((status != 0)) || break
      if ! holds_lock || ((waited >= lock_wait_seconds)); then
        end_step failed
        return 1
      fi
      if ((waited == 0)); then
        end_step
        say "Waiting for another package manager$(lock_holder) to finish, for up to $((lock_wait_seconds / 60)) minutes..."
        begin_step "$step_label"
      fi
      sleep "$lock_poll_seconds" || true
      if ((interrupted)); then
        end_step stopped
        return 130
      fi
      ((waited += lock_poll_seconds))
    done
    end_step "done"
    grep '^W: ' "$step_output" >&2 || true
  }
  dry_run() { LC_ALL=C apt-get install -s -qq --no-install-recommends "$@"; }
  # The packages a dry run's plan removes.
  removed_by() { awk '$1 == "Remv" { print $2 }' | sort -u; }
  # The packages it upgrades: their installed version is in brackets.
  upgraded_by() { awk '$1 == "Inst" && $3 ~ /^\[/ { print $2 }' | sort -u; }

  status=0
  apt_as_root update 0 "Updating apt's package lists" update -q || status=$?
  ((status != 130)) || stop_on_ctrl_c
  if ((status != 0)); then
    explain_apt_failure "Nothing was installed: apt could not update its package lists."
    exit 1
  fi
  # A dry run first: where apt cannot plan the install, say why before
  # anything is installed.
  begin_step "Checking what apt would install"
  status=0
  plan=$(dry_run "${missing[@]}" 2>"$step_output") || status=$?
  cat "$step_output" >>"$log"
  printf '%s\n' "$plan" >>"$log"
  if ((interrupted)); then
    end_step stopped
    stop_on_ctrl_c
  fi
  if ((status != 0)); then
    end_step failed
    explain_apt_failure "Nothing was installed: apt cannot install what Tallowind needs."
    exit 1
  fi
  end_step "done"
  in_the_way=$(removed_by <<<"$plan")
  if [[ -n "$in_the_way" ]]; then
    say "Nothing was installed: installing what Tallowind needs would remove packages of this machine," \
      "and this set-up never removes a package." >&2
    for p in "${missing[@]}"; do
      gone=$(dry_run "$p" 2>/dev/null | removed_by | tr '\n' ' ' || true)
      [[ -n "$gone" ]] && quote <<<"$p would remove: $gone" >&2
    done
    say "Install the packages named above yourself in a way that keeps yours, or leave them out;" \
      "then run this command again." >&2
    exit 1
  fi
  # With what they depend on.
  total=$(grep -c '^Inst ' <<<"$plan" || true)
  ((total >= ${#missing[@]})) || total=${#missing[@]}
  label="Installing $(packages "$total")"
  ((total == ${#missing[@]})) || label+=" (with what they depend on)"
  upgrades=$(upgraded_by <<<"$plan" | paste -sd ' ')
  [[ -z "$upgrades" ]] || say "On the way apt upgrades packages this machine has: $upgrades."
  # --no-remove: should the dry run have missed a removal, apt stops.
  status=0
  apt_as_root install "$total" "$label" install -y -q --no-remove --no-install-recommends "${missing[@]}" || status=$?
  ((status != 130)) || stop_on_ctrl_c
  if ((status != 0)); then
    explain_apt_failure "apt failed while installing what Tallowind needs." "$(what_was_installed)"
    exit 1
  fi
fi

# The engine is built once: its step shows only where there is work to do.
((interrupted == 0)) || stop_on_ctrl_c
scripts/build-whisper.sh --up-to-date && exit 0
begin_step "Building whisper.cpp, the speech engine"
status=0
run_logged build 0 scripts/build-whisper.sh || status=$?
if ((interrupted || status == 130)); then
  end_step stopped
  built="was not built"
  ((status != 0)) || built="is built"
  say "Stopped on Ctrl+C: the packages Tallowind needs are installed; whisper.cpp $built, and nothing was started."
  exit 130
fi
if ((status != 0)); then
  end_step failed
  say "whisper.cpp could not be built. Its build says (this is also in $log):" >&2
  cat "$step_output" >&2
  exit 1
fi
end_step "done"
