#!/usr/bin/env bash
# Configures a build of Tallowind as a step of the set-up: one line of its
# own, CMake's output to .deps/setup.log, shown in full should it fail.
# The Makefile runs it before every build: once a file CMake read has
# changed (whisper.cpp's package files, which every build of whisper.cpp
# writes anew), ninja would otherwise run CMake again in full view.
# Usage: configure.sh BUILD_FOLDER [CMAKE_ARGUMENTS ...]
set -euo pipefail
cd "$(dirname "$0")/.."
# Ctrl+C reaches CMake; the step says that it stopped once CMake has ended.
interrupted=0
trap 'interrupted=1' INT
source scripts/setup-steps.sh
build=$1
shift
echo "scripts/configure.sh $build, $(date)" >>"$log"
begin_step "Configuring Tallowind's build in $build"
status=0
run_logged configure 0 cmake -S . -B "$build" "$@" || status=$?
if ((interrupted || status == 130)); then
  end_step stopped
  say "Stopped on Ctrl+C: Tallowind's build in $build is not configured; nothing was built or started."
  exit 130
fi
if ((status != 0)); then
  end_step failed
  say "CMake could not configure the build. It says (this is also in $log):" >&2
  cat "$step_output" >&2
  exit "$status"
fi
end_step "done"
