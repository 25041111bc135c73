# Sourced by the benchmarks: the 1-hour 128 kbit/s 44.1 kHz stereo source
# they share, made once under bench/cache/ with a tag and a cover picture.
#   make_hour_file PATH
make_hour_file() {
    local path=$1 tmp
    [ -s "$path" ] && return 0
    echo "Generating $path (once)..."
    mkdir -p "$(dirname "$path")"
    tmp=$(mktemp -d "$(dirname "$path")/gen.XXXXXX")
    # A noisy cover picture puts plenty of 0xFF bytes into the tag.
    ffmpeg -nostdin -loglevel error -f lavfi -i "nullsrc=s=300x300,geq=lum='random(1)*255':cb=128:cr=128" \
        -frames:v 1 "$tmp/cover.jpg"
    # Two tones that drift apart, so the encoder has something to encode.
    sox -n -r 44100 -c 2 -b 16 "$tmp/hour.wav" synth 3600 sine 220-880 sine 330-660 vol 0.5
    lame --quiet --cbr -b 128 --tt "Snipwave benchmark" --ta "Snipwave" --ti "$tmp/cover.jpg" \
        "$tmp/hour.wav" "$tmp/hour.mp3"
    mv "$tmp/hour.mp3" "$path"
    rm -rf "$tmp"
}

# The start the benchmarks share, from the project's root: snipwave-cut
# built, the 1-hour source made, and an empty folder for what the benchmark
# writes. Sets cut, cache, hour and out.
#   bench_start FOLDER_NAME
bench_start() {
    [ -f build/CMakeCache.txt ] || cmake -S . -B build >/dev/null
    cmake --build build --target snipwave-cut >/dev/null
    cut=$PWD/build/snipwave-cut
    cache=$PWD/bench/cache
    hour=$cache/hour-128k-44100-stereo.mp3
    make_hour_file "$hour"
    out=$cache/$1
    rm -rf "$out"
    mkdir -p "$out"
}
