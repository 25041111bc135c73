#!/usr/bin/env bash
# How fast the loudness envelope of a 4-minute song and of a 1-hour file
# reaches the selection bar (632 columns, the bar's width in the window).
#
#   bench/envelope-bench.sh [ROUNDS]      (default 9)
#
# Generates once, cached under bench/cache/, a 4-minute 128 kbit/s 44.1 kHz
# stereo MP3 of plucked chords, a sweep and noise at changing levels, and a
# 1-hour file of 15 copies of it. Prints, per file, the median time from the
# start to the first columns, to each quarter of the bar and to the whole bar,
# and the CPU time beside it: CPU / wall near 2 means both cores worked.
# Run it on an otherwise idle machine: the wall times are shares of the cores.
set -euo pipefail
rounds=${1:-9}
cd "$(dirname "$0")/.."
root=$PWD

for tool in sox lame; do
    command -v "$tool" >/dev/null 2>&1 || { echo "needs $tool" >&2; exit 2; }
done

[ -f build/CMakeCache.txt ] || cmake -S . -B build >/dev/null
cmake --build build --target envelopebench >/dev/null

cache=$root/bench/cache
song=$cache/song-4min.mp3
hour=$cache/song-1hour.mp3
mkdir -p "$cache"
if [ ! -s "$hour" ]; then
    echo "Generating $song and $hour (once)..."
    tmp=$(mktemp -d "$cache/gen.XXXXXX")
    sox -n -r 44100 -c 2 "$tmp/a.wav" synth 20 pluck C3 pluck E3 pluck G3 tremolo 0.5 80 fade 0 20 5
    sox -n -r 44100 -c 2 "$tmp/b.wav" synth 20 sine 220-880 sine 330 tremolo 0.2 90 vol 0.6
    sox -n -r 44100 -c 2 "$tmp/c.wav" synth 20 pinknoise vol 0.3 tremolo 1 95
    sox $(for _ in 1 2 3 4; do echo "$tmp/a.wav $tmp/b.wav $tmp/c.wav"; done) "$tmp/song.wav"
    lame --quiet -b 128 "$tmp/song.wav" "$tmp/song.mp3"
    sox $(for _ in $(seq 15); do echo "$tmp/song.wav"; done) "$tmp/hour.wav"
    lame --quiet -b 128 "$tmp/hour.wav" "$tmp/hour.mp3"
    mv "$tmp/song.mp3" "$song"
    mv "$tmp/hour.mp3" "$hour"
    rm -rf "$tmp"
fi

"$root/build/envelopebench" --rounds "$rounds" --columns 632 "$song" "$hour"
