#!/usr/bin/env bash
# How fast snipwave-cut changes the level of a 1-hour MP3, next to mp3gain.
#
#   bench/level-bench.sh [RUNS]      (default 10)
#
# Uses the 1-hour 128 kbit/s 44.1 kHz stereo MP3 that bench/cut-bench.sh
# generates under bench/cache/ (made here too when missing, the same way).
# hyperfine then measures, median wall time:
#   snipwave-cut --gain -3      a new file 2 steps quieter: no decoding
#   snipwave-cut --gain 3       2 steps louder: decodes once for the peak
#   mp3gain -g 2                the same change in place, on a fresh copy
#                               (the copy is made outside the timing)
#   cp + mp3gain -g 2           the same, copy included: a new file, as ours
#   snipwave-cut --normalize    decodes once to measure the loudness
#   mp3gain -r                  measures and applies the track gain, in place
#   cat                         the floor: the file's bytes to a new file
# and GNU time gives each snipwave-cut mode's peak RSS. Targets: --gain at
# most mp3gain -g; --normalize at most a fifth of mp3gain -r; RSS <= 20 MB.
#
# The tools come from Debian and are installed when missing.
set -euo pipefail
runs=${1:-10}
cd "$(dirname "$0")/.."

. bench/need-tools.sh
need_tools mp3gain:mp3gain hyperfine:hyperfine ffmpeg:ffmpeg lame:lame sox:sox /usr/bin/time:time python3:python3

. bench/hour-file.sh
bench_start level
source_mp3=$hour
cat "$source_mp3" >/dev/null # in the page cache

copy=$out/mp3gain.mp3

# One --prepare per command, in order. Each command writes a new file, as a
# person would (mp3gain its fresh copy, in place), and starts with nothing
# waiting to be written back: no command pays for the 57 MB that the one
# before it left in the page cache, nor for taking an old file's place.
hyperfine --runs "$runs" --warmup 1 --style basic --export-json "$out/times.json" \
    --prepare "rm -f $out/quieter.mp3 && sync" --prepare "rm -f $out/louder.mp3 && sync" \
    --prepare "cp $source_mp3 $copy && sync" --prepare "rm -f $copy && sync" \
    --prepare "rm -f $out/cat.mp3 && sync" \
    -n "snipwave-cut --gain -3" "$cut $source_mp3 -o $out/quieter.mp3 --gain -3" \
    -n "snipwave-cut --gain 3" "$cut $source_mp3 -o $out/louder.mp3 --gain 3" \
    -n "mp3gain -g 2" "mp3gain -q -g 2 $copy" \
    -n "cp + mp3gain -g 2" "cp $source_mp3 $copy && mp3gain -q -g 2 $copy" \
    -n "cat" "cat $source_mp3 > $out/cat.mp3" >/dev/null
hyperfine --runs 3 --style basic --export-json "$out/measure.json" \
    --prepare true --prepare "cp $source_mp3 $copy" \
    -n "snipwave-cut --normalize" "$cut $source_mp3 -o $out/normalized.mp3 --normalize" \
    -n "mp3gain -r" "mp3gain -q -r -k $copy" >/dev/null

rss() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1; }
python3 - "$out/times.json" "$out/measure.json" <<'PY'
import json, sys
rows = {}
for path in sys.argv[1:]:
    for r in json.load(open(path))["results"]:
        rows[r["command"]] = r["median"]
print(f"{'':28} {'median s':>9}")
for name, t in rows.items():
    print(f"{name:28} {t:9.3f}")
print(f"--gain -3 / mp3gain -g 2:    {rows['snipwave-cut --gain -3'] / rows['mp3gain -g 2']:.2f}")
print(f"--gain -3 / cp + mp3gain:    {rows['snipwave-cut --gain -3'] / rows['cp + mp3gain -g 2']:.2f}")
print(f"--normalize / mp3gain -r:    {rows['snipwave-cut --normalize'] / rows['mp3gain -r']:.2f}")
PY
echo "peak RSS (KiB):"
for mode in "--gain -3" "--gain 3" "--normalize"; do
    printf '  %-14s %6s\n' "$mode" "$(rss "$cut" "$source_mp3" -o "$out/rss.mp3" $mode)"
done
