#!/usr/bin/env bash
# What writing chapters onto the 1-hour file costs, next to copying it.
#
#   bench/chapters-bench.sh [RUNS]      (default 10)
#
# Uses the 1-hour 128 kbit/s file of bench/cut-bench.sh (made once, cached
# under bench/cache/). With hyperfine, the mean of RUNS runs each, all writing
# into bench/cache/ (the file system the source is on, as cat does):
#   --chapters-every 5:00       12 chapters
#   --chapters-from LIST        a range list of 360 titled chapters
#   cat of the file             the target: the chapter runs at most 2 x this
#   --split-chapters            12 pieces of the chaptered file, with --keep-tags,
#                               next to cat of it into one file
set -euo pipefail
runs=${1:-10}
cd "$(dirname "$0")/.."
. bench/need-tools.sh
need_tools hyperfine:hyperfine ffmpeg:ffmpeg lame:lame sox:sox

. bench/hour-file.sh
bench_start chapters-out
for ((i = 0; i < 360; i++)); do
    echo "$((i * 10)) $((i * 10 + 10)) Chapter $((i + 1)) of the hour"
done >"$out/list.txt"
"$cut" "$hour" --chapters-every 5:00 -o "$out/chaptered.mp3"
cat "$hour" "$out/chaptered.mp3" >/dev/null # in the page cache

hyperfine -N -w 2 -r "$runs" --export-markdown "$out/write.md" \
    -n "snipwave-cut --chapters-every 5:00" "$cut $hour --chapters-every 5:00 -o $out/every.mp3" \
    -n "snipwave-cut --chapters-from (360)" "$cut $hour --chapters-from $out/list.txt -o $out/from.mp3" \
    -n "cat" "sh -c 'cat $hour >$out/cat.mp3'"
hyperfine -N -w 1 -r "$runs" --export-markdown "$out/split.md" \
    -n "snipwave-cut --split-chapters --keep-tags" \
    "sh -c 'rm -rf $out/split; $cut $out/chaptered.mp3 --split-chapters --keep-tags -d $out/split'" \
    -n "cat" "sh -c 'cat $out/chaptered.mp3 >$out/cat.mp3'"
cat "$out/write.md" "$out/split.md"
rm -rf "$out"/*.mp3 "$out/split"
