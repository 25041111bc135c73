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

# Each run writes a new file on a quiet disk: the outputs are removed and the
# page cache written back before it, outside the timing.
fresh() { echo "sh -c 'rm -rf $*; sync'"; }
hyperfine -N -w 2 -r "$runs" --export-json "$out/remove.json" \
    --prepare "$(fresh "$out/removed.mp3")" --prepare "$(fresh "$out/cat.mp3")" \
    -n "snipwave-cut --remove" "$cut $hour --remove 25:00-30:00 -o $out/removed.mp3" \
    -n "cat" "sh -c 'cat $out/a.mp3 $out/b.mp3 >$out/cat.mp3'" >/dev/null
hyperfine -N -w 2 -r "$runs" --export-json "$out/join.json" \
    --prepare "$(fresh "$out/joined.mp3")" --prepare "$(fresh "$out/cat2.mp3")" \
    --prepare "$(fresh "$out/wrap.mp3" "$out/wrap_MP3WRAP.mp3")" --prepare "$(fresh "$out/ff.mp3")" \
    -n "snipwave-cut --join" "$cut --join $hour $hour -o $out/joined.mp3" \
    -n "cat" "sh -c 'cat $hour $hour >$out/cat2.mp3'" \
    -n "mp3wrap" "sh -c 'mp3wrap -v $out/wrap.mp3 $hour $hour >/dev/null'" \
    -n "ffmpeg concat" "ffmpeg -nostdin -loglevel error -y -f concat -safe 0 -i $out/list.txt -c copy $out/ff.mp3" \
    >/dev/null
hyperfine -N -w 1 -r 3 --export-json "$out/batch.json" \
    --prepare "$(fresh "$out/w")" --prepare "$(fresh "$out/x")" \
    -n "every 1:00, whole frames" "$cut $eight --every 1:00 -d $out/w" \
    -n "every 1:00, exact" "$cut $eight --every 1:00 --exact -d $out/x" >/dev/null
python3 - "$out/remove.json" "$out/join.json" "$out/batch.json" <<'PY'
import json, sys
print(f"{'':28}{'median ms':>10}{'ratio':>8}   (to cat; the exact job to whole frames)")
for path in sys.argv[1:]:
    results = json.load(open(path))["results"]
    base = next(r["median"] for r in results if r["command"] in ("cat", "every 1:00, whole frames"))
    for r in results:
        print(f"{r['command']:28}{r['median'] * 1e3:10.1f}{r['median'] / base:8.2f}")
PY
peak() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1; }
echo "peak RSS (KiB): remove $(peak "$cut" "$hour" --remove 25:00-30:00 -o "$out/removed.mp3")," \
     "join $(peak "$cut" --join "$hour" "$hour" -o "$out/joined.mp3")," \
     "join of 8 hours $(peak "$cut" --join "$eight" "$eight" -o "$out/joined8.mp3")"
rm -f "$out"/*.mp3
