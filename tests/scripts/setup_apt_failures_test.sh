#!/usr/bin/env bash
# scripts/setup.sh against a fake apt that fails at each of its steps: the
# set-up shows apt's own errors, the cause and what to do, and what was
# installed; it waits for another package manager's lock before giving up.
# It names the packages before sudo asks for a password, and sudo's refusal
# as such; it stops on Ctrl+C once apt has finished; its advice is written
# as the user types it; apt's and the build's output go to its log, shown
# only when their step fails. Every line it prints fits 80 columns.
set -euo pipefail
source=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A copy of the set-up whose engine is never built yet, and whose build
# keeps what the set-up had said when it began, prints what a build prints
# and leaves a mark; it fails with $STATE/build-error, if there is one, and
# with $STATE/build-started it says so there and runs until it is stopped.
mkdir -p "$work/tree/scripts" "$work/bin"
cp "$source/scripts/setup.sh" "$source/scripts/setup-steps.sh" "$source/scripts/configure.sh" \
  "$source/scripts/packages.txt" "$work/tree/scripts/"
cat >"$work/tree/scripts/build-whisper.sh" <<'FAKE'
#!/bin/sh
[ "$1" = --up-to-date ] && exit 1
cp "$STATE/out" "$STATE/out-at-build"
echo "[1/2] Building C object ggml/src/ggml.c.o"
echo "ggml.c:42:5: warning: unused variable 'x' [-Wunused-variable]"
if [ -p "$STATE/build-started" ]; then
  echo started >"$STATE/build-started"
  exec /bin/sleep 600
fi
[ -f "$STATE/build-error" ] && { cat "$STATE/build-error"; exit 1; }
echo "[2/2] Linking C static library libwhisper.a"
touch "$STATE/built"
FAKE

# The fakes keep a case's state in $STATE: the packages installed, the
# calls to apt, sudo and sleep (which returns at once). The user is not
# root unless FAKE_UID=0. Where $STATE/screen holds what a terminal shows,
# and where a step waits for the set-up to say something, they wait for it
# there (or in $STATE/out), and note in $STATE/unseen what did not come;
# they say in the pipe PIPE, if given, that they wait, deaf to Ctrl+C.
# Usage: await-output TEXT [PIPE]
cat >"$work/bin/await-output" <<'FAKE'
#!/bin/sh
trap '' INT
[ -z "$2" ] || echo waiting >"$2"
screen=$STATE/out
[ -e "$STATE/screen" ] && screen=$STATE/screen
deadline=$(($(date +%s) + 30))
until grep -qF -- "$1" "$screen"; do
  [ "$(date +%s)" -lt "$deadline" ] || { echo "$1" >>"$STATE/unseen"; exit 1; }
  /bin/sleep 0.05
done
FAKE
cat >"$work/bin/dpkg-query" <<'FAKE'
#!/bin/sh
grep -qsx -- "$3" "$STATE/installed" || exit 1
printf 'install ok installed'
FAKE
printf '#!/bin/sh\n[ "$1" = -u ] && exec echo "${FAKE_UID:-1000}"\n[ "$1" = -un ] && exec echo carol\nexec /usr/bin/id "$@"\n' >"$work/bin/id"
# sudo asks for a password once (with -n it refuses to ask), keeping what
# the set-up had said then, and speaks German in a German locale. It
# refuses with $STATE/sudo-refusal (in German $STATE/sudo-refusal-de), and
# commands matching $STATE/sudo-refuses, as sudoers that allows others
# does. With $STATE/sudo-nopasswd the user's own rule asks for no password,
# and -v asks as Debian's %sudo rule does; with $STATE/sudo-interrupted
# Ctrl+C stops it at its prompt. With $STATE/sudo-no-rules sudoers names
# the user nowhere, which -v says at once; with $STATE/sudo-no-setenv the
# user may not set variables (VAR=value before the command), which sudo
# says once it has the password. With $STATE/sudo-keeps-no-password it asks
# at every command (timestamp_timeout=0). On a terminal ($STATE/screen) its
# prompt shows there, ended by the user's Enter.
cat >"$work/bin/sudo" <<'FAKE'
#!/bin/bash
echo "$*" >>"$STATE/sudo-calls"
refusal=$STATE/sudo-refusal
[[ ${LC_ALL:-${LC_MESSAGES:-${LANG:-}}} == de* ]] && refusal=$STATE/sudo-refusal-de
if [[ -f $STATE/sudo-no-rules && " $* " == *" -v "* ]]; then
  echo "Sorry, user carol may not run sudo on host." >&2
  exit 1
fi
if [[ $1 == -n ]]; then
  shift
  [[ -f $STATE/sudo-nopasswd || -f $STATE/sudo-ticket ]] || { echo "sudo: a password is required" >&2; exit 1; }
elif [[ ! -f $STATE/sudo-nopasswd && ! -f $STATE/sudo-ticket ]]; then
  cp "$STATE/out" "$STATE/out-at-sudo"
  [[ -e $STATE/screen ]] && printf '[sudo] password for carol: \n' >/dev/tty
  [[ -f $STATE/sudo-interrupted ]] && kill -INT $$
  [[ -f $refusal ]] && { cat "$refusal" >&2; exit 1; }
  [[ -f $STATE/sudo-keeps-no-password ]] || touch "$STATE/sudo-ticket"
fi
if [[ $1 == -v ]]; then
  [[ -f $STATE/sudo-nopasswd ]] || exit 0
  touch "$STATE/sudo-asked"
  echo "sudo: a terminal is required to read the password" >&2
  exit 1
fi
variables=()
while [[ $1 == *=* ]]; do variables+=("$1"); shift; done
if [[ -f $STATE/sudo-no-setenv ]] && ((${#variables[@]})); then
  echo "sudo: sorry, you are not allowed to set the following environment variables: ${variables[*]%%=*}" >&2
  exit 1
fi
if [[ -f $STATE/sudo-refuses ]] && grep -qE -- "$(cat "$STATE/sudo-refuses")" <<<"$*"; then
  echo "Sorry, user carol is not allowed to execute '/usr/bin/$*' as root on host." >&2
  exit 1
fi
exec env "${variables[@]}" "$@"
FAKE
printf '#!/bin/sh\necho "$1" >>"$STATE/slept"\n' >"$work/bin/sleep"
# Per step (update, dry-run, install): $STATE/STEP-locked counts the calls
# that find the lock held; then apt installs the number of packages in
# $STATE/install-installs, printing what apt and dpkg print for each, and
# fails with $STATE/STEP-error, if there is one. The dry run prints
# $STATE/dry-run-plan. With $STATE/install-interrupted it stops there as on
# Ctrl+C and exits with the status that file holds; with
# $STATE/install-working, a pipe, it says there that it is at work after the
# first package, and goes on once the set-up has said that it stops.
cat >"$work/bin/apt-get" <<'FAKE'
#!/bin/bash
[[ $1 == --version ]] && exec echo "apt 2.6.1 (amd64)"
trap 'interrupted=1' INT
echo "$*" >>"$STATE/calls"
case " $* " in
  *" update "*) step=update lock=/var/lib/apt/lists/lock ;;
  *" -s "*) step=dry-run ;;
  *) step=install lock=/var/lib/dpkg/lock-frontend ;;
esac
if [[ $step == update ]]; then
  echo "Get:1 http://mirror.example/debian bookworm InRelease [151 kB]"
  [[ -e $STATE/screen ]] && await-output "1 sources read"
fi
[[ $step == dry-run ]] && cat "$STATE/dry-run-plan" 2>/dev/null
held=$(cat "$STATE/$step-locked" 2>/dev/null || echo 0)
if ((held > 0)); then
  echo $((held - 1)) >"$STATE/$step-locked"
  echo "E: Could not get lock $lock. It is held by process 1234 (unattended-upgr)" >&2
  [[ $step == update ]] && echo "E: Unable to lock directory /var/lib/apt/lists/" >&2
  [[ $step == install ]] && echo "E: Unable to acquire the dpkg frontend lock (/var/lib/dpkg/lock-frontend), is another process using it?" >&2
  exit 100
fi
if [[ $step == install ]]; then
  packages=()
  for arg in "${@:2}"; do [[ $arg == -* ]] || packages+=("$arg"); done
  count=$(cat "$STATE/install-installs" 2>/dev/null || echo 0)
  for package in "${packages[@]:0:count}"; do
    echo "Get:1 http://mirror.example/debian bookworm/main amd64 $package amd64 1.0 [1000 kB]"
    echo "Unpacking $package (1.0) ..."
    [[ -e $STATE/screen && ! -s $STATE/installed ]] && await-output "1 of ${#packages[@]} unpacked"
    echo "Setting up $package (1.0) ..."
    echo "$package" >>"$STATE/installed"
    if [[ -p $STATE/install-working ]]; then
      await-output "Stopping once apt has finished what it began" "$STATE/install-working"
      rm "$STATE/install-working"
      echo 130 >"$STATE/install-interrupted"
    fi
  done
  if [[ -f "$STATE/install-interrupted" ]]; then
    echo "W: Operation was interrupted before it could finish" >&2
    exit "$(cat "$STATE/install-interrupted")"
  fi
fi
[[ -f "$STATE/$step-error" ]] || exit 0
cat "$STATE/$step-error" >&2
exit 100
FAKE
chmod +x "$work/bin/"* "$work/tree/scripts/build-whisper.sh"
log=$work/tree/.deps/setup.log

passed=0
# Starts a case: the fake apt's state goes to $work/NAME.
begin() {
  case_name=$1
  export STATE=$work/$1
  mkdir "$STATE"
  touch "$STATE/calls" "$STATE/sudo-calls" "$STATE/slept" "$STATE/installed" "$STATE/configures"
}
# Every line fits an 80-column terminal.
fits_80_columns() {
  ! awk 'length > 80 { exit 1 }' "$STATE/out" || return 0
  fail "a line is wider than 80 columns: $(awk 'length > 80' "$STATE/out" | head -n 1)"
}
run_setup() {
  status=0
  PATH="$work/bin:$PATH" "$work/tree/scripts/setup.sh" test >"$STATE/out" 2>&1 </dev/null || status=$?
  [[ ! -s "$STATE/unseen" ]] || fail "a step waited in vain for the set-up to say: $(cat "$STATE/unseen")"
  fits_80_columns
}
fail() {
  echo "FAILED ($case_name): $1"
  echo "--- output:"; cat "$STATE/out"
  echo "--- apt-get calls:"; cat "$STATE/calls"
  echo "--- sudo calls:"; cat "$STATE/sudo-calls"
  exit 1
}
# What it says, with folded lines joined again and spaces squeezed.
unfolded() { sed -z 's/ \\\n/ /g' | tr -s ' \n' '  '; }
says() { unfolded <"$STATE/out" | grep -qF -- "$(printf %s "$1" | unfolded)" || fail "it does not say: $1"; }
never_says() { ! unfolded <"$STATE/out" | grep -qF -- "$(printf %s "$1" | unfolded)" || fail "it says: $1"; }
# What it says last matches the extended regular expression.
ends_saying() { unfolded <"$STATE/out" | grep -qE -- "$1 ?$" || fail "${2:-it does not end saying: $1}"; }
logs() { grep -qF -- "$1" "$log" || fail "its log does not hold: $1"; }
# A refusal of sudo's, from its headline on, fits a 24-row terminal with the
# shell's prompt below it: it names the packages once.
refusal_fits_a_screen() {
  local from
  from=$(grep -n -m 1 "sudo refused to run apt" "$STATE/out" | cut -d: -f1)
  [[ -n "$from" ]] || fail "it does not say that sudo refused"
  (($(tail -n +"$from" "$STATE/out" | wc -l) <= 22)) || fail "the refusal takes more than 22 lines"
  (($(tail -n +"$from" "$STATE/out" | grep -o "libpocketsphinx-dev" | wc -l) == 1)) ||
    fail "the refusal does not name the packages once"
}
waits_once() {
  (($(grep -c "Waiting for another package manager (unattended-upgr, process 1234) to finish" "$STATE/out") == 1)) ||
    fail "it does not say once that it waits for the lock's holder"
  [[ -s "$STATE/slept" ]] || fail "it did not wait"
}
# Runs the set-up (or the script in $under_test) in a process group of its
# own, and presses Ctrl+C (INT to the group) once a fake says in the pipe
# $STATE/NAME that it is at work.
# Usage: interrupt_setup_at NAME [VARIABLE=VALUE ...]
under_test=("$work/tree/scripts/setup.sh" test)
interrupt_setup_at() {
  mkfifo "$STATE/$1"
  exec {at_work}<>"$STATE/$1"
  set -m
  env "${@:2}" PATH="$work/bin:$PATH" "${under_test[@]}" >"$STATE/out" 2>&1 </dev/null &
  local setup=$!
  set +m
  read -r -t 120 -u "$at_work" _ || fail "the set-up did not get to $1"
  kill -INT -- -"$setup"
  status=0
  wait "$setup" || status=$?
  ((status == 130)) || fail "the set-up ended with $status, not as interrupted (130)"
  fits_80_columns
}
fails_without_install() {
  ((status != 0)) || fail "the set-up reported success"
  [[ ! -e "$STATE/built" ]] || fail "it went on after apt failed"
}

begin dry-run-unknown-package
echo "E: Unable to locate package libbogus-dev" >"$STATE/dry-run-error"
run_setup
fails_without_install
says "E: Unable to locate package libbogus-dev"
says "sudo apt-get update"
says "Nothing was installed"
! grep -q "^install -y" "$STATE/calls" || fail "it installed after a failed dry run"
passed=$((passed + 1))

begin update-lock-released
echo 2 >"$STATE/update-locked"
echo 1000 >"$STATE/install-installs"
run_setup
((status == 0)) || fail "the set-up failed once the lock was free"
waits_once
(($(grep -c "^update" "$STATE/calls") == 3)) || fail "it did not update again once the lock was free"
grep -q "^install -y" "$STATE/calls" || fail "it did not install"
[[ -e "$STATE/built" ]] || fail "it did not build the engine"
# Before sudo asks: what is missing, and that sudo asks.
grep -qF "xterm" "$STATE/out-at-sudo" && grep -qF "sudo asks for your password" "$STATE/out-at-sudo" ||
  fail "it did not name the packages and the password before calling sudo"
# Its own steps only; apt's, dpkg's and the build's lines go to the log.
says "Updating apt's package lists... done"
says "Checking what apt would install... done"
says "Building whisper.cpp, the speech engine... done"
grep -qF "Building whisper.cpp, the speech engine..." "$STATE/out-at-build" ||
  fail "the engine's step was not shown before its build began"
for noise in "Get:1" "Unpacking xterm" "Setting up xterm" "[1/2] Building" "warning: unused variable"; do
  never_says "$noise"
  logs "$noise"
done
passed=$((passed + 1))

begin update-lock-kept
echo 1000000 >"$STATE/update-locked"
run_setup
fails_without_install
waits_once
says "Nothing was installed: apt could not update its package lists."
says "  E: Could not get lock /var/lib/apt/lists/lock. It is held by process 1234 (unattended-upgr)"
says "Another package manager (unattended-upgr, process 1234) is still running"
grep -q "^install" "$STATE/calls" && fail "it went on after the update failed"
passed=$((passed + 1))

begin install-lock-then-interrupted-dpkg
echo 1 >"$STATE/install-locked"
echo "E: dpkg was interrupted, you must manually run 'dpkg --configure -a' to correct the problem." >"$STATE/install-error"
run_setup
fails_without_install
waits_once
says "  E: dpkg was interrupted"
says "finish it with 'sudo dpkg --configure -a'"
says "Nothing was installed."
passed=$((passed + 1))

begin install-fails-halfway
echo 2 >"$STATE/install-installs"
cat >"$STATE/install-error" <<'APT'
dpkg: error processing package xterm (--configure):
 installed xterm package post-installation script subprocess returned error exit status 1
E: Sub-process /usr/bin/dpkg returned an error code (1)
APT
run_setup
fails_without_install
says "  E: Sub-process /usr/bin/dpkg returned an error code (1)"
says "Installed: $(paste -sd ' ' "$STATE/installed")"
unfolded <"$STATE/out" | grep -q "Not installed: .*xterm" || fail "it does not name the packages still missing"
grep -q "Nothing was installed" "$STATE/out" && fail "it says nothing was installed"
says "  Setting up cmake (1.0) ..."
[[ ! -e "$STATE/built" ]] || fail "it built after the install failed"
passed=$((passed + 1))

# As root, advice names no sudo, and sudo is never called.
begin root-wording
echo "E: dpkg was interrupted, you must manually run 'dpkg --configure -a' to correct the problem." >"$STATE/install-error"
FAKE_UID=0 run_setup
fails_without_install
says "finish it with 'dpkg --configure -a'"
never_says "sudo"
[[ ! -s "$STATE/sudo-calls" ]] || fail "it called sudo as root"
passed=$((passed + 1))

# A user whom sudoers names nowhere is told so before sudo asks for a
# password it would refuse anyway.
begin sudo-names-the-user-nowhere
touch "$STATE/sudo-no-rules"
echo "carol is not in the sudoers file." >"$STATE/sudo-refusal"
run_setup
fails_without_install
[[ ! -e "$STATE/out-at-sudo" ]] || fail "sudo asked for a password"
never_says "sudo asks for your password"
says "Nothing was installed: sudo refused to run apt as administrator. sudo says:"
says "  Sorry, user carol may not run sudo on host."
says "Installing packages takes administrator rights, which your account does not have here."
says "in a root shell (su -, or sudo -i):"
says "  apt-get update && apt-get install --no-install-recommends build-essential cmake"
refusal_fits_a_screen
passed=$((passed + 1))

# sudo refuses the user or the password, whatever the user's language: no
# apt, and what an administrator can run instead.
for refusal in "carol is not in the sudoers file.|carol ist nicht in der sudoers-Datei." \
  "sudo: 3 incorrect password attempts|sudo: 3 Fehlversuche bei der Passworteingabe"; do
  german=${refusal#*|}
  refusal=${refusal%%|*}
  begin "sudo-refuses-${refusal//[^a-z0-9]/-}"
  echo "$refusal" >"$STATE/sudo-refusal"
  echo "$german" >"$STATE/sudo-refusal-de"
  LC_ALL='' LANG=de_DE.UTF-8 run_setup
  fails_without_install
  [[ ! -s "$STATE/calls" ]] || fail "it ran apt after sudo refused"
  grep -qF "xterm" "$STATE/out-at-sudo" || fail "it did not name the packages before calling sudo"
  says "Nothing was installed: sudo refused to run apt as administrator. sudo says:"
  says "  $refusal"
  says "in a root shell (su -, or sudo -i):"
  says "  apt-get update && apt-get install --no-install-recommends build-essential cmake"
  refusal_fits_a_screen
  never_says "apt could not update"
  passed=$((passed + 1))
done
says "The password was not accepted"

# sudoers that allows /usr/bin/apt-get alone, which lets the user set no
# variable: apt-get runs under it as it is, without DEBIAN_FRONTEND.
begin sudo-allows-apt-get-alone
touch "$STATE/sudo-no-setenv"
echo "^env " >"$STATE/sudo-refuses"
echo 1000 >"$STATE/install-installs"
run_setup
((status == 0)) || fail "the set-up failed"
grep -qx "apt-get update -q" "$STATE/sudo-calls" || fail "it did not run apt-get as the rule allows it"
[[ -e "$STATE/built" ]] || fail "it did not build the engine"
# sudo kept the password: it asks once, and nothing needs explaining.
never_says "sudo does not let your account set DEBIAN_FRONTEND"
never_says "sudo keeps no password"
passed=$((passed + 1))

# sudoers that does not allow apt-get, or not at a later step: sudo's
# refusal, with the command it refused and the line that allows it, never
# as apt's; and what was installed.
for refused in "apt-get --version" " update " " install "; do
  begin "sudo-refuses-command-${refused// /}"
  echo "$refused" >"$STATE/sudo-refuses"
  run_setup
  fails_without_install
  says "sudo refused to run apt as administrator. sudo says:"
  says "  Sorry, user carol is not allowed to execute '/usr/bin/apt-get"
  says "An administrator of this machine can allow it with this line in sudoers"
  says "  carol ALL=(root) /usr/bin/apt-get or install the packages Tallowind needs in a root shell"
  says "Nothing was installed"
  refusal_fits_a_screen
  never_says "apt says"
  never_says "apt failed"
  never_says "apt could not"
  passed=$((passed + 1))
done

# A rule of the user's own with NOPASSWD beside Debian's %sudo line: no
# password is asked for.
begin sudo-nopasswd
touch "$STATE/sudo-nopasswd"
echo 1000 >"$STATE/install-installs"
run_setup
((status == 0)) || fail "the set-up failed"
[[ ! -e "$STATE/sudo-asked" ]] || fail "sudo asked for a password"
never_says "sudo asks for your password"
passed=$((passed + 1))

# Ctrl+C at sudo's prompt, heard by sudo alone: a stop, not a refusal.
begin sudo-prompt-interrupted
touch "$STATE/sudo-interrupted"
run_setup
((status == 130)) || fail "the set-up ended with $status, not as interrupted (130)"
tail -n 1 "$STATE/out" | grep -q "^Stopped on Ctrl+C: nothing was installed" || fail "its last line does not say it stopped"
never_says "sudo refused"
passed=$((passed + 1))

# One package missing, which brings an upgrade of one of the machine's.
begin one-package-and-an-upgrade
awk '!/^#/ && NF { print $2 }' "$source/scripts/packages.txt" | grep -vx xterm >"$STATE/installed"
printf '%s\n' "Inst libc6 [2.36-9] (2.36-9+deb12u4 Debian:12.5/stable [amd64])" \
  "Inst xterm (379-1 Debian:12.5/stable [amd64])" >"$STATE/dry-run-plan"
echo 1000 >"$STATE/install-installs"
run_setup
((status == 0)) || fail "the set-up failed"
says "Tallowind needs 1 package that this machine does not have yet:"
says "On the way apt upgrades packages this machine has: libc6."
says "Installing 2 packages (with what they depend on)... done"
passed=$((passed + 1))

# The set-up on a terminal, which $STATE/screen records.
run_setup_on_a_terminal() {
  touch "$STATE/screen"
  status=0
  PATH="$work/bin:$PATH" script -qfec "$work/tree/scripts/setup.sh test" "$STATE/screen" >"$STATE/out" 2>&1 </dev/null || status=$?
}

# On a terminal each count shows as its line arrives: apt waits for it.
begin progress-on-a-terminal
echo 1000 >"$STATE/install-installs"
run_setup_on_a_terminal
((status == 0)) || fail "the set-up failed"
[[ ! -s "$STATE/unseen" ]] || fail "a count did not show as its line arrived: $(cat "$STATE/unseen")"
passed=$((passed + 1))

# sudo that keeps no password between commands asks at each step that runs
# apt: each prompt on a line of its own, never after a step's label, and
# why it asks again said once, after the first password. With a rule that
# allows apt-get alone it asks again at once, as it refuses DEBIAN_FRONTEND
# after the first password: why, said before it asks.
for rule in any apt-get-alone; do
  begin "sudo-keeps-no-password-$rule"
  touch "$STATE/sudo-keeps-no-password"
  first_prompts=1
  if [[ $rule == apt-get-alone ]]; then
    touch "$STATE/sudo-no-setenv"
    echo "^env " >"$STATE/sudo-refuses"
    first_prompts=2
  fi
  echo 1000 >"$STATE/install-installs"
  run_setup_on_a_terminal
  ((status == 0)) || fail "the set-up failed"
  # Per message, how many prompts came before it, and how often it came.
  read -r prompts glued no_variable no_variables keeps keeps_told <<<"$(tr -d '\r' <"$STATE/screen" | awk '
    /\[sudo\] password for carol:/ { prompts++; if (index($0, "[sudo]") != 1) glued++ }
    /sudo does not let your account set DEBIAN_FRONTEND/ { variable = prompts; variables++ }
    /sudo keeps no password between commands/ { keeps = prompts; kept++ }
    END { print prompts + 0, glued + 0, variable + 0, variables + 0, keeps + 0, kept + 0 }')"
  ((prompts == first_prompts + 2)) || fail "sudo asked $prompts times, not at the first check, the update and the install"
  ((glued == 0)) || fail "a password prompt followed other words on its line"
  ((keeps_told == 1 && keeps == first_prompts)) || fail "it does not say once, after the first password, why sudo asks again"
  if [[ $rule == apt-get-alone ]]; then
    ((no_variables == 1 && no_variable == 1)) || fail "it does not say once, before sudo asks again, that DEBIAN_FRONTEND was refused"
  else
    ((no_variables == 0)) || fail "it says that DEBIAN_FRONTEND was refused"
  fi
  never_says "the time sudoers lets it keep the password"
  says "Updating apt's package lists... done"
  passed=$((passed + 1))
done

# Ctrl+C during the install: the set-up says at once that it stops once
# apt has finished (apt waits for that).
begin install-ctrl-c-heard
echo 2 >"$STATE/install-installs"
interrupt_setup_at install-working
[[ ! -s "$STATE/unseen" ]] || fail "it did not say at once that it stops once apt has finished"
(($(grep -c "Stopping once apt has finished what it began" "$STATE/out") == 1)) || fail "it does not say once that it stops"
passed=$((passed + 1))

# The tool's own configure is a step like the others, its output in the
# log, shown in full where it fails. With $STATE/cmake-started, a pipe,
# CMake says there that it is at work and runs until it is stopped. A
# build runs CMake again first where $STATE/build-stale exists, as ninja
# does once a file CMake read has changed; CMake's run ends that.
cat >"$work/bin/cmake" <<'FAKE'
#!/bin/sh
if [ "$1" = --build ]; then
  if [ -f "$STATE/build-stale" ]; then
    echo "[1/2] Re-running CMake..."
    echo "-- Could NOT find XKB (missing: XKB_LIBRARY)"
  fi
  echo "[2/2] Linking CXX executable tallowind"
  exit 0
fi
rm -f "$STATE/build-stale"
echo "$*" >>"$STATE/configures"
echo "-- The CXX compiler identification is GNU 12.2.0"
echo "-- Could NOT find XKB (missing: XKB_LIBRARY)"
if [ -p "$STATE/cmake-started" ]; then
  echo started >"$STATE/cmake-started"
  exec /bin/sleep 600
fi
[ -f "$STATE/cmake-error" ] && { cat "$STATE/cmake-error"; exit 1; }
echo "-- Build files have been written to: $PWD/$4"
FAKE
chmod +x "$work/bin/cmake"
for outcome in succeeds fails; do
  begin "configure-$outcome"
  [[ $outcome == succeeds ]] || echo "CMake Error at CMakeLists.txt:1 (project): broken" >"$STATE/cmake-error"
  status=0
  PATH="$work/bin:$PATH" "$work/tree/scripts/configure.sh" build -G Ninja >"$STATE/out" 2>&1 </dev/null || status=$?
  logs "Could NOT find XKB"
  if [[ $outcome == succeeds ]]; then
    ((status == 0)) || fail "the configure failed"
    [[ "$(cat "$STATE/out")" == "Configuring Tallowind's build in build... done" ]] || fail "it shows more than its step"
  else
    ((status != 0)) || fail "the configure reported success"
    says "Configuring Tallowind's build in build... failed"
    says "Could NOT find XKB"
    says "CMake Error at CMakeLists.txt:1 (project): broken"
  fi
  passed=$((passed + 1))
done

# Ctrl+C while CMake runs: the step stops, as the set-up's others do.
begin configure-interrupted
under_test=("$work/tree/scripts/configure.sh" build -G Ninja)
interrupt_setup_at cmake-started
under_test=("$work/tree/scripts/setup.sh" test)
says "Configuring Tallowind's build in build... stopped"
ends_saying "Stopped on Ctrl\\+C: [^:]*nothing was built or started\\."
never_says "CMake could not"
never_says "Could NOT find XKB"
passed=$((passed + 1))

# make builds in a fresh folder, and after whisper.cpp was built anew (its
# package files, which CMake read, are new): CMake runs once, as a quiet
# step, not within the build's own output; a fresh folder's run picks the
# generator. No line make shows is wider than a terminal.
for folder in fresh after-whisper-rebuilt; do
  begin "make-build-$folder"
  cp "$source/Makefile" "$work/tree/"
  awk '!/^#/ && NF { print $2 }' "$source/scripts/packages.txt" >"$STATE/installed"
  mkdir -p "$work/tree/build"
  [[ $folder == fresh ]] || touch "$work/tree/build/build.ninja" "$STATE/build-stale"
  status=0
  PATH="$work/bin:$PATH" make --no-print-directory -C "$work/tree" build >"$STATE/out" 2>&1 </dev/null || status=$?
  ((status == 0)) || fail "make build failed"
  fits_80_columns
  (($(grep -c "Configuring Tallowind's build in build" "$STATE/out") == 1)) || fail "it shows more than one configure"
  (($(wc -l <"$STATE/configures") == 1)) || fail "CMake configured $(wc -l <"$STATE/configures") times"
  if [[ $folder == fresh ]]; then
    grep -q -- "-G Ninja" "$STATE/configures" || fail "the fresh folder's configure did not pick the generator"
  else
    ! grep -q -- "-G Ninja" "$STATE/configures" || fail "it configured the folder afresh"
  fi
  says "Configuring Tallowind's build in build... done"
  says "Linking CXX executable tallowind"
  never_says "Could NOT find XKB"
  logs "Could NOT find XKB"
  rm -r "$work/tree/build" "$work/tree/Makefile"
  passed=$((passed + 1))
done

# Ctrl+C during the install: apt finishes what it began and says so,
# whether it then exits 0 or 130. The set-up stops with one line saying
# what was installed, and builds nothing.
for apt_status in 0 130; do
  begin "install-interrupted-$apt_status"
  echo 2 >"$STATE/install-installs"
  echo "$apt_status" >"$STATE/install-interrupted"
  run_setup
  ((status == 130)) || fail "the set-up ended with $status, not as interrupted (130)"
  [[ ! -e "$STATE/built" ]] || fail "it built after Ctrl+C"
  ends_saying "Stopped on Ctrl\\+C, once apt had finished: installed build-essential cmake; not installed: .*xterm.*; nothing was built or started\." \
    "its last line does not say it stopped, and what was installed"
  (($(grep -c "Stopped on Ctrl+C" "$STATE/out") == 1)) || fail "it does not say once that it stopped"
  passed=$((passed + 1))
done

# The build's output is shown in full where it fails.
begin build-fails
echo "ggml.c:7:1: error: expected ';'" >"$STATE/build-error"
run_setup
((status != 0)) || fail "the set-up reported success"
says "whisper.cpp could not be built"
says "warning: unused variable"
says "error: expected ';'"
passed=$((passed + 1))

# Ctrl+C during the build (as root: the whole foreground group gets it).
begin build-interrupted
interrupt_setup_at build-started FAKE_UID=0
ends_saying "Stopped on Ctrl\\+C: [^:]*whisper.cpp was not built, and nothing was started\." \
  "its last line does not say it stopped before the build was done"
passed=$((passed + 1))

echo "$passed passed, 0 failed"
