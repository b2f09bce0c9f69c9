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
    if /usr/bin/python3 "$tools/swfrender.py" "$movie" "$dir/swfrender" --against "$dir/ref%05d.ppm" \
        > "$dir/swfrender.txt" 2>&1 && ! grep -q "max_abs=[1-9]" "$dir/swfrender.txt"; then
      pass=$((pass + 1))
      frames=$((frames + $(grep -c "^  compare" "$dir/swfrender.txt")))
    else
      fail=$((fail + 1))
      echo "FAIL swfrender $name $size (see $dir/swfrender.txt)"
    fi
    case " ${RUFFLE:-} " in
      *" $gif "*)
        n=$(cat "$dir/slots.txt")
        RUFFLE_FAIL_ON_ERROR=1 bash "$tools/render_frames.sh" "$movie" "$dir/ruffle" $(seq 0 $((n - 1))) \
          > "$dir/ruffle.txt" 2>&1
        # Frames whose end-of-frame signal never came (a timing fault of the headless player
        # on a busy machine) are rendered again with a plain stop and a timed wait.
        missing=()
        for ((i = 0; i < n; i++)); do [[ -f $dir/ruffle/frame$(printf %05d "$i").png ]] || missing+=("$i"); done
        if ((${#missing[@]})); then
          SWFCHECK_PLAIN_STOP=1 bash "$tools/render_frames.sh" "$movie" "$dir/ruffle" "${missing[@]}" \
            >> "$dir/ruffle.txt" 2>&1
        fi
        bad=0
        for ((i = 0; i < n; i++)); do
          f=$(printf %05d "$i")
          python3 "$tools/compare.py" "$dir/ruffle/frame$f.png" "$dir/ref$f.ppm" --json > "$dir/ruffle-$f.json" 2>&1
          grep -q '"max_abs": 0' "$dir/ruffle-$f.json" || { bad=$((bad + 1)); echo "  ruffle $name $size frame $i: $(cat "$dir/ruffle-$f.json")"; }
        done
        if ((bad == 0)); then pass=$((pass + 1)); echo "ruffle $name $size: $n frames exact"; else fail=$((fail + 1)); echo "FAIL ruffle $name $size: $bad of $n frames differ"; fi
        ;;
    esac
  done
done
echo "$pass passed ($frames swfrender frames exact), $fail failed, $skip skipped"
((fail == 0))
