#!/usr/bin/env bash
# Checks the layered house (see ARCHITECTURE.md): a file under src/ includes
# only headers of its own layer or of layers below it, only app/ includes the
# platform backends, and only src/platform/<backend>/ includes the headers of
# X11, AT-SPI, Qt Multimedia, PulseAudio, pocketsphinx or the scheduler.
# Prints every violation as file:line and exits 1 when there is one.
#
# Usage: scripts/check-layers.sh [source-root]   (default: this checkout)
set -euo pipefail

root=${1:-"$(cd "$(dirname "$0")/.." && pwd)"}
cd "$root"

# tests/ and bench/ are harnesses: they may include any layer and drive X
# directly, so only src/ is checked.
mapfile -t files < <(find src -type f \( -name '*.h' -o -name '*.cpp' \) | LC_ALL=C sort)

awk '
# Layer of a path below src/, bottom to top. Backends share one rank and
# may not include each other.
function layer(path) {
    if (path ~ /^src\/base\//) return "base"
    if (path ~ /^src\/platform\/[^\/]+\//) { split(path, p, "/"); return "platform/" p[3] }
    if (path ~ /^src\/platform\//) return "platform"
    if (path ~ /^src\/core\//) return "core"
    if (path ~ /^src\/recording\//) return "recording"
    if (path ~ /^src\/shell\/theme\//) return "shell/theme"
    if (path ~ /^src\/downloads\//) return "downloads"
    if (path ~ /^src\/shell\//) return "shell"
    if (path ~ /^src\/popover\//) return "popover"
    if (path ~ /^src\/settings\//) return "settings"
    if (path ~ /^src\/controller\//) return "controller"
    if (path ~ /^src\/app\//) return "app"
    return ""
}
function rank(l) {
    if (l == "base") return 0
    if (l == "platform") return 1
    if (l ~ /^platform\//) return 2
    if (l == "core") return 3
    if (l == "recording") return 4
    if (l == "shell/theme") return 5
    if (l == "downloads") return 6
    if (l == "shell") return 7
    if (l == "popover") return 8
    if (l == "settings") return 9
    if (l == "controller") return 10
    if (l == "app") return 11
    return -1
}
# Collapses "a/b/../c" and "./" so relative includes resolve.
function normalize(path,    n, parts, out, i, k) {
    n = split(path, parts, "/")
    k = 0
    for (i = 1; i <= n; i++) {
        if (parts[i] == "." || parts[i] == "") continue
        if (parts[i] == ".." && k > 0 && out[k] != "..") { k--; continue }
        out[++k] = parts[i]
    }
    path = ""
    for (i = 1; i <= k; i++) path = path (i > 1 ? "/" : "") out[i]
    return path
}
function report(msg) {
    printf "%s:%d: %s\n", FILENAME, FNR, msg
    failures++
}
BEGIN {
    for (i = 1; i < ARGC; i++) exists[ARGV[i]] = 1
    os = "^(sched\\.h|X11/|xcb/|atspi/|atk|pulse/|pocketsphinx|sphinxbase/|QtMultimedia|QAudio|QMedia|QSoundEffect|QCamera|QVideo|QImageCapture|QScreenCapture|QWindowCapture)"
}
FNR == 1 {
    own = layer(FILENAME)
    dir = FILENAME
    sub(/\/[^\/]*$/, "", dir)
    if (own == "") report("folder outside the layer map; add it to scripts/check-layers.sh, CMakeLists.txt and ARCHITECTURE.md")
}
/^[ \t]*#[ \t]*include[ \t]*</ {
    header = $0
    sub(/^[^<]*</, "", header)
    sub(/>.*/, "", header)
    if (header ~ os && own !~ /^platform\//)
        report("<" header "> belongs in a backend under src/platform/")
    next
}
/^[ \t]*#[ \t]*include[ \t]*"/ {
    header = $0
    sub(/^[^"]*"/, "", header)
    sub(/".*/, "", header)
    target = normalize(dir "/" header)
    if (!(target in exists)) target = normalize("src/" header)
    if (!(target in exists)) next   # generated (moc) or system header
    theirs = layer(target)
    if (theirs == own || own == "") next
    if (theirs ~ /^platform\//) {
        if (own != "app") report("\"" header "\": only app/ (the composition root) includes a platform backend")
    } else if (rank(theirs) > rank(own)) {
        report("\"" header "\": " own "/ must not include the higher layer " theirs "/")
    }
}
END {
    if (failures) {
        printf "check-layers: %d include(s) break the layer order (see ARCHITECTURE.md)\n", failures
        exit 1
    }
}
' "${files[@]}"
