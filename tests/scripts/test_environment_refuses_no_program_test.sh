#!/usr/bin/env bash
# scripts/test-environment.sh runs a program or nothing: a command line that
# names none is refused (status 2), rather than printing the environment and
# passing as a test that ran.
set -euo pipefail
script=$(cd "$(dirname "$0")/../.." && pwd)/scripts/test-environment.sh
fail() { echo "FAILED: $1"; exit 1; }

for arguments in "--" "A=1 --" "A=1"; do
  status=0
  # shellcheck disable=SC2086 # the arguments are split on purpose
  output=$("$script" $arguments 2>/dev/null) || status=$?
  ((status == 2)) || fail "'test-environment.sh $arguments' ended with $status, not 2"
  [[ -z "$output" ]] || fail "'test-environment.sh $arguments' printed: $output"
done
"$script" A=1 -- sh -c '[ "$A" = 1 ]' || fail "a program with its variable did not run"
echo "1 passed, 0 failed"
