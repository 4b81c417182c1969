#!/usr/bin/env bash
# Configures a build of Tallowind as a step of the set-up: one line of its
# own, CMake's output to .deps/setup.log, shown in full should it fail.
# Usage: configure.sh BUILD_FOLDER [CMAKE_ARGUMENTS ...]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup-steps.sh
build=$1
shift
echo "scripts/configure.sh $build, $(date)" >>"$log"
begin_step "Configuring Tallowind's build in $build"
status=0
run_logged configure 0 cmake -S . -B "$build" "$@" || status=$?
if ((status != 0)); then
  end_step failed
  echo "CMake could not configure the build. It says (this is also in $log):" >&2
  cat "$step_output" >&2
  exit "$status"
fi
end_step "done"
