#!/usr/bin/env bash
# Configures a build of Tallowind as a step of the set-up: one line of its
# own, CMake's output to .deps/setup.log, shown in full should it fail.
# Without CMake arguments it brings an existing build's configuration up to
# date, and shows a step only where there is one to do: ninja would re-run
# CMake itself, in full view, once a file CMake read has changed (whisper.cpp's
# package files, which every build of whisper.cpp writes anew).
# Usage: configure.sh BUILD_FOLDER [CMAKE_ARGUMENTS ...]
set -euo pipefail
cd "$(dirname "$0")/.."
# Ctrl+C reaches CMake; the step says that it stopped once CMake has ended.
interrupted=0
trap 'interrupted=1' INT
source scripts/setup-steps.sh
build=$1
shift
configure=(cmake -S . -B "$build" "$@")
if (($# == 0)) && [[ -f "$build/build.ninja" ]]; then
  [[ "$(ninja -C "$build" -n build.ninja 2>&1)" != *"no work to do"* ]] || exit 0
  configure=(ninja -C "$build" build.ninja)
fi
echo "scripts/configure.sh $build, $(date)" >>"$log"
begin_step "Configuring Tallowind's build in $build"
status=0
run_logged configure 0 "${configure[@]}" || status=$?
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
