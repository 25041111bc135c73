#!/usr/bin/env bash
# How fast snipwave-cut splits a 1-hour MP3 into many pieces, next to mp3splt.
#
#   bench/batch-bench.sh [ROUNDS]      (default 5, at least 3)
#
# Generates once, cached under bench/cache/, a 1-hour 128 kbit/s 44.1 kHz
# stereo MP3 that sounds like speech: bursts of band-limited noise with a
# syllable rhythm over a -70 dBFS noise floor, a 0.4 s breath at 4 s and a
# 2 s pause at 8 s of every 10 seconds. Each round then runs, in an order
# shuffled anew every round, each into an emptied folder:
#   every     snipwave-cut --every 5:00              mp3splt -t 5.00
#   silences  snipwave-cut --silences                mp3splt -s -p th=-45,min=1.5
#   cue       snipwave-cut --cue (20 tracks)         snipwave-cut of the whole hour
# Every run starts in that emptied folder, so that mp3splt finds no silence
# log (mp3splt.log) of an earlier run to take its split points from. It then
# prints each one's median wall time, its median processor time (user +
# system: on a machine shared with other work this says more than the wall
# time), its peak RSS (GNU time's %M, the largest of the rounds), and the
# ratios the targets are set on, of both times:
#   every     <= 0.25 x mp3splt -t;   silences <= 0.2 x mp3splt -s (aim 0.05);
#   cue       <= 2 x one cut of the whole file;   RSS <= 20 MB.
# Last, where the silence split points fall: every one inside a 2 s pause,
# and none in a 10-minute piece of music without pauses.
#
# mp3splt, ffmpeg, lame and GNU time come from Debian and are installed when
# missing, for this benchmark only.
set -euo pipefail
rounds=${1:-5}
[ "$rounds" -ge 3 ] || { echo "at least 3 rounds" >&2; exit 2; }
cd "$(dirname "$0")/.."
root=$PWD

. bench/need-tools.sh
need_tools mp3splt:mp3splt ffmpeg:ffmpeg lame:lame /usr/bin/time:time python3:python3

[ -f build/CMakeCache.txt ] || cmake -S . -B build >/dev/null
cmake --build build --target snipwave-cut >/dev/null
cut=$root/build/snipwave-cut

cache=$root/bench/cache
speech=$cache/hour-speech-128k-44100-stereo.mp3
music=$cache/music-10min-128k.mp3
mkdir -p "$cache"
if [ ! -s "$speech" ]; then
    echo "Generating $speech (once, a few minutes)..."
    ffmpeg -nostdin -loglevel error -f lavfi \
        -i "anoisesrc=c=pink:a=0.5:d=3600:r=44100,highpass=f=200,lowpass=f=3500,tremolo=f=4:d=0.9,volume='if(between(mod(t\,10)\,4\,4.4)+gte(mod(t\,10)\,8)\,0\,1)':eval=frame" \
        -f lavfi -i "anoisesrc=c=white:a=0.001:d=3600:r=44100" \
        -filter_complex "[0][1]amix=inputs=2:normalize=0" -ac 2 -f wav - |
        lame --quiet --cbr -b 128 - "$speech.part"
    mv "$speech.part" "$speech"
fi
if [ ! -s "$music" ]; then
    # Two tones that drift apart, never quieter than -25 dBFS.
    ffmpeg -nostdin -loglevel error -f lavfi \
        -i "aevalsrc='0.25*sin(2*PI*(220+t/3)*t)*(0.7+0.3*sin(2*PI*0.5*t))|0.25*sin(2*PI*(330-t/4)*t)':s=44100:d=600" \
        -f wav - | lame --quiet --cbr -b 128 - "$music.part"
    mv "$music.part" "$music"
fi
cat "$speech" "$music" >/dev/null   # in the page cache for every tool alike

out=$cache/batch-out
rm -rf "$out"
mkdir -p "$out"
sheet=$out/hour.cue
python3 - "$sheet" "$(basename "$speech")" <<'PY'
import sys
with open(sys.argv[1], "w") as f:
    f.write('PERFORMER "Snipwave"\nTITLE "Benchmark"\nFILE "%s" MP3\n' % sys.argv[2])
    for n in range(20):
        s = n * 180
        f.write('  TRACK %02d AUDIO\n    TITLE "Chapter %d"\n    INDEX 01 %02d:%02d:00\n' % (n + 1, n + 1, s // 60, s % 60))
PY

python3 - "$rounds" "$out" \
    "every|$cut $speech --every 5:00 -d DIR" \
    "mp3splt -t|mp3splt -q -t 5.00 -d DIR $speech" \
    "silences|$cut $speech --silences -d DIR" \
    "mp3splt -s|mp3splt -q -s -p th=-45,min=1.5 -d DIR $speech" \
    "cue|$cut $speech --cue $sheet -d DIR" \
    "one cut|$cut $speech -s 0 -e 60:00 -o DIR/whole.mp3" <<'PY'
import os, random, shutil, statistics, subprocess, sys, time
rounds, out, items = int(sys.argv[1]), sys.argv[2], [a.split("|", 1) for a in sys.argv[3:]]
times = {name: [] for name, _ in items}
cpu = {name: [] for name, _ in items}
rss = {name: 0 for name, _ in items}
for r in range(rounds):
    order = items[:]
    random.shuffle(order)
    for name, command in order:
        folder = os.path.join(out, "run")
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        argv = ["/usr/bin/time", "-f", "%M %U %S"] + command.replace("DIR", folder).split()
        start = time.perf_counter()
        done = subprocess.run(argv, cwd=folder, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        times[name].append(time.perf_counter() - start)
        if done.returncode != 0:
            sys.exit("%s failed: %s" % (name, done.stderr))
        kib, user, system = done.stderr.strip().splitlines()[-1].split()
        rss[name] = max(rss[name], int(kib))
        cpu[name].append(float(user) + float(system))
med = {name: statistics.median(v) for name, v in times.items()}
mcpu = {name: statistics.median(v) for name, v in cpu.items()}
print("%-11s %9s %9s %9s" % ("", "wall s", "cpu s", "peak KiB"))
for name, _ in items:
    print("%-11s %9.3f %9.3f %9d" % (name, med[name], mcpu[name], rss[name]))
print()
print("%-34s %6s %6s" % ("ratio", "wall", "cpu"))
def ratio(label, a, b, target):
    q = med[a] / med[b]
    c = mcpu[a] / max(mcpu[b], 0.01)
    print("%-34s %6.3f %6.3f  (target <= %s) %s" % (label, q, c, target, "ok" if q <= target else "MISSED"))
ratio("every / mp3splt -t", "every", "mp3splt -t", 0.25)
ratio("silences / mp3splt -s", "silences", "mp3splt -s", 0.2)
ratio("cue (20 tracks) / one whole cut", "cue", "one cut", 2)
worst = max(rss[n] for n in ("every", "silences", "cue"))
print("%-34s %6d  (target <= 20480 KiB) %s" % ("snipwave-cut peak RSS, KiB", worst, "ok" if worst <= 20480 else "MISSED"))
PY

# Split points are times as the player has them, the audio lame was given.
echo
"$cut" "$speech" --silences -d "$out" --dry-run | python3 -c '
import json, sys
points = json.load(sys.stdin)["splitPoints"]
inside = [p for p in points if 8 <= p % 10 <= 10]
print("speech: %d split points, %d inside the 2 s pauses (359 pauses between sounds)" % (len(points), len(inside)))'
"$cut" "$music" --silences -d "$out" --dry-run | python3 -c '
import json, sys
print("music without pauses: %d split points" % len(json.load(sys.stdin)["splitPoints"]))'
