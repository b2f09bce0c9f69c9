#!/usr/bin/env bash
# Checks the lossless movies brevanto-convert writes with independent readers of the display
# list: for each GIF and each stage (original, 2x, 3x, half) converts it with
# --pictures lossless and compares every movie frame swfrender.py draws with the slot's
# reference from lossless_slot_refs (exact: max diff 0). At 1x/2x/3x the reference is the
# composed frame flattened over white, enlarged nearest-neighbour; at half size it is our
# bicubic scaler's half-size frame. With RUFFLE="GIF..." those GIFs are also rendered by Ruffle
# (render_frames.sh), every frame, at every stage.
#
#   bench/lossless/converter_render_check.sh BUILD_DIR OUT_DIR GIF...
# Needs /usr/bin/python3 with numpy and PIL; Ruffle needs chromium and node.
set -uo pipefail
build=$1 out=$2
shift 2
tools=$(cd "$(dirname "$0")/../../.." && pwd)/shared/tools/swfcheck
source "$(dirname "$0")/render_compare.sh"
conv=$build/cli/brevanto-convert
refs=$build/bench/lossless_slot_refs
sizes=${SIZES:-original 2x 3x half}
fail=0 pass=0 skip=0 frames=0
for gif in "$@"; do
  name=$(basename "$gif" .gif)
  for size in $sizes; do
    dir=$out/$name-$size
    rm -rf "$dir" && mkdir -p "$dir"
    if ! "$conv" --pictures lossless -s "$size" -o "$dir" "$gif" > "$dir/convert.txt" 2>&1; then
      skip=$((skip + 1))
      echo "SKIP $name $size: $(tail -1 "$dir/convert.txt")"
      continue
    fi
    case $size in original) s=1 ;; 2x) s=2 ;; 3x) s=3 ;; half) s=half ;; esac
    "$refs" "$gif" "$dir" "$s" > "$dir/slots.txt" 2>&1 || { fail=$((fail + 1)); echo "FAIL refs $name $size"; continue; }
    movie=$dir/$name.swf
    if swfrender_exact "$movie" "$dir"; then
      pass=$((pass + 1))
      frames=$((frames + $(grep -c "^  compare" "$dir/swfrender.txt")))
    else
      fail=$((fail + 1))
      echo "FAIL swfrender $name $size (see $dir/swfrender.txt)"
    fi
    case " ${RUFFLE:-} " in
      *" $gif "*)
        if ruffle_exact "$movie" "$dir" "$(cat "$dir/slots.txt")" "$name $size"; then pass=$((pass + 1)); else fail=$((fail + 1)); fi
        ;;
    esac
  done
done
echo "$pass passed ($frames swfrender frames exact), $fail failed, $skip skipped"
((fail == 0))
