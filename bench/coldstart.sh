#!/usr/bin/env bash
# How long Snipwave takes from process start to its first shown window.
#
#   bench/coldstart.sh [RUNS]      (default 15)
#
# Starts build/snipwave RUNS times on a private Xvfb display, each time in a
# fresh process, and prints every time and the median. Then times the
# registration of the bundled font on its own. Needs xvfb and the libxcb
# headers. Each run starts a new process, so dynamic loading, resource
# registration, font set-up and the first show are all counted; the files
# themselves come from the page cache after the first run.
set -euo pipefail
runs=${1:-15}
cd "$(dirname "$0")/.."

cmake --build build --target snipwave startwatch fontload >/dev/null

sandbox=$(mktemp -d)
xvfb_pid=
cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$sandbox"
}
trap cleanup EXIT

# A display of our own: nothing else maps windows there.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$sandbox/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do
    [ -s "$sandbox/display" ] && break
    sleep 0.05
done
display=":$(cat "$sandbox/display")"

# A private home, configuration and temporary folder keep the runs away from
# a real running instance and from the user's settings.
mkdir -p "$sandbox"/{tmp,home,config,runtime}
chmod 700 "$sandbox/runtime"
run_env=(env DISPLAY="$display" QT_QPA_PLATFORM=xcb TMPDIR="$sandbox/tmp" HOME="$sandbox/home"
         XDG_CONFIG_HOME="$sandbox/config" XDG_RUNTIME_DIR="$sandbox/runtime")

median() { sort -n | awk '{ v[NR] = $1 } END { m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; print m }'; }

echo "start to first shown window, $runs runs (ms):"
times=()
for _ in $(seq "$runs"); do
    times+=("$("${run_env[@]}" build/startwatch build/snipwave)")
done
echo "  ${times[*]}"
echo "  median $(printf '%s\n' "${times[@]}" | median)"

echo "font registration alone, $runs runs:"
register=()
for _ in $(seq "$runs"); do
    if ! line=$(QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$sandbox/runtime" build/fontload); then
        echo "  $line"
        exit 1
    fi
    echo "  $line"
    register+=("$(echo "$line" | awk '{ print $2 }')")
done
echo "  median registration $(printf '%s\n' "${register[@]}" | median) ms"
