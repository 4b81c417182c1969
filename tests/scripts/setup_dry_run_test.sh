#!/usr/bin/env bash
# scripts/setup.sh against an apt whose dry run fails: it shows apt's own
# error and what to do, installs nothing and fails.
set -euo pipefail
source=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir "$work/bin"
# Nothing is installed; sudo just runs the command; apt plans nothing.
printf '#!/bin/sh\nexit 1\n' > "$work/bin/dpkg-query"
printf '#!/bin/sh\nexec "$@"\n' > "$work/bin/sudo"
cat > "$work/bin/apt-get" <<APT
#!/bin/sh
echo "\$*" >> "$work/apt-calls"
case " \$* " in
  *" update "*) exit 0 ;;
  *" -s "*) echo "E: Unable to locate package libbogus-dev" >&2; exit 100 ;;
esac
exit 0
APT
chmod +x "$work/bin/"*

status=0
PATH="$work/bin:$PATH" "$source/scripts/setup.sh" test >"$work/out" 2>&1 </dev/null || status=$?
fail() { echo "FAILED: $1"; echo "--- output:"; cat "$work/out"; echo "--- apt-get calls:"; cat "$work/apt-calls"; exit 1; }

((status != 0)) || fail "the set-up reported success"
grep -q "E: Unable to locate package libbogus-dev" "$work/out" || fail "apt's own error is not shown"
grep -q "sudo apt-get update" "$work/out" || fail "no advice for a package apt cannot find"
grep -q "Nothing was installed" "$work/out" || fail "it does not say that nothing was installed"
if grep -v -e " -s " -e "update" "$work/apt-calls" | grep -q install; then
  fail "it installed after a failed dry run"
fi
echo "1 passed, 0 failed"
