#!/usr/bin/env bash
# GIF decode throughput, ours beside ffmpeg's, one thread each, in one run on two files:
# dense full frames (t200: 200 frames of ffmpeg's testsrc2 at 320x240, made here in a temporary
# folder) and an optimised GIF with small changed areas (muybridge from the sample corpus).
# Usage: bench/gif_decode_vs_ffmpeg.sh [BUILD_DIR] [OPTIMISED_GIF]
# Builds with -DBREVANTO_BUILD_BENCHMARKS=ON expected (target brevanto_bench).
#
# Rates are Mpixels (frames x screen) per second of CPU time (user + system): ours from the
# benchmark's thread time, ffmpeg's from the process minus a run that decodes only the first
# frame (start-up, probing). On a quiet machine wall time gives the same figures.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-bench}
optimised=${2:-$root/../shared/testdata/gif/valid/wuffs-gifplayer-muybridge.gif}
[[ -f $optimised ]] || { echo "no GIF at $optimised" >&2; exit 1; }
if [[ ! -x $build/bench/brevanto_bench ]]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBREVANTO_BUILD_BENCHMARKS=ON -DBREVANTO_BUILD_UI=OFF \
    -DBREVANTO_BUILD_TESTS=OFF >/dev/null
  cmake --build "$build" -j2 --target brevanto_bench >/dev/null
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
dense=$tmp/t200.gif
ffmpeg -v error -f lavfi -i testsrc2=size=320x240:rate=10 -frames:v 200 "$dense"

BREVANTO_BENCH_GIF=$optimised BREVANTO_BENCH_DENSE_GIF=$dense "$build/bench/brevanto_bench" \
  --benchmark_filter='^GifDecode/' --benchmark_format=json --benchmark_min_time=1 >"$tmp/ours.json"

printf '%-10s %-34s %10s %10s %8s %8s\n' file "frames x screen" ours ffmpeg ratio "ours ms"
for kind in dense optimised; do
  gif=$dense
  [[ $kind == optimised ]] && gif=$optimised
  read -r frames width height < <(ffprobe -v error -count_frames -select_streams v:0 \
    -show_entries stream=nb_read_frames,width,height -of csv=p=0 "$gif" | awk -F, '{print $3, $1, $2}')
  mpix=$(awk -v f="$frames" -v w="$width" -v h="$height" 'BEGIN{print f*w*h/1e6}')
  read -r ours oursms < <(python3 -c "
import json
for b in json.load(open('$tmp/ours.json'))['benchmarks']:
    if b['name'] == 'GifDecode/$kind': print(b['MPixels/s'], b['cpu_time'])")
  hyperfine -N --warmup 3 --runs 20 --export-json "$tmp/ffmpeg-$kind.json" \
    "ffmpeg -v error -threads 1 -i $gif -f null -" \
    "ffmpeg -v error -threads 1 -i $gif -frames:v 1 -f null -" >/dev/null
  ffmpeg_rate=$(python3 -c "
import json
r = json.load(open('$tmp/ffmpeg-$kind.json'))['results']
cpu = [x['user'] + x['system'] for x in r]
d = cpu[0] - cpu[1]
print($mpix / (d if d > 0 else cpu[0]))")
  printf '%-10s %-34s %10.1f %10.1f %7.2fx %8.1f\n' "$kind" \
    "$(basename "$gif" | cut -c1-18) ${frames}x${width}x${height}" "$ours" "$ffmpeg_rate" \
    "$(awk -v a="$ours" -v b="$ffmpeg_rate" 'BEGIN{print a/b}')" "$oursms"
done
echo "(Mpixels/s of CPU time, one thread each; ratio = ours / ffmpeg; goal >= 2x on both files)"
