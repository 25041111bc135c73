#!/usr/bin/env bash
# How fast snipwave-cut cuts 5 minutes out of a 1-hour MP3, next to its peers.
#
#   bench/cut-bench.sh [ROUNDS]      (default 15, at least 10)
#
# Generates once, cached under bench/cache/, a 1-hour 128 kbit/s 44.1 kHz
# stereo MP3 with an ID3v2 tag (title, artist and a cover picture). Each round
# then runs, in an order shuffled anew every round so that any drift of
# the machine hits all of them alike:
#   snipwave-cut   cutting 50:00 to 55:00, in whole frames, --exact and
#                  --keep-tags
#   mp3splt        the same cut (its default mode for a CBR file)
#   ffmpeg         the same cut with -c copy
#   dd             copying as many bytes as snipwave-cut wrote: the floor of
#                  raw copying, not a peer
#   floor          bench/readfloor: a program on QtCore that starts, reads
#                  the whole source once and copies the same bytes; what any
#                  cut that walks every frame header pays before its own work
# Before each timed run the outputs are removed and the page cache written
# back, outside the timing: every tool writes a new file on a quiet disk.
# It prints the median wall time of each, its peak RSS (GNU time's %M, median
# of separate runs so the timing runs carry no extra process), and the ratio
# of snipwave-cut to the fastest peer and to dd. Targets: <= 0.25 x the
# fastest peer, <= 2 x dd, RSS <= 20 MB.
# Last, it shows that memory does not grow with the source: the peak RSS of
# snipwave-cut cutting 5 minutes out of the end of a 1 GB and a 4 GB file
# (18 and 70 copies of the hour, made once) next to a 30-second cut of a
# 1 MB file, in both modes.
#
# The tools come from Debian: mp3splt, ffmpeg, lame, sox and time are installed
# when missing, for this benchmark only.
set -euo pipefail
rounds=${1:-15}
[ "$rounds" -ge 10 ] || { echo "at least 10 rounds" >&2; exit 2; }
cd "$(dirname "$0")/.."
root=$PWD

. bench/need-tools.sh
need_tools mp3splt:mp3splt ffmpeg:ffmpeg lame:lame sox:sox /usr/bin/time:time python3:python3

[ -f build/CMakeCache.txt ] || cmake -S . -B build >/dev/null
cmake --build build --target snipwave-cut readfloor >/dev/null
cut=$root/build/snipwave-cut

cache=$root/bench/cache
source_mp3=$cache/hour-128k-44100-stereo.mp3
. bench/hour-file.sh
make_hour_file "$source_mp3"

# Every run finds the source in the page cache as reading fills it, the way a
# file stands there after it was read from disk or played: flushed, dropped
# and read back in. Left as the encoder's small writes put it there, its pages
# are small and every tool, snipwave-cut most, pays more to reach them.
python3 - "$source_mp3" <<'PY'
import os, sys
fd = os.open(sys.argv[1], os.O_RDONLY)
os.fsync(fd)
os.posix_fadvise(fd, 0, 0, os.POSIX_FADV_DONTNEED)
while os.read(fd, 1 << 20):
    pass
os.close(fd)
PY

out=$cache/out
rm -rf "$out"
mkdir -p "$out/mp3splt"

# The byte range dd copies: the size snipwave-cut writes, from about 50:00 on.
"$cut" "$source_mp3" -s 50:00 -e 55:00 -o "$out/snipwave.mp3"
bytes=$(stat -c %s "$out/snipwave.mp3")
tag=$("$cut" --info "$source_mp3" | python3 -c 'import json,sys; print(json.load(sys.stdin)["firstFrameOffset"])')
skip=$((tag + 3000 * 16000))

python3 "$root/bench/cut-bench.py" "$rounds" "$bytes" "$out" \
    "snipwave-cut|$cut $source_mp3 -s 50:00 -e 55:00 -o $out/snipwave.mp3" \
    "snipwave-cut --exact|$cut $source_mp3 -s 50:00 -e 55:00 -o $out/exact.mp3 --exact" \
    "snipwave-cut --keep-tags|$cut $source_mp3 -s 50:00 -e 55:00 -o $out/tags.mp3 --keep-tags" \
    "mp3splt|mp3splt -q -d $out/mp3splt -o cut $source_mp3 50.00 55.00" \
    "ffmpeg|ffmpeg -nostdin -loglevel error -y -ss 3000 -t 300 -i $source_mp3 -c copy $out/ffmpeg.mp3" \
    "floor|$root/build/readfloor $source_mp3 $skip $bytes $out/floor.mp3" \
    "dd|dd if=$source_mp3 of=$out/dd.mp3 bs=1M iflag=skip_bytes,count_bytes skip=$skip count=$bytes status=none"

big=$cache/18-hours.mp3
huge=$cache/70-hours.mp3
small=$cache/1-megabyte.mp3
for item in "18|$big" "70|$huge"; do
    copies=${item%%|*}
    file=${item#*|}
    if [ ! -s "$file" ]; then
        for _ in $(seq "$copies"); do cat "$source_mp3"; done >"$file.part"
        mv "$file.part" "$file"
    fi
done
[ -s "$small" ] || head -c 1000000 "$source_mp3" >"$small"
peak() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
echo "peak RSS of snipwave-cut by source size (median of 5, KiB):"
cat "$big" "$huge" >/dev/null # in the page cache like the hour file
for item in "1 MB|$small|0:10|0:40" "1 GB|$big|17:50:00|17:55:00" "4 GB|$huge|69:50:00|69:55:00"; do
    IFS='|' read -r label file from to <<<"$item"
    for mode in "" --exact; do
        kib=$(for _ in 1 2 3 4 5; do peak "$cut" "$file" -s "$from" -e "$to" -o "$out/memory.mp3" $mode; done | median)
        printf '  %-5s source %-8s: %6s KiB\n' "$label" "${mode:-whole}" "$kib"
    done
done
