#!/usr/bin/env bash
# What --keep-tags costs a batch job on a source with a large tag.
#
#   bench/tags-bench.sh [ROUNDS] [CUT]     (default 3 rounds, build/snipwave-cut)
#
# Generates once, cached under bench/cache/, a 1-hour 128 kbit/s MP3 whose
# ID3v2.3 tag holds an 8 MB cover (a noise picture, which JPEG cannot shrink).
# Each round then runs, in this order:
#   plan       --every 10 --dry-run                  (360 pieces, no tags)
#   plan+tags  --every 10 --keep-tags --dry-run
#   write      --every 5:00 --keep-tags -d DIR       (12 pieces, each with the cover)
#   plan+chapters  plan+tags of a copy with 12 chapters: every piece's tags are
#              its own, and are rendered only as it is written
# and prints each one's median wall time and its peak RSS (GNU time's %M, the
# largest of the rounds). The tag is read and rendered once per job, so
# plan+tags should cost about one cover's size over plan, whatever the
# number of pieces. CUT may name another build of snipwave-cut to compare.
set -euo pipefail
rounds=${1:-3}
cd "$(dirname "$0")/.."
root=$PWD

. bench/need-tools.sh
need_tools ffmpeg:ffmpeg /usr/bin/time:time python3:python3

if [ -n "${2:-}" ]; then
    cut=$2
else
    [ -f build/CMakeCache.txt ] || cmake -S . -B build >/dev/null
    cmake --build build --target snipwave-cut >/dev/null
    cut=$root/build/snipwave-cut
fi

cache=$root/bench/cache
tagged=$cache/hour-cover8m-128k.mp3
mkdir -p "$cache"
if [ ! -s "$tagged" ]; then
    echo "Generating $tagged (once, a minute or two)..."
    ffmpeg -nostdin -loglevel error -y -f lavfi -i "nullsrc=s=3840x2880,geq=lum='random(1)*255':cb=128:cr=128" \
        -frames:v 1 -q:v 1 "$cache/cover8m.jpg"
    ffmpeg -nostdin -loglevel error -y -f lavfi -i "sine=f=440:d=3600:r=44100" -ac 2 -c:a libmp3lame -b:a 128k \
        "$cache/hour-plain.part.mp3"
    ffmpeg -nostdin -loglevel error -y -i "$cache/hour-plain.part.mp3" -i "$cache/cover8m.jpg" -map 0:a -map 1 \
        -c copy -id3v2_version 3 -metadata title="An hour" -metadata:s:v comment="Cover (front)" "$tagged.part.mp3"
    rm "$cache/hour-plain.part.mp3"
    mv "$tagged.part.mp3" "$tagged"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
results=$work/results
chaptered=$work/chaptered.mp3
"$cut" "$tagged" --chapters-every 5:00 -o "$chaptered"
for ((r = 0; r < rounds; r++)); do
    for run in plan plan+tags write plan+chapters; do
        rm -rf "$work/out" && mkdir "$work/out"
        case $run in
            plan) args=(--every 10 --dry-run) ;;
            plan+tags) args=(--every 10 --keep-tags --dry-run) ;;
            write) args=(--every 5:00 --keep-tags) ;;
            plan+chapters) args=(--every 10 --keep-tags --dry-run) ;;
        esac
        source=$tagged
        [ "$run" = plan+chapters ] && source=$chaptered
        /usr/bin/time -f "$run %e %M" -a -o "$results" "$cut" "$source" "${args[@]}" -d "$work/out" >/dev/null
    done
done

python3 - "$results" <<'EOF'
import statistics, sys
wall, rss = {}, {}
for line in open(sys.argv[1]):
    name, seconds, kb = line.split()
    wall.setdefault(name, []).append(float(seconds))
    rss[name] = max(rss.get(name, 0), int(kb))
for name in wall:
    print(f"{name:14} {statistics.median(wall[name]):7.2f} s  {rss[name] / 1024:8.1f} MB")
EOF
