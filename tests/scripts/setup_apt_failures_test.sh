#!/usr/bin/env bash
# scripts/setup.sh against a fake apt that fails at each of its steps: the
# set-up shows apt's own errors, the cause and what to do, and what was
# installed; it waits for another package manager's lock before giving up.
# It names the packages before sudo asks for a password, and sudo's refusal
# as such; it stops on Ctrl+C once apt has finished; its advice is written
# as the user types it; apt's and the build's output go to its log, shown
# only when their step fails.
set -euo pipefail
source=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A copy of the set-up whose engine build prints what a build prints and
# leaves a mark; it fails with $STATE/build-error, if there is one, and
# with $STATE/build-started it says so there and runs until it is stopped.
mkdir -p "$work/tree/scripts" "$work/bin"
cp "$source/scripts/setup.sh" "$source/scripts/packages.txt" "$work/tree/scripts/"
cat >"$work/tree/scripts/build-whisper.sh" <<'FAKE'
#!/bin/sh
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
# root unless FAKE_UID=0.
cat >"$work/bin/dpkg-query" <<'FAKE'
#!/bin/sh
grep -qsx -- "$3" "$STATE/installed" || exit 1
printf 'install ok installed'
FAKE
printf '#!/bin/sh\n[ "$1" = -u ] && exec echo "${FAKE_UID:-1000}"\nexec /usr/bin/id "$@"\n' >"$work/bin/id"
# sudo keeps what the set-up had said when it was first called, refuses
# with $STATE/sudo-refusal, if there is one, and -v checks nothing.
cat >"$work/bin/sudo" <<'FAKE'
#!/bin/sh
echo "$*" >>"$STATE/sudo-calls"
[ -e "$STATE/out-at-sudo" ] || cp "$STATE/out" "$STATE/out-at-sudo"
[ -f "$STATE/sudo-refusal" ] && { cat "$STATE/sudo-refusal" >&2; exit 1; }
[ "$1" = -v ] && exit 0
exec "$@"
FAKE
printf '#!/bin/sh\necho "$1" >>"$STATE/slept"\n' >"$work/bin/sleep"
# Per step (update, dry-run, install): $STATE/STEP-locked counts the calls
# that find the lock held; then apt installs the number of packages in
# $STATE/install-installs, printing what apt and dpkg print for each, and
# fails with $STATE/STEP-error, if there is one. With
# $STATE/install-interrupted it stops there as on Ctrl+C and exits with the
# status that file holds.
cat >"$work/bin/apt-get" <<'FAKE'
#!/bin/bash
echo "$*" >>"$STATE/calls"
case " $* " in
  *" update "*) step=update lock=/var/lib/apt/lists/lock ;;
  *" -s "*) step=dry-run ;;
  *) step=install lock=/var/lib/dpkg/lock-frontend ;;
esac
[[ $step == update ]] && echo "Get:1 http://deb.debian.org/debian bookworm InRelease [151 kB]"
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
    echo "Get:1 http://deb.debian.org/debian bookworm/main amd64 $package amd64 1.0 [1000 kB]"
    echo "Unpacking $package (1.0) ..."
    echo "Setting up $package (1.0) ..."
    echo "$package" >>"$STATE/installed"
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
  touch "$STATE/calls" "$STATE/sudo-calls" "$STATE/slept" "$STATE/installed"
}
run_setup() {
  status=0
  PATH="$work/bin:$PATH" "$work/tree/scripts/setup.sh" test >"$STATE/out" 2>&1 </dev/null || status=$?
}
fail() {
  echo "FAILED ($case_name): $1"
  echo "--- output:"; cat "$STATE/out"
  echo "--- apt-get calls:"; cat "$STATE/calls"
  echo "--- sudo calls:"; cat "$STATE/sudo-calls"
  exit 1
}
says() { grep -qF -- "$1" "$STATE/out" || fail "it does not say: $1"; }
never_says() { ! grep -qF -- "$1" "$STATE/out" || fail "it says: $1"; }
logs() { grep -qF -- "$1" "$log" || fail "its log does not hold: $1"; }
waits_once() {
  (($(grep -c "Waiting for another package manager (unattended-upgr, process 1234) to finish" "$STATE/out") == 1)) ||
    fail "it does not say once that it waits for the lock's holder"
  [[ -s "$STATE/slept" ]] || fail "it did not wait"
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
says "Building whisper.cpp, the speech engine... done"
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
grep -q "^Not installed: .*xterm" "$STATE/out" || fail "it does not name the packages still missing"
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

# sudo refuses the user or the password: no apt, and what an administrator
# can run instead.
for refusal in "carol is not in the sudoers file." "sudo: 3 incorrect password attempts"; do
  begin "sudo-refuses-${refusal//[^a-z0-9]/-}"
  echo "$refusal" >"$STATE/sudo-refusal"
  run_setup
  fails_without_install
  [[ ! -s "$STATE/calls" ]] || fail "it ran apt after sudo refused"
  grep -qF "xterm" "$STATE/out-at-sudo" || fail "it did not name the packages before calling sudo"
  says "Nothing was installed: sudo refused to run apt as administrator (root). sudo says:"
  says "  $refusal"
  says "  su -c 'apt-get update && apt-get install --no-install-recommends build-essential cmake"
  says "  sudo apt-get update && sudo apt-get install --no-install-recommends build-essential cmake"
  never_says "apt could not update"
  passed=$((passed + 1))
done
says "The password was not accepted"

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
  tail -n 1 "$STATE/out" | grep -q "^Stopped on Ctrl+C, once apt had finished: installed build-essential cmake; not installed: .*xterm" ||
    fail "its last line does not say it stopped, and what was installed"
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
mkfifo "$STATE/build-started"
exec {started}<>"$STATE/build-started"
set -m
FAKE_UID=0 PATH="$work/bin:$PATH" "$work/tree/scripts/setup.sh" test >"$STATE/out" 2>&1 </dev/null &
setup=$!
set +m
read -r -t 120 -u "$started" _ || fail "the build did not start"
kill -INT -- -"$setup"
status=0
wait "$setup" || status=$?
((status == 130)) || fail "the set-up ended with $status, not as interrupted (130)"
tail -n 1 "$STATE/out" | grep -q "^Stopped on Ctrl+C: .*whisper.cpp was not built" ||
  fail "its last line does not say it stopped before the build was done"
passed=$((passed + 1))

echo "$passed passed, 0 failed"
