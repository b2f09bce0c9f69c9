#!/usr/bin/env bash
# GIF decode throughput, ours beside ffmpeg's, one thread each, in one run on two files:
# dense full frames (t200: 200 frames of ffmpeg's testsrc2 at 320x240, made here in a temporary
# folder) and an optimised GIF with small changed areas (muybridge from the sample corpus).
# Usage: bench/gif_decode_vs_ffmpeg.sh [BUILD_DIR] [OPTIMISED_GIF]
# Builds with -DBREVANTO_BUILD_BENCHMARKS=ON expected (target brevanto_bench).
#
# Rates are Mpixels (frames x screen) per second of CPU time: ours from the benchmark's thread
# time, ffmpeg's from its -benchmark user + system time minus that of a run that decodes only
# the first frame (start-up, probing). The best of several runs each, since other load on a
# shared machine only ever slows a run down.
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
  --benchmark_filter='^GifDecode/' --benchmark_format=json --benchmark_min_time=1 --benchmark_repetitions=5 \
  --benchmark_report_aggregates_only=false >"$tmp/ours.json"

printf '%-10s %-34s %10s %10s %8s %8s %10s\n' file "frames x screen" ours ffmpeg ratio "ours ms" "ffmpeg ms"
for kind in dense optimised; do
  gif=$dense
  [[ $kind == optimised ]] && gif=$optimised
  read -r frames width height < <(ffprobe -v error -count_frames -select_streams v:0 \
    -show_entries stream=nb_read_frames,width,height -of csv=p=0 "$gif" | awk -F, '{print $3, $1, $2}')
  mpix=$(awk -v f="$frames" -v w="$width" -v h="$height" 'BEGIN{print f*w*h/1e6}')
  # The fastest of the repetitions: other load on the machine only ever slows a run down.
  read -r ours oursms < <(python3 -c "
import json
runs = [b for b in json.load(open('$tmp/ours.json'))['benchmarks']
        if b['name'] == 'GifDecode/$kind' and b.get('run_type') == 'iteration']
best = max(runs, key=lambda b: b['MPixels/s'])
print(best['MPixels/s'], best['cpu_time'])")
  # ffmpeg's own -benchmark CPU times (user + system), the least of several runs each.
  ffmpeg_cpu() {
    local best=
    for _ in 1 2 3 4 5 6 7 8; do
      local t
      t=$(ffmpeg -hide_banner -nostdin -benchmark -threads 1 -i "$gif" "$@" -f null - 2>&1 |
        sed -n 's/.*utime=\([0-9.]*\)s stime=\([0-9.]*\)s.*/\1 \2/p' | awk '{print $1 + $2}')
      best=$(awk -v a="$best" -v b="$t" 'BEGIN{print (a == "" || b < a) ? b : a}')
    done
    echo "$best"
  }
  full=$(ffmpeg_cpu)
  one=$(ffmpeg_cpu -frames:v 1)
  ffmpeg_rate=$(awk -v m="$mpix" -v t="$full" -v s="$one" 'BEGIN{d=t-s; if (d<=0) d=t; print m/d}')
  ffmpegms=$(awk -v t="$full" -v s="$one" 'BEGIN{print (t-s)*1000}')
  printf '%-10s %-34s %10.1f %10.1f %7.2fx %8.1f %10.1f\n' "$kind" \
    "$(basename "$gif" | cut -c1-18) ${frames}x${width}x${height}" "$ours" "$ffmpeg_rate" \
    "$(awk -v a="$ours" -v b="$ffmpeg_rate" 'BEGIN{print a/b}')" "$oursms" "$ffmpegms"
done
echo "(Mpixels/s of CPU time, one thread each; ratio = ours / ffmpeg; goal >= 2x on both files)"
