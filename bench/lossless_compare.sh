#!/usr/bin/env bash
# Lossless movies in one run, each figure beside its goal:
#  - speed: t200 (200 frames 320x240 of ffmpeg's testsrc2) as a lossless movie on all cores,
#    wall time against ffmpeg's -q:v 2 JPEG movie (the command of compare.sh); goal 3x ffmpeg's
#    speed. Our default JPEG movie is timed beside it.
#  - cores: t600 (600 frames 480x360) with all cores against -j 1, lossless and JPEG; goal 1.7x
#    on 2 cores. The machine's load is printed: other work on the cores lowers the speed-up.
#  - sizes: the sample GIFs (../shared/testdata/gif/valid): lossless bytes against the GIFs'
#    (goal at most 0.90x), the GIFs over 10 KB whose movie passes 1.25x their bytes, and the
#    samples whose lossless movie is larger than their JPEG quality-100 movie (goal: none).
#  - identity: the lossless movies of the samples and t200 with -j 1, -j 2 and -j 5 (same bytes).
# Times are hyperfine means (RUNS runs, default 10). Exit status 1 when a goal is missed.
#
#   bench/lossless_compare.sh BUILD_DIR
# Needs ffmpeg and hyperfine.
set -uo pipefail
build=${1:?usage: lossless_compare.sh BUILD_DIR}
conv=$build/cli/brevanto-convert
root=$(cd "$(dirname "$0")/.." && pwd)
samples=$root/../shared/testdata/gif/valid
runs=${RUNS:-10}
for tool in ffmpeg hyperfine; do
  command -v $tool > /dev/null || { echo "lossless_compare.sh: $tool is not installed" >&2; exit 2; }
done
work=$(mktemp -d)
out=$work
[[ -d /dev/shm && -w /dev/shm ]] && out=$(mktemp -d /dev/shm/brevanto-lossless.XXXXXX)
trap 'rm -rf "$work" "$out"' EXIT
missed=0
verdict() {  # condition as an awk expression
  if awk "BEGIN { exit !($1) }"; then echo ok; else echo MISSED; missed=$((missed + 1)); fi
}
mean() { python3 -c "import json,sys; print(json.load(open(sys.argv[1]))['results'][0]['mean'])" "$1"; }
time_of() {  # name, command...
  local name=$1
  shift
  hyperfine -N --warmup 1 --runs "$runs" --export-json "$work/$name.json" "$*" > /dev/null 2>&1
  mean "$work/$name.json"
}

ffmpeg -nostdin -loglevel error -f lavfi -i testsrc2=size=320x240:rate=10 -frames:v 200 "$work/t200.gif"
ffmpeg -nostdin -loglevel error -f lavfi -i testsrc2=size=480x360:rate=10 -frames:v 600 "$work/t600.gif"

echo "Speed (t200, 200 frames 320x240, $(nproc) cores, load $(cut -d' ' -f1 /proc/loadavg))"
ff=$(time_of ffmpeg ffmpeg -nostdin -loglevel error -y -i "$work/t200.gif" -vf setpts=N -fps_mode passthrough -r 100 \
  -c:v mjpeg -q:v 2 -f swf "$out/ffmpeg.swf")
lossless=$(time_of lossless "$conv" --pictures lossless -o "$out" "$work/t200.gif")
jpeg=$(time_of jpeg "$conv" -o "$out" "$work/t200.gif")
speed=$(awk -v f="$ff" -v l="$lossless" 'BEGIN { printf "%.2f", f / l }')
printf '  ffmpeg -q:v 2 %.3f s | ours lossless %.3f s | ours JPEG %.3f s\n' "$ff" "$lossless" "$jpeg"
printf '  lossless: %sx ffmpeg'"'"'s speed (goal 3x): %s\n' "$speed" "$(verdict "$speed >= 3")"

echo "Cores (t600, 600 frames 480x360, load $(cut -d' ' -f1 /proc/loadavg))"
for kind in lossless jpeg; do
  one=$(time_of "$kind-1" "$conv" -j 1 --pictures "$kind" -o "$out" "$work/t600.gif")
  all=$(time_of "$kind-all" "$conv" --pictures "$kind" -o "$out" "$work/t600.gif")
  up=$(awk -v a="$one" -v b="$all" 'BEGIN { printf "%.2f", a / b }')
  printf '  %-8s -j 1 %.3f s | all cores %.3f s | %sx (goal 1.7x): %s\n' "$kind" "$one" "$all" "$up" \
    "$(verdict "$up >= 1.7")"
done

echo "Sizes (the sample GIFs)"
mkdir -p "$out/lossless" "$out/jpeg"
"$conv" --pictures lossless -o "$out/lossless" "$samples"/*.gif > /dev/null 2>&1
"$conv" -q 100 -o "$out/jpeg" "$samples"/*.gif > /dev/null 2>&1
total_gif=0 total_lossless=0 files=0 over=() larger=()
for gif in "$samples"/*.gif; do
  name=$(basename "$gif" .gif)
  [[ -f $out/lossless/$name.swf ]] || continue  # a GIF no stage holds, or one that cannot be decoded
  g=$(stat -c %s "$gif") l=$(stat -c %s "$out/lossless/$name.swf") j=$(stat -c %s "$out/jpeg/$name.swf")
  total_gif=$((total_gif + g)) total_lossless=$((total_lossless + l)) files=$((files + 1))
  ((g > 10240 && l * 100 > g * 125)) && over+=("$name ($g -> $l)")
  ((l > j)) && larger+=("$name ($l > $j)")
done
ratio=$(awk -v l="$total_lossless" -v g="$total_gif" 'BEGIN { printf "%.3f", l / g }')
printf '  %d files: GIFs %d bytes, lossless movies %d bytes: %sx (goal 0.90x): %s\n' "$files" "$total_gif" \
  "$total_lossless" "$ratio" "$(verdict "$ratio <= 0.90")"
printf '  GIFs over 10 KB whose movie passes 1.25x: %d %s: %s\n' "${#over[@]}" "${over[*]}" "$(verdict "${#over[@]} == 0")"
printf '  lossless larger than JPEG q100: %d %s: %s\n' "${#larger[@]}" "${larger[*]}" "$(verdict "${#larger[@]} == 0")"

echo "Identity (lossless, -j 1 / -j 2 / -j 5)"
differ=0
for jobs in 1 2 5; do
  mkdir -p "$out/j$jobs"
  for gif in "$samples"/*.gif "$work/t200.gif"; do
    "$conv" -j "$jobs" --pictures lossless -o "$out/j$jobs" "$gif" > /dev/null 2>&1
  done
done
for movie in "$out"/j1/*.swf; do
  name=$(basename "$movie")
  cmp -s "$movie" "$out/j2/$name" && cmp -s "$movie" "$out/j5/$name" || { differ=$((differ + 1)); echo "  differs: $name"; }
done
printf '  %d movies, %d differ: %s\n' "$(ls "$out"/j1/*.swf | wc -l)" "$differ" "$(verdict "$differ == 0")"
((missed == 0))
