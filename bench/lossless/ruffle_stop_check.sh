#!/usr/bin/env bash
# Checks in Ruffle that a movie made with --loop gif from a GIF without a looping extension
# stops on its last picture. Ruffle's frame renders cut the movie at the frame asked for, so
# the check adds one frame after the movie's last that removes every placed picture (a white
# stage) and asks for that frame with a plain, timed stop: a movie that stops in its last frame
# never gets there and still shows its last picture; the same GIF converted with --loop forever
# plays on into the white frame.
#
#   bench/lossless/ruffle_stop_check.sh BUILD_DIR OUT_DIR GIF [brevanto-convert options...]
# (JPEG movies by default; pass --pictures lossless for lossless ones.)
set -uo pipefail
build=$1 out=$2 gif=$3
shift 3
tools=$(cd "$(dirname "$0")/../../.." && pwd)/shared/tools/swfcheck
name=$(basename "$gif" .gif)
rm -rf "$out" && mkdir -p "$out/gif" "$out/forever"
"$build/cli/brevanto-convert" --loop gif -o "$out/gif" "$@" "$gif" > /dev/null || exit 1
"$build/cli/brevanto-convert" --loop forever -o "$out/forever" "$@" "$gif" > /dev/null || exit 1
slots=$("$build/bench/lossless_slot_refs" "$gif" "$out" 1) || exit 1
last=$(printf %05d $((slots - 1)))
status=0
for loop in gif forever; do
  /usr/bin/python3 - "$out/$loop/$name.swf" "$out/$loop/extended.swf" <<'PY'
import struct, sys
data = bytearray(open(sys.argv[1], "rb").read())
assert data[:3] == b"FWS"
nbits = data[8] >> 3
pos = 8 + (5 + 4 * nbits + 7) // 8 + 4  # after RECT, frame rate and frame count
count_at = pos - 2
depth = 0
while True:
    code_len = struct.unpack_from("<H", data, pos)[0]
    code, length = code_len >> 6, code_len & 0x3F
    head = 2
    if length == 0x3F:
        length = struct.unpack_from("<I", data, pos + 2)[0]
        head = 6
    if code == 0:
        break
    if code == 26:  # PlaceObject2: flags, depth
        depth = max(depth, struct.unpack_from("<H", data, pos + head + 1)[0])
    pos += head + length
extra = bytearray()
for d in range(1, depth + 1):
    extra += struct.pack("<HH", (28 << 6) | 2, d)  # RemoveObject2
extra += struct.pack("<H", 1 << 6)  # ShowFrame
out = data[:pos] + extra + data[pos:]
struct.pack_into("<I", out, 4, len(out))
struct.pack_into("<H", out, count_at, struct.unpack_from("<H", data, count_at)[0] + 1)
open(sys.argv[2], "wb").write(out)
PY
  SWFCHECK_PLAIN_STOP=1 SETTLE_MS=1500 bash "$tools/render_frames.sh" "$out/$loop/extended.swf" "$out/$loop/ruffle" "$slots" \
    > "$out/$loop/ruffle.txt" 2>&1 || { echo "FAIL Ruffle could not render ($out/$loop/ruffle.txt)"; status=1; continue; }
  shown=$out/$loop/ruffle/frame$(printf %05d "$slots").png
  python3 "$tools/compare.py" "$shown" "$out/ref$last.ppm" --json > "$out/$loop/last.json" 2>&1
  # Lossless pictures must match exactly; JPEG pictures differ from the frame by their
  # compression, so for them 40 dB counts as the last picture (a cleared stage scores under 10).
  verdict="does not show the last picture"
  if grep -q '"max_abs": 0' "$out/$loop/last.json" ||
    { [[ " $* " != *" lossless "* ]] &&
      python3 -c 'import json, sys; p = json.load(open(sys.argv[1]))["psnr"]; sys.exit(not (p is None or p >= 40))' \
        "$out/$loop/last.json"; }; then
    verdict="shows the last picture"
  fi
  echo "--loop $loop: after the movie's last frame Ruffle $verdict ($(tr -d '\n' < "$out/$loop/last.json"))"
  if [[ $loop == gif && $verdict != "shows the last picture" ]] || [[ $loop == forever && $verdict == "shows the last picture" ]]; then
    status=1
  fi
done
((status == 0)) && echo "OK: $name stops on its last picture with --loop gif and plays on with --loop forever"
exit $status
