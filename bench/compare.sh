#!/usr/bin/env bash
# The converter beside ffmpeg, printed as one table.
#
#   bench/compare.sh [FILE.gif...]          movie size and wall time at equal PSNR (default)
#   bench/compare.sh --batch [FILE.gif... | FOLDER]
#                                           a whole batch: wall time and peak memory of both
#
# Equal PSNR: ffmpeg writes its movie with `-c:v mjpeg -q:v 2 -f swf` (with `-vf setpts=N
# -fps_mode passthrough -r 100`, so that it writes one picture per GIF frame as we do, instead
# of repeating pictures at its own frame rate or dropping frames of zero delay); then our quality is raised from 1 until our movie's PSNR
# reaches ffmpeg's. PSNR is over all pictures and the three colour channels, each picture of
# a movie against the GIF frame it shows as ImageMagick composes it (`convert -coalesce`,
# transparency flattened over white). Times are hyperfine means, one conversion at a time:
# ffmpeg as it runs by default, our converter with `-j 1` and with all cores (the default);
# wall time, and CPU time (user + system, all threads), which varies less on a busy machine.
#
# After the table: GIF decode throughput ours vs ffmpeg (bench/gif_decode_vs_ffmpeg.sh, which
# builds BENCH_BUILD, default build-bench, with the benchmarks), the one-file speed-up with
# all cores (a 1000-frame GIF, -j 1 against the default) beside what the machine gives to
# independent one-thread runs, and the peak memory (max RSS) of one conversion writing a
# movie of over 500 MiB; with libjpeg-turbo's tjbench (Debian libjpeg-turbo-progs), the
# encode floor on t200 at quality 100.
#
# Default set: a 200-frame 320x240 GIF of dense full frames made with ffmpeg's testsrc2
# (t200), and muybridge, iss634 and chi from ../shared/testdata/gif/valid when present.
# CONVERTER names the converter (default: build-release/cli/brevanto-convert, built when
# missing). RUNS (default 5) is the number of timed runs per side. Needs ffmpeg, ImageMagick,
# hyperfine and /usr/bin/python3 with numpy and PIL (Debian python3-numpy, python3-pil).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
converter=${CONVERTER:-$root/build-release/cli/brevanto-convert}
runs=${RUNS:-5}
samples=$root/../shared/testdata/gif/valid

if [[ -z ${CONVERTER:-} ]]; then
  cmake -S "$root" -B "$root/build-release" -DCMAKE_BUILD_TYPE=Release -DBREVANTO_WERROR=OFF \
    -DBREVANTO_BUILD_TESTS=OFF >/dev/null
  cmake --build "$root/build-release" -j "${JOBS:-2}" --target brevanto-convert >/dev/null
fi
command -v ffmpeg >/dev/null || { echo "compare.sh: ffmpeg is not installed" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

batch() {
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

repeat=${REPEAT:-3}
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
}

if [[ ${1:-} == --batch ]]; then
  shift
  batch "$@"
  exit 0
fi

command -v hyperfine >/dev/null || { echo "compare.sh: hyperfine is not installed" >&2; exit 2; }
command -v convert >/dev/null || { echo "compare.sh: ImageMagick is not installed" >&2; exit 2; }
/usr/bin/python3 -c 'import numpy, PIL' 2>/dev/null ||
  { echo "compare.sh: /usr/bin/python3 needs numpy and PIL (python3-numpy, python3-pil)" >&2; exit 2; }

# PSNR of movies against the reference frames REFDIR/ref*.png: one line per movie with its
# PSNR and picture count. Pictures are the DefineBitsJPEG2 streams in tag order.
cat >"$work/psnr.py" <<'PY'
import glob, io, math, struct, sys, zlib
import numpy as np
from PIL import Image

def pictures(path):
    data = open(path, "rb").read()
    if data[:3] == b"CWS":
        data = data[:8] + zlib.decompress(data[8:])
    nbits = data[8] >> 3
    pos = 8 + (5 + 4 * nbits + 7) // 8 + 4
    while pos + 2 <= len(data):
        code_len, = struct.unpack_from("<H", data, pos)
        pos += 2
        code, length = code_len >> 6, code_len & 0x3F
        if length == 0x3F:
            length, = struct.unpack_from("<I", data, pos)
            pos += 4
        body = data[pos:pos + length]
        pos += length
        if code == 21:  # id, then the JPEG stream, maybe after an empty EOI/SOI pair
            stream, i = body[2:], 0
            while True:
                i = stream.find(b"\xff\xd8\xff", i)
                if i < 0 or stream[i + 3] not in (0xD8, 0xD9):
                    break
                i += 2
            yield stream[i:]
        if code == 0:
            break

refs = []
for p in sorted(glob.glob(sys.argv[1] + "/ref*.png")):
    im = Image.open(p).convert("RGBA")
    im = Image.alpha_composite(Image.new("RGBA", im.size, (255, 255, 255, 255)), im)
    refs.append(np.asarray(im.convert("RGB"), dtype=np.float64))
for movie in sys.argv[2:]:
    se, samples, count = 0.0, 0, 0
    for k, pic in enumerate(pictures(movie)):
        count += 1
        if k < len(refs):
            a = np.asarray(Image.open(io.BytesIO(pic)).convert("RGB"), dtype=np.float64)
            if a.shape == refs[k].shape:
                se += float(((a - refs[k]) ** 2).sum())
                samples += a.size
    ok = count == len(refs) and samples == count * refs[0].size
    value = 10 * math.log10(255 * 255 * samples / se) if ok and se > 0 else (99.0 if ok else float("nan"))
    print(f"{value:.2f} {count}")
PY

files=("$@")
if ((${#files[@]} == 0)); then
  ffmpeg -nostdin -loglevel error -f lavfi -i testsrc2=size=320x240:rate=10 -frames:v 200 "$work/t200.gif"
  files=("$work/t200.gif")
  for name in wuffs-gifplayer-muybridge pillow-iss634 pillow-chi; do
    [[ -f $samples/$name.gif ]] && files+=("$samples/$name.gif")
  done
fi

# Mean wall time and mean CPU time (user + system) of a hyperfine run, in seconds.
times_of() {
  /usr/bin/python3 -c "import json,sys; r=json.load(open(sys.argv[1]))['results'][0]; print(r['mean'], r['user'] + r['system'])" "$1"
}
mib() { awk -v b="$1" 'BEGIN { printf "%.2f", b / 1048576 }'; }

rows=()
for gif in "${files[@]}"; do
  name=$(basename "$gif" .gif)
  dir=$work/$name
  mkdir -p "$dir"
  convert "$gif" -coalesce -background white -alpha remove -alpha off "$dir/ref%05d.png"
  frames=$(find "$dir" -name 'ref*.png' | wc -l)

  ffmpeg_cmd=(ffmpeg -nostdin -loglevel error -y -i "$gif" -vf setpts=N -fps_mode passthrough -r 100 -c:v mjpeg
    -q:v 2 -f swf "$dir/ffmpeg.swf")
  if ! "${ffmpeg_cmd[@]}" 2>"$dir/ffmpeg.err"; then
    rows+=("$(printf '%-26s %6d | ffmpeg failed: %s' "${name:0:26}" "$frames" "$(head -c 60 "$dir/ffmpeg.err")")")
    echo "${rows[-1]}" >&2
    continue
  fi
  read -r f_psnr f_pics < <(/usr/bin/python3 "$work/psnr.py" "$dir" "$dir/ffmpeg.swf")
  f_bytes=$(stat -c %s "$dir/ffmpeg.swf")

  # Our lowest quality whose PSNR reaches ffmpeg's: a bisection over 50..100 (PSNR grows with
  # the quality; ffmpeg's -q:v 2 is far above our 50), each step a real conversion.
  ours() { "$converter" -j 1 -q "$1" -o "$dir/q$1" "$gif" >/dev/null; }
  psnr_at() {
    [[ -f $dir/q$1.psnr ]] || { mkdir -p "$dir/q$1"; ours "$1"; /usr/bin/python3 "$work/psnr.py" "$dir" "$dir/q$1/$name.swf" >"$dir/q$1.psnr"; }
    cut -d' ' -f1 "$dir/q$1.psnr"
  }
  low=50 high=100
  while ((low < high)); do
    mid=$(((low + high) / 2))
    if awk -v a="$(psnr_at $mid)" -v b="$f_psnr" 'BEGIN { exit !(a >= b) }'; then high=$mid; else low=$((mid + 1)); fi
  done
  q=$low
  psnr_at "$q" >/dev/null
  read -r b_psnr b_pics <"$dir/q$q.psnr"
  b_bytes=$(stat -c %s "$dir/q$q/$name.swf")

  hyperfine -N --warmup 1 --runs "$runs" --export-json "$dir/ffmpeg.json" "${ffmpeg_cmd[*]}" >/dev/null 2>&1
  hyperfine -N --warmup 1 --runs "$runs" --export-json "$dir/ours.json" \
    "$converter -j 1 -q $q -o $dir/q$q $gif" >/dev/null 2>&1
  hyperfine -N --warmup 1 --runs "$runs" --export-json "$dir/ours-all.json" \
    "$converter -q $q -o $dir/q$q $gif" >/dev/null 2>&1
  read -r f_wall f_cpu < <(times_of "$dir/ffmpeg.json")
  read -r b_wall b_cpu < <(times_of "$dir/ours.json")
  read -r a_wall _ < <(times_of "$dir/ours-all.json")
  note=""
  [[ $f_pics == "$frames" && $b_pics == "$frames" ]] || note=" (pictures: ffmpeg $f_pics, ours $b_pics, frames $frames)"
  rows+=("$(printf '%-26s %6d | %7.3f %7.3f %8s %6.2f | %4d %7.3f %7.3f %7.3f %8s %6.2f | %6.2fx %6.2f%s' "${name:0:26}" \
    "$frames" "$f_wall" "$f_cpu" "$(mib "$f_bytes")" "$f_psnr" "$q" "$b_wall" "$a_wall" "$b_cpu" "$(mib "$b_bytes")" \
    "$b_psnr" "$(awk -v a="$f_wall" -v b="$a_wall" 'BEGIN { print a / b }')" \
    "$(awk -v a="$b_bytes" -v b="$f_bytes" 'BEGIN { print a / b }')" "$note")")
  echo "${rows[-1]}" >&2  # progress: each row as soon as it is measured
done

echo "Conversion at equal PSNR (ffmpeg mjpeg -q:v 2 vs brevanto-convert -q Q, the lowest Q reaching ffmpeg's PSNR;"
echo "our wall time with one thread (-j 1) and with all cores (the default); the speed ratio is ffmpeg's wall time"
echo "over ours with all cores, each program as users run it)"
printf '%-26s %6s | %7s %7s %8s %6s | %4s %7s %7s %7s %8s %6s | %7s %6s\n' "" "" "ffmpeg" "" "" "" "ours" "" "" "" "" "" \
  "wall" "size"
printf '%-26s %6s | %7s %7s %8s %6s | %4s %7s %7s %7s %8s %6s | %7s %6s\n' "file" "frames" "wall s" "cpu s" "MiB" "dB" \
  "Q" "-j1 s" "all s" "cpu s" "MiB" "dB" "ff/ours" "ours/ff"
printf '%s\n' "${rows[@]}"
echo

# GIF decoding alone, ours beside ffmpeg's, on t200 and muybridge.
echo "GIF decode throughput (one thread each)"
"$root/bench/gif_decode_vs_ffmpeg.sh" "${BENCH_BUILD:-$root/build-bench}" | tee "$work/decode.txt"
echo

# The encode floor on t200 at quality 100: libjpeg-turbo's own benchmark (tjbench, one thread,
# 4:4:4, default Huffman tables) on its first frame gives frames per second; the floor is the
# 200 frames at that rate plus our decoding of them (the dense row above). Beside it, tjbench
# with libjpeg's optimised Huffman tables (TJ_OPTIMIZE), which our pictures use.
if command -v tjbench >/dev/null; then
  floor_gif=$work/t200-floor.gif
  ffmpeg -nostdin -loglevel error -f lavfi -i testsrc2=size=320x240:rate=10 -frames:v 200 "$floor_gif"
  convert "$floor_gif[0]" "$work/floor.ppm"
  tj_fps() {
    (cd "$work" && tjbench floor.ppm 100 -subsamp 444 -benchtime 2 -warmup 1 2>&1) |
      awk '/^Compress/ { print $NF == "fps" ? $(NF - 1) : $NF; exit }'
  }
  plain_fps=$(tj_fps)
  optimised_fps=$(TJ_OPTIMIZE=1 tj_fps)
  decode_ms=$(awk '$1 == "dense" { print $7 }' "$work/decode.txt")
  hyperfine -N --warmup 1 --runs "$runs" --export-json "$work/floor.json" \
    "$converter -j 1 -q 100 -o $work $floor_gif" >/dev/null 2>&1
  read -r floor_wall floor_cpu < <(times_of "$work/floor.json")
  awk -v p="$plain_fps" -v o="$optimised_fps" -v d="$decode_ms" -v w="$floor_wall" -v c="$floor_cpu" 'BEGIN {
    plain = 200 / p + d / 1000; optimised = 200 / o + d / 1000
    printf "Encode floor (t200, q100, one thread): tjbench %.0f fps (optimised tables: %.0f fps), decode %.1f ms\n", p, o, d
    printf "  floor %.3f s (optimised tables: %.3f s) | ours -j 1: %.3f s wall, %.3f s cpu | %.2fx the floor, %.2fx the optimised floor\n",
      plain, optimised, w, c, w / plain, w / optimised
  }'
  echo
fi
# One long GIF converted with one thread (-j 1) and with all cores (the default): the frames are
# encoded in parallel while the file is decoded. The movies go to memory-backed /dev/shm when
# there is one, so that the device's write speed does not hide the encoding's.
long_gif=$work/t1000.gif
ffmpeg -nostdin -loglevel error -f lavfi -i testsrc2=size=320x240:rate=10 -frames:v 1000 "$long_gif"
fast_out=$work
[[ -d /dev/shm && -w /dev/shm ]] && fast_out=$(mktemp -d /dev/shm/brevanto-compare.XXXXXX)
hyperfine -N --warmup 1 --runs "$runs" --export-json "$work/one.json" \
  "$converter -j 1 -q 94 -o $fast_out $long_gif" >/dev/null 2>&1
hyperfine -N --warmup 1 --runs "$runs" --export-json "$work/all.json" \
  "$converter -q 94 -o $fast_out $long_gif" >/dev/null 2>&1
# What the machine itself gives: as many one-thread conversions at once as it has cores, each
# into its own folder. Their throughput over one alone is the most any splitting of one file
# could reach here (a shared or virtual machine gives less than its core count).
cores=$(nproc)
together=$work/together.sh
{
  echo '#!/bin/sh'
  for ((c = 1; c <= cores; c++)); do echo "mkdir -p $fast_out/c$c; $converter -j 1 -q 94 -o $fast_out/c$c $long_gif >/dev/null &"; done
  echo wait
} >"$together"
chmod +x "$together"
hyperfine -N --warmup 1 --runs "$runs" --export-json "$work/together.json" "$together" >/dev/null 2>&1
[[ $fast_out != "$work" ]] && rm -rf "$fast_out"
read -r one_wall one_cpu < <(times_of "$work/one.json")
read -r all_wall all_cpu < <(times_of "$work/all.json")
read -r together_wall _ < <(times_of "$work/together.json")
echo "One file on all cores (t1000: 1000 frames 320x240, -q 94, $cores cores, load $(cut -d' ' -f1 /proc/loadavg))"
printf '  -j 1: %.3f s wall, %.3f s cpu | all cores: %.3f s wall, %.3f s cpu | speed-up %.2fx\n' \
  "$one_wall" "$one_cpu" "$all_wall" "$all_cpu" "$(awk -v a="$one_wall" -v b="$all_wall" 'BEGIN { print a / b }')"
printf '  the machine: %d one-thread conversions at once take %.3f s, a throughput of %.2fx one alone\n' \
  "$cores" "$together_wall" "$(awk -v n="$cores" -v a="$one_wall" -v b="$together_wall" 'BEGIN { print n * a / b }')"

# Peak memory of one conversion writing a movie of 500 MB or more: a 1280x960 GIF of still noise
# under a small moving box (a small GIF: each frame after the first is only the box), each frame
# a full-size JPEG at -q 100 in the movie.
[[ -x /usr/bin/time ]] || { echo "compare.sh: /usr/bin/time is not installed (Debian package time)" >&2; exit 2; }
/usr/bin/python3 - "$work/noise.gif" <<'PY'
import random, sys
from PIL import Image, ImageDraw
w, h, n = 1280, 960, 420
rnd = random.Random(1)
base = Image.frombytes("L", (w, h), bytes(rnd.getrandbits(8) for _ in range(w * h))).convert("P")
frames = []
for i in range(n):
    f = base.copy()
    x = (i * 16) % (w - 16)
    ImageDraw.Draw(f).rectangle([x, 20, x + 15, 35], fill=255)
    frames.append(f)
frames[0].save(sys.argv[1], save_all=True, append_images=frames[1:], duration=100, loop=0)
PY
echo "Peak memory of one conversion (noise: 420 frames 1280x960, GIF $(mib "$(stat -c %s "$work/noise.gif")") MiB, -q 100)"
for jobs in 1 0; do
  mkdir -p "$work/big"
  option=(-j "$jobs")
  ((jobs == 0)) && option=()
  /usr/bin/time -v -o "$work/big.time" "$converter" "${option[@]}" -q 100 -o "$work/big" "$work/noise.gif" >/dev/null
  printf '  %-9s movie %7s MiB, peak RSS %6.1f MiB\n' "$( ((jobs == 1)) && echo "-j 1" || echo "all cores")" \
    "$(mib "$(stat -c %s "$work/big/noise.swf")")" \
    "$(awk -F': ' '/Maximum resident set size/ { print $2 / 1024 }' "$work/big.time")"
  rm -rf "$work/big"
done
