#!/usr/bin/env bash
# GIF decode throughput, ours beside ffmpeg's, one thread each, on the same file.
# Usage: bench/gif_decode_vs_ffmpeg.sh [BUILD_DIR] [GIF]
# Builds with -DBREVANTO_BUILD_BENCHMARKS=ON expected (target brevanto_bench).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-bench}
gif=${2:-$root/../shared/testdata/gif/valid/wuffs-gifplayer-muybridge.gif}
[[ -f $gif ]] || { echo "no GIF at $gif" >&2; exit 1; }
if [[ ! -x $build/bench/brevanto_bench ]]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBREVANTO_BUILD_BENCHMARKS=ON -DBREVANTO_BUILD_UI=OFF \
    -DBREVANTO_BUILD_TESTS=OFF >/dev/null
  cmake --build "$build" -j2 --target brevanto_bench >/dev/null
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Frames x screen pixels: what both decoders compose.
read -r frames width height < <(ffprobe -v error -count_frames -select_streams v:0 \
  -show_entries stream=nb_read_frames,width,height -of csv=p=0 "$gif" | awk -F, '{print $3, $1, $2}')
mpix=$(awk -v f="$frames" -v w="$width" -v h="$height" 'BEGIN{print f*w*h/1e6}')

BREVANTO_BENCH_GIF=$gif "$build/bench/brevanto_bench" --benchmark_filter='^GifDecode' \
  --benchmark_format=json --benchmark_min_time=1 >"$tmp/ours.json"
ours=$(python3 -c "import json,sys; b=json.load(open('$tmp/ours.json'))['benchmarks'][0]; print(b['MPixels/s'])")

hyperfine -N --warmup 3 --runs 20 --export-json "$tmp/ffmpeg.json" \
  "ffmpeg -v error -threads 1 -i $gif -f null -" \
  "ffmpeg -v error -threads 1 -i $gif -frames:v 1 -f null -" >/dev/null
read -r full one < <(python3 -c "
import json; r=json.load(open('$tmp/ffmpeg.json'))['results']; print(r[0]['mean'], r[1]['mean'])")
ffmpeg_raw=$(awk -v m="$mpix" -v t="$full" 'BEGIN{print m/t}')
ffmpeg_net=$(awk -v m="$mpix" -v t="$full" -v s="$one" 'BEGIN{d=t-s; if (d<=0) d=t; print m/d}')
printf 'file            %s (%s frames of %sx%s, %.1f Mpixels)\n' "$(basename "$gif")" "$frames" "$width" "$height" "$mpix"
printf 'ours            %8.1f Mpixels/s\n' "$ours"
printf 'ffmpeg          %8.1f Mpixels/s (whole process)\n' "$ffmpeg_raw"
printf 'ffmpeg decode   %8.1f Mpixels/s (minus start-up and first frame)\n' "$ffmpeg_net"
printf 'ratio           %8.2fx (whole process)  %.2fx (decode only)\n' \
  "$(awk -v a="$ours" -v b="$ffmpeg_raw" 'BEGIN{print a/b}')" "$(awk -v a="$ours" -v b="$ffmpeg_net" 'BEGIN{print a/b}')"
