#!/usr/bin/env bash
# scripts/setup.sh against a fake apt that fails at each of its steps: the
# set-up shows apt's own errors, the cause and what to do, and what was
# installed; it waits for another package manager's lock before giving up.
set -euo pipefail
source=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A copy of the set-up whose engine build only leaves a mark.
mkdir -p "$work/tree/scripts" "$work/bin"
cp "$source/scripts/setup.sh" "$source/scripts/packages.txt" "$work/tree/scripts/"
printf '#!/bin/sh\ntouch "$STATE/built"\n' >"$work/tree/scripts/build-whisper.sh"

# The fakes keep a case's state in $STATE: the packages installed, the
# calls to apt and to sleep (which returns at once).
cat >"$work/bin/dpkg-query" <<'FAKE'
#!/bin/sh
grep -qsx -- "$3" "$STATE/installed" || exit 1
printf 'install ok installed'
FAKE
printf '#!/bin/sh\nexec "$@"\n' >"$work/bin/sudo"
printf '#!/bin/sh\necho "$1" >>"$STATE/slept"\n' >"$work/bin/sleep"
# Per step (update, dry-run, install): $STATE/STEP-locked counts the calls
# that find the lock held; then apt installs the number of packages in
# $STATE/install-installs and fails with $STATE/STEP-error, if there is one.
cat >"$work/bin/apt-get" <<'FAKE'
#!/bin/bash
echo "$*" >>"$STATE/calls"
case " $* " in
  *" update "*) step=update lock=/var/lib/apt/lists/lock ;;
  *" -s "*) step=dry-run ;;
  *) step=install lock=/var/lib/dpkg/lock-frontend ;;
esac
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
  printf '%s\n' "${packages[@]:0:count}" >>"$STATE/installed"
fi
[[ -f "$STATE/$step-error" ]] || exit 0
cat "$STATE/$step-error" >&2
exit 100
FAKE
chmod +x "$work/bin/"* "$work/tree/scripts/build-whisper.sh"

passed=0
# Starts a case: the fake apt's state goes to $work/NAME.
begin() {
  case_name=$1
  export STATE=$work/$1
  mkdir "$STATE"
  touch "$STATE/calls" "$STATE/slept" "$STATE/installed"
}
run_setup() {
  status=0
  PATH="$work/bin:$PATH" "$work/tree/scripts/setup.sh" test >"$STATE/out" 2>&1 </dev/null || status=$?
}
fail() {
  echo "FAILED ($case_name): $1"
  echo "--- output:"; cat "$STATE/out"
  echo "--- apt-get calls:"; cat "$STATE/calls"
  exit 1
}
says() { grep -qF -- "$1" "$STATE/out" || fail "it does not say: $1"; }
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
run_setup
((status == 0)) || fail "the set-up failed once the lock was free"
waits_once
(($(grep -c "^update" "$STATE/calls") == 3)) || fail "it did not update again once the lock was free"
grep -q "^install -y" "$STATE/calls" || fail "it did not install"
[[ -e "$STATE/built" ]] || fail "it did not build the engine"
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
passed=$((passed + 1))

echo "$passed passed, 0 failed"
