#!/usr/bin/env bash
# How fast snipwave-cut removes a range and joins files, next to copying the
# same bytes and to its peers.
#
#   bench/edit-bench.sh [RUNS]      (default 10)
#
# Uses the 1-hour 128 kbit/s file of bench/cut-bench.sh (made there once,
# cached under bench/cache/). With hyperfine, medians of RUNS runs each:
#   --remove 25:00-30:00   next to cat of the bytes it writes (the two halves)
#   --join hour hour       next to cat of the two files, mp3wrap, and
#                          ffmpeg -f concat -c copy
#   batch --every 1:00 --exact of an 8-hour file, next to the same job in
#                          whole frames: one scan for the whole job either way
# Targets: the edits at most 2 x cat; the exact job at most 3 x whole frames.
# Peak RSS of each mode (GNU time's %M) follows.
set -euo pipefail
runs=${1:-10}
cd "$(dirname "$0")/.."
. bench/need-tools.sh
need_tools hyperfine:hyperfine mp3wrap:mp3wrap ffmpeg:ffmpeg lame:lame sox:sox /usr/bin/time:time

. bench/hour-file.sh
bench_start edit-out
eight=$cache/8-hours.mp3
if [ ! -s "$eight" ]; then
    for _ in 1 2 3 4 5 6 7 8; do cat "$hour"; done >"$eight.part"
    mv "$eight.part" "$eight"
fi
cat "$hour" "$eight" >/dev/null # in the page cache

# The bytes --remove keeps, as two pieces for cat to put together.
"$cut" "$hour" -s 0 -e 25:00 -o "$out/a.mp3"
"$cut" "$hour" -s 30:00 -e 1:00:00 -o "$out/b.mp3"
printf "file '%s'\nfile '%s'\n" "$hour" "$hour" >"$out/list.txt"

hyperfine -N -w 2 -r "$runs" --export-markdown "$out/remove.md" \
    -n "snipwave-cut --remove" "$cut $hour --remove 25:00-30:00 -o $out/removed.mp3" \
    -n "cat" "sh -c 'cat $out/a.mp3 $out/b.mp3 >$out/cat.mp3'"
hyperfine -N -w 2 -r "$runs" --export-markdown "$out/join.md" \
    -n "snipwave-cut --join" "$cut --join $hour $hour -o $out/joined.mp3" \
    -n "cat" "sh -c 'cat $hour $hour >$out/cat2.mp3'" \
    -n "mp3wrap" "sh -c 'rm -f $out/wrap_MP3WRAP.mp3; mp3wrap -v $out/wrap.mp3 $hour $hour >/dev/null'" \
    -n "ffmpeg concat" "ffmpeg -nostdin -loglevel error -y -f concat -safe 0 -i $out/list.txt -c copy $out/ff.mp3"
hyperfine -N -w 1 -r 3 --export-markdown "$out/batch.md" \
    -n "every 1:00, whole frames" "sh -c 'rm -rf $out/w; $cut $eight --every 1:00 -d $out/w'" \
    -n "every 1:00, exact" "sh -c 'rm -rf $out/x; $cut $eight --every 1:00 --exact -d $out/x'"
cat "$out/remove.md" "$out/join.md" "$out/batch.md"

peak() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1; }
echo "peak RSS (KiB): remove $(peak "$cut" "$hour" --remove 25:00-30:00 -o "$out/removed.mp3")," \
     "join $(peak "$cut" --join "$hour" "$hour" -o "$out/joined.mp3")," \
     "join of 8 hours $(peak "$cut" --join "$eight" "$eight" -o "$out/joined8.mp3")"
rm -f "$out"/*.mp3
