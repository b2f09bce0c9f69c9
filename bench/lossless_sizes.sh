#!/usr/bin/env bash
# Movie sizes of the picture kinds: per GIF its own bytes, the JPEG movie at quality 100, the
# lossless movie (both by brevanto-convert at the GIF's size), and ffmpeg's mjpeg-in-SWF movie
# at -q:v 2 with its PSNR against the GIF's frames; then the totals and the checks (lossless
# total <= 1.25 x the GIFs' bytes; each lossless movie smaller than its JPEG q100 movie: the
# last column, with the count of failures at the end). Also the wall time of each conversion run.
# Besides the given GIFs, three long animations are made with ffmpeg's test sources
# (testsrc2, life, mandelbrot) unless NO_LONG=1. NO_FFMPEG=1 leaves out ffmpeg's movies (the
# checks then take seconds).
#
#   bench/lossless_sizes.sh BUILD_DIR [GIF...]   (default: the valid sample GIFs)
set -uo pipefail
build=${1:?usage: lossless_sizes.sh BUILD_DIR [GIF...]}
shift
here=$(cd "$(dirname "$0")/.." && pwd)
conv=$build/cli/brevanto-convert
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
gifs=("$@")
((${#gifs[@]})) || gifs=("$here"/../shared/testdata/gif/valid/*.gif)
if [[ ${NO_LONG:-0} != 1 ]]; then
  mkdir -p "$scratch/long"
  make_gif() {  # name, lavfi source
    ffmpeg -v error -f lavfi -i "$2" -filter_complex "[0:v]split[a][b];[a]palettegen[p];[b][p]paletteuse" \
      -y "$scratch/long/$1.gif"
  }
  make_gif testsrc2 "testsrc2=size=320x240:rate=10:duration=20"
  make_gif life "life=size=320x240:rate=10:mold=10:ratio=0.1:death_color=#C83232:life_color=#00ff00,trim=end_frame=300"
  make_gif mandelbrot "mandelbrot=size=320x240:rate=10,trim=end_frame=100"
  gifs+=("$scratch/long"/*.gif)
fi
mkdir -p "$scratch/jpeg" "$scratch/lossless" "$scratch/ffmpeg"
seconds() { date +%s.%N; }
t0=$(seconds)
"$conv" -q 100 -o "$scratch/jpeg" "${gifs[@]}" > /dev/null 2>&1
t1=$(seconds)
"$conv" --pictures lossless -o "$scratch/lossless" "${gifs[@]}" > /dev/null 2>&1
t2=$(seconds)
size() { [[ -f $1 ]] && stat -c %s "$1" || echo 0; }
printf "%-58s %10s %11s %11s %11s %7s  %s\n" GIF "GIF bytes" "JPEG q100" lossless "ffmpeg q2" PSNR "lossless < JPEG"
total_gif=0 total_jpeg=0 total_lossless=0 total_ffmpeg=0 larger=0 files=0 failed=()
for gif in "${gifs[@]}"; do
  name=$(basename "$gif" .gif)
  jpeg=$(size "$scratch/jpeg/$name.swf")
  lossless=$(size "$scratch/lossless/$name.swf")
  ((lossless > 0)) || continue  # a GIF no stage holds, or one that cannot be decoded
  ff=$scratch/ffmpeg/$name.swf
  psnr=-
  if [[ ${NO_FFMPEG:-0} != 1 ]] &&
    ffmpeg -v error -i "$gif" -vf "fps=10,format=rgb24" -c:v mjpeg -q:v 2 -f swf -y "$ff" 2> /dev/null; then
    psnr=$(ffmpeg -i "$ff" -i "$gif" -filter_complex "[0:v]format=rgb24[a];[1:v]fps=10,format=rgb24[b];[a][b]psnr" \
      -f null - 2>&1 | sed -nE 's/.*PSNR.* average:([0-9.inf]+).*/\1/p' | tail -1)
  fi
  giff=$(size "$gif")
  ffs=$(size "$ff")
  check=ok
  if ((lossless >= jpeg)); then larger=$((larger + 1)) check="NOT SMALLER" failed+=("$name"); fi
  printf "%-58s %10d %11d %11d %11d %7s  %s\n" "$name" "$giff" "$jpeg" "$lossless" "$ffs" "${psnr:--}" "$check"
  total_gif=$((total_gif + giff)) total_jpeg=$((total_jpeg + jpeg))
  total_lossless=$((total_lossless + lossless)) total_ffmpeg=$((total_ffmpeg + ffs))
  files=$((files + 1))
done
printf "%-58s %10d %11d %11d %11d\n" "TOTAL ($files files)" "$total_gif" "$total_jpeg" "$total_lossless" "$total_ffmpeg"
ratio=$(awk -v l="$total_lossless" -v g="$total_gif" 'BEGIN { printf "%.3f", l / g }')
echo "lossless / GIF bytes: $ratio (limit 1.25); lossless movies not smaller than JPEG q100: $larger"
awk -v a="$t0" -v b="$t1" -v c="$t2" 'BEGIN { printf "conversion wall time: JPEG q100 %.2f s, lossless %.2f s\n", b - a, c - b }'
((larger == 0)) || echo "not smaller than JPEG q100: ${failed[*]}"
awk -v r="$ratio" 'BEGIN { exit !(r <= 1.25) }' && ((larger == 0))
