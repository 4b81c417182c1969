#!/usr/bin/env bash
# scripts/build-whisper.sh builds the source the lockfile pins: where
# node_modules holds another version of nodejs-whisper, or the same version
# with another integrity hash (a pull that moved the pin), it fetches anew
# before it builds; where it holds the pinned one, it fetches nothing. A
# fetch that still leaves another package fails the build and stamps
# nothing. No network: npm and cmake are fakes.
set -euo pipefail
source=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/bin"
# npm ci puts the package of $STATE/fetched in place, as the registry
# serves it.
cat >"$work/bin/npm" <<'FAKE'
#!/bin/sh
echo "$*" >>"$STATE/npm-calls"
rm -rf node_modules
cp -R "$STATE/fetched" node_modules
FAKE
# cmake notes the source it configures.
cat >"$work/bin/cmake" <<'FAKE'
#!/bin/sh
[ "$1" = -S ] && cat "$2/CMakeLists.txt" >>"$STATE/configured"
exit 0
FAKE
chmod +x "$work/bin/"*

# Writes node_modules (at FOLDER) holding nodejs-whisper VERSION, recorded
# with HASH. Usage: package FOLDER VERSION HASH
package() {
  mkdir -p "$1/nodejs-whisper/cpp/whisper.cpp"
  echo "{\"name\": \"nodejs-whisper\", \"version\": \"$2\"}" >"$1/nodejs-whisper/package.json"
  echo "# whisper.cpp of nodejs-whisper $2" >"$1/nodejs-whisper/cpp/whisper.cpp/CMakeLists.txt"
  echo "{\"packages\": {\"node_modules/nodejs-whisper\": {\"version\": \"$2\", \"integrity\": \"sha512-$3\"}}}" \
    >"$1/.package-lock.json"
}

passed=0
fail() {
  echo "FAILED ($case_name): $1"
  echo "--- output:"; cat "$STATE/out"
  exit 1
}
# A tree whose lockfile pins 0.3.2 with hash "new", built before from what
# node_modules holds now (VERSION, HASH); npm would fetch FETCHED_VERSION.
# Usage: begin NAME VERSION HASH FETCHED_VERSION FETCHED_HASH
begin() {
  case_name=$1
  export STATE=$work/$1
  tree=$STATE/tree
  mkdir -p "$tree/scripts" "$tree/third_party" "$tree/.deps/whisper"
  cp "$source/scripts/build-whisper.sh" "$tree/scripts/"
  echo '{"packages": {"": {"dependencies": {"nodejs-whisper": "0.3.2"}},
    "node_modules/nodejs-whisper": {"version": "0.3.2", "integrity": "sha512-new"}}}' >"$tree/third_party/package-lock.json"
  package "$tree/third_party/node_modules" "$2" "$3"
  package "$STATE/fetched" "$4" "$5"
  echo "the stamp of the last build" >"$tree/.deps/whisper/.stamp"
  touch "$STATE/npm-calls" "$STATE/configured"
  status=0
  PATH="$work/bin:$PATH" "$tree/scripts/build-whisper.sh" >"$STATE/out" 2>&1 </dev/null || status=$?
}
builds_the_pinned_source() {
  ((status == 0)) || fail "the build failed"
  [[ "$(cat "$STATE/configured")" == "# whisper.cpp of nodejs-whisper 0.3.2" ]] ||
    fail "it built another source: $(cat "$STATE/configured")"
  PATH="$work/bin:$PATH" "$tree/scripts/build-whisper.sh" --up-to-date || fail "it did not stamp its build"
}

for installed in "0.3.1 old" "0.3.2 other"; do
  read -r version hash <<<"$installed"
  begin "installed-$version-$hash" "$version" "$hash" 0.3.2 new
  (($(grep -c "^ci " "$STATE/npm-calls") == 1)) || fail "it did not fetch the pinned package once"
  builds_the_pinned_source
  passed=$((passed + 1))
done

begin installed-as-pinned 0.3.2 new 0.3.2 new
[[ ! -s "$STATE/npm-calls" ]] || fail "it fetched what node_modules holds already"
builds_the_pinned_source
passed=$((passed + 1))

begin fetch-leaves-another 0.3.1 old 0.3.1 old
((status != 0)) || fail "the build reported success"
[[ ! -s "$STATE/configured" ]] || fail "it built: $(cat "$STATE/configured")"
! PATH="$work/bin:$PATH" "$tree/scripts/build-whisper.sh" --up-to-date || fail "it stamped a build"
grep -qF "nodejs-whisper 0.3.2 is pinned; node_modules holds 0.3.1" "$STATE/out" ||
  fail "it does not say what node_modules holds"
passed=$((passed + 1))

echo "$passed passed, 0 failed"
