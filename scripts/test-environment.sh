#!/usr/bin/env bash
# Runs a test program in an environment of the tests' own making, whatever
# the shell ctest was started from: a terminal of a desktop session carries
# its display, session bus, Wayland socket, desktop name, theme and input
# method (QT_IM_MODULE=ibus starts a D-Bus thread in every Qt program), and
# none of them may reach a case, a private session or the listing of cases.
#
# Usage: test-environment.sh [NAME=VALUE ...] -- PROGRAM [ARGUMENTS ...]
#
# Of the caller's environment only these are kept: PATH, HOME, USER,
# LOGNAME, TMPDIR, the tests' own TALLOWIND_TEST_* settings, the folders a
# developer names for pictures, and the variables a case's ctest properties
# set, which they list by name in TALLOWIND_TEST_KEEP. The NAME=VALUE pairs
# come on top.
set -euo pipefail

keep=(PATH HOME USER LOGNAME TMPDIR TALLOWIND_SNAPSHOT_DIR TALLOWIND_SHOTS_DIR TALLOWIND_SCREENSHOT_DIR)
read -r -a case_set <<<"${TALLOWIND_TEST_KEEP:-}"
keep+=("${case_set[@]}")
while IFS= read -r name; do
  [[ "$name" == TALLOWIND_TEST_* && "$name" != TALLOWIND_TEST_KEEP ]] && keep+=("$name")
done < <(compgen -e)

# GTK picks an input method it finds installed (ibus, fcitx5) when none is
# named: the cases' GTK programs type through none, whatever the machine has.
environment=(GTK_IM_MODULE=gtk-im-context-simple)
for name in "${keep[@]}"; do
  [[ -v "$name" ]] && environment+=("$name=${!name}")
done
while (($#)) && [[ "$1" != -- ]]; do
  [[ "$1" == *=* ]] || { echo "test-environment.sh: expected NAME=VALUE, got '$1'" >&2; exit 2; }
  environment+=("$1")
  shift
done
[[ "${1:-}" == -- && $# -ge 2 ]] || { echo "test-environment.sh: no program after --" >&2; exit 2; }
shift
exec env -i "${environment[@]}" "$@"
