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

# Whether node_modules holds the package the lockfile pins, by version and
# integrity hash: a pull that moves the pin leaves the old one in place. npm
# writes its record of node_modules (.package-lock.json) last, so a fetch
# cut short (Ctrl+C) has none. Says what it found otherwise.
installed_as_pinned() {
  [[ -f "$src/CMakeLists.txt" ]] || { echo "node_modules holds no whisper.cpp source"; return 1; }
  (cd third_party && node -e '
    const fs = require("fs");
    const read = (file) => { try { return JSON.parse(fs.readFileSync(file, "utf8")); } catch { return {}; } };
    const name = "node_modules/nodejs-whisper";
    const pinned = (read("package-lock.json").packages || {})[name] || {};
    const recorded = (read("node_modules/.package-lock.json").packages || {})[name] || {};
    const present = read(name + "/package.json");
    const same = pinned.version && pinned.integrity && recorded.integrity === pinned.integrity
      && recorded.version === pinned.version && present.version === pinned.version;
    if (!same)
      console.log(`nodejs-whisper ${pinned.version} is pinned; node_modules holds ${present.version || "none"}`
        + ` (recorded ${recorded.version || "none"}, ${recorded.integrity || "no integrity hash"})`);
    process.exit(same ? 0 : 1);
  ')
}

if ! installed_as_pinned; then
  # npm ci starts node_modules afresh. Its cache and logs stay in the
  # project, not in the user's home.
  (cd third_party && npm ci --ignore-scripts --no-audit --no-fund --no-update-notifier \
    --cache "$root/.deps/npm-cache" --logs-dir "$root/.deps/npm-logs")
  # Never build, and stamp as pinned, a source that is not.
  installed_as_pinned || { echo "npm ci did not install the pinned nodejs-whisper" >&2; exit 1; }
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
