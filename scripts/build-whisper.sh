#!/usr/bin/env bash
# Fetches the pinned whisper.cpp source (npm, checked against the lockfile's
# integrity hash) and builds it once as a static library into .deps/.
# Usage: build-whisper.sh [--up-to-date]  (the latter: is it built already?)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
src=third_party/node_modules/nodejs-whisper/cpp/whisper.cpp
prefix=$root/.deps/whisper
stamp=$prefix/.stamp
lock_hash=$(sha256sum third_party/package-lock.json scripts/build-whisper.sh | sha256sum | cut -c1-16)

if [[ -f "$stamp" && "$(cat "$stamp")" == "$lock_hash" ]]; then
  exit 0
fi
[[ "${1:-}" != --up-to-date ]] || exit 1

# npm writes its record of node_modules last: without it an earlier fetch was
# cut short (Ctrl+C), and npm ci starts the folder afresh.
if [[ ! -f third_party/node_modules/.package-lock.json || ! -f "$src/CMakeLists.txt" ]]; then
  # npm's cache and logs stay in the project, not in the user's home.
  (cd third_party && npm ci --ignore-scripts --no-audit --no-fund --no-update-notifier \
    --cache "$root/.deps/npm-cache" --logs-dir "$root/.deps/npm-logs")
fi

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# AMX stays off: ggml's AMX kernels crash on quantized models.
no_amx="-mno-amx-tile -mno-amx-int8 -mno-amx-bf16"

rm -rf .deps/whisper-build "$prefix"
cmake -S "$src" -B .deps/whisper-build -G Ninja "${launcher[@]}" \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_POSITION_INDEPENDENT_CODE=ON \
  -DCMAKE_C_FLAGS="$no_amx" -DCMAKE_CXX_FLAGS="$no_amx" \
  -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DBUILD_SHARED_LIBS=OFF \
  -DGGML_NATIVE=ON -DGGML_OPENMP=OFF -DGGML_BLAS=OFF \
  -DGGML_AMX_TILE=OFF -DGGML_AMX_INT8=OFF -DGGML_AMX_BF16=OFF \
  -DWHISPER_BUILD_TESTS=OFF -DWHISPER_BUILD_EXAMPLES=OFF -DWHISPER_BUILD_SERVER=OFF \
  -DWHISPER_CURL=OFF -DWHISPER_SDL2=OFF >/dev/null
cmake --build .deps/whisper-build -j"$(nproc)"
cmake --install .deps/whisper-build >/dev/null
# The package config checks that the (empty) bin folder exists.
mkdir -p "$prefix/bin"
echo "$lock_hash" > "$stamp"
echo "whisper.cpp built into $prefix"
