#!/usr/bin/env bash
# Converts the same GIF files with brevanto-convert (one job) and with ffmpeg's MJPEG-in-SWF
# writer, in the same run, and prints the wall times, their ratio and the peak memory of each.
#
#   bench/compare.sh [FILE.gif... | FOLDER]
#
# Default set: every GIF of ../shared/testdata/gif/valid whose logical screen fits a movie
# stage (1..1638 pixels each way), else examples/. CONVERTER names the converter program
# (default: build-release/cli/brevanto-convert, built when missing). REPEAT (default 3) runs
# each side that many times and keeps the fastest wall time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
converter=${CONVERTER:-$root/build-release/cli/brevanto-convert}
repeat=${REPEAT:-3}

if [[ -z ${CONVERTER:-} ]]; then
  cmake -S "$root" -B "$root/build-release" -DCMAKE_BUILD_TYPE=Release -DBREVANTO_WERROR=OFF \
    -DBREVANTO_BUILD_TESTS=OFF >/dev/null
  cmake --build "$root/build-release" -j "${JOBS:-2}" --target brevanto-convert >/dev/null
fi
command -v ffmpeg >/dev/null || { echo "compare.sh: ffmpeg is not installed" >&2; exit 2; }
[[ -x /usr/bin/time ]] || { echo "compare.sh: /usr/bin/time is not installed (Debian package time)" >&2; exit 2; }

# GIFs whose logical screen is 1..1638 pixels each way (read from the header).
fitting() {
  python3 - "$@" <<'PY'
import struct, sys
for path in sys.argv[1:]:
    with open(path, "rb") as f:
        head = f.read(10)
    if len(head) == 10 and head[:3] == b"GIF":
        w, h = struct.unpack("<HH", head[6:10])
        if 1 <= w <= 1638 and 1 <= h <= 1638:
            print(path)
PY
}

inputs=("$@")
if ((${#inputs[@]} == 0)); then
  if [[ -d $root/../shared/testdata/gif/valid ]]; then
    inputs=("$root/../shared/testdata/gif/valid")
  else
    inputs=("$root/examples")
  fi
fi
candidates=()
for item in "${inputs[@]}"; do
  if [[ -d $item ]]; then
    candidates+=("$item"/*.gif)
  else
    candidates+=("$item")
  fi
done
mapfile -t files < <(fitting "${candidates[@]}")
((${#files[@]})) || { echo "compare.sh: no GIF files to convert" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

now() { date +%s.%N; }
peak_kb() { awk -F': ' '/Maximum resident set size/ {print $2}' "$1"; }

best_brevanto=""
best_single=""
best_ffmpeg=""
for ((round = 1; round <= repeat; round++)); do
  rm -rf "$work/brevanto" "$work/ffmpeg"
  mkdir -p "$work/brevanto" "$work/ffmpeg"

  start=$(now)
  /usr/bin/time -v -o "$work/brevanto.time" "$converter" -j 1 -o "$work/brevanto" "${files[@]}" \
    >/dev/null 2>"$work/brevanto.err" || true
  end=$(now)
  b_wall=$(echo "$end - $start" | bc -l)
  b_peak=$(peak_kb "$work/brevanto.time")

  # The same converter started once per file, as ffmpeg is.
  start=$(now)
  bp_peak=0
  for f in "${files[@]}"; do
    /usr/bin/time -v -o "$work/single.time" "$converter" -j 1 -o "$work/brevanto" "$f" >/dev/null 2>&1 || true
    p=$(peak_kb "$work/single.time")
    ((p > bp_peak)) && bp_peak=$p
  done
  end=$(now)
  bp_wall=$(echo "$end - $start" | bc -l)

  f_peak=0
  f_failed=0
  start=$(now)
  i=0
  for f in "${files[@]}"; do
    i=$((i + 1))
    if ! /usr/bin/time -v -o "$work/ffmpeg.time" ffmpeg -nostdin -loglevel error -y -i "$f" \
      -c:v mjpeg -q:v 2 -f swf "$work/ffmpeg/$i.swf" 2>>"$work/ffmpeg.err"; then
      f_failed=$((f_failed + 1))
    fi
    p=$(peak_kb "$work/ffmpeg.time")
    ((p > f_peak)) && f_peak=$p
  done
  end=$(now)
  f_wall=$(echo "$end - $start" | bc -l)

  if [[ -z $best_brevanto ]] || (($(echo "$b_wall < $best_brevanto" | bc -l))); then best_brevanto=$b_wall; fi
  if [[ -z $best_single ]] || (($(echo "$bp_wall < $best_single" | bc -l))); then best_single=$bp_wall; fi
  if [[ -z $best_ffmpeg ]] || (($(echo "$f_wall < $best_ffmpeg" | bc -l))); then best_ffmpeg=$f_wall; fi
  printf 'round %d: brevanto-convert %.2f s (one process), %.2f s (a process per file); ffmpeg %.2f s\n' \
    "$round" "$b_wall" "$bp_wall" "$f_wall"
done

b_movies=$(find "$work/brevanto" -name '*.swf' | wc -l)
b_failed=$(grep -c '^brevanto-convert: ' "$work/brevanto.err" || true)
b_bytes=$(du -cb "$work"/brevanto/*.swf 2>/dev/null | tail -1 | cut -f1)
f_bytes=$(du -cb "$work"/ffmpeg/*.swf 2>/dev/null | tail -1 | cut -f1)
largest=$(find "$work/brevanto" -name '*.swf' -printf '%s\n' | sort -n | tail -1)

echo
echo "files: ${#files[@]} GIFs"
printf '%-34s %10s %14s %8s %8s %12s\n' "" "wall (s)" "peak RSS (MiB)" "movies" "failed" "output (MiB)"
printf '%-34s %10.2f %14.1f %8d %8d %12.1f\n' "brevanto-convert -j 1 (default q)" "$best_brevanto" \
  "$(echo "$b_peak / 1024" | bc -l)" "$b_movies" "$b_failed" "$(echo "$b_bytes / 1048576" | bc -l)"
printf '%-34s %10.2f %14.1f\n' "brevanto-convert, process per file" "$best_single" \
  "$(echo "$bp_peak / 1024" | bc -l)"
printf '%-34s %10.2f %14.1f %8d %8d %12.1f\n' "ffmpeg mjpeg -q:v 2 -f swf" "$best_ffmpeg" \
  "$(echo "$f_peak / 1024" | bc -l)" "$((${#files[@]} - f_failed))" "$f_failed" "$(echo "$f_bytes / 1048576" | bc -l)"
printf 'largest brevanto movie: %.1f MiB\n' "$(echo "${largest:-0} / 1048576" | bc -l)"
printf 'speed ratio (ffmpeg wall / brevanto wall): %.2fx one process, %.2fx a process per file\n' \
  "$(echo "$best_ffmpeg / $best_brevanto" | bc -l)" "$(echo "$best_ffmpeg / $best_single" | bc -l)"
