#!/usr/bin/env bash
# Checks lossless movies with independent readers: builds each GIF's movie with
# lossless_movie_check at scales 1, 2 and 3 and compares every frame swfrender.py draws with the
# composed frame flattened over white (exact: PSNR infinite, max diff 0). With RUFFLE="GIF..."
# those GIFs are also rendered by Ruffle (render_frames.sh) at every given scale, every frame.
#
#   bench/lossless/lossless_render_check.sh BUILD_DIR OUT_DIR GIF...
# Needs /usr/bin/python3 with numpy and PIL; Ruffle needs chromium, node and npm.
set -uo pipefail
build=$1 out=$2
shift 2
tools=$(cd "$(dirname "$0")/../../.." && pwd)/shared/tools/swfcheck
check=$build/bench/lossless_movie_check
scales=${SCALES:-1 2 3}
fail=0 pass=0
for gif in "$@"; do
  name=$(basename "$gif" .gif)
  for s in $scales; do
    dir=$out/$name-x$s
    rm -rf "$dir" && mkdir -p "$dir"
    if ! "$check" "$gif" "$dir" "$s" > "$dir/build.txt" 2>&1; then
      echo "SKIP $name x$s: $(cat "$dir/build.txt")"
      continue
    fi
    if /usr/bin/python3 "$tools/swfrender.py" "$dir/movie.swf" "$dir/swfrender" --against "$dir/ref%05d.ppm" \
        > "$dir/swfrender.txt" 2>&1 && ! grep -q "max_abs=[1-9]" "$dir/swfrender.txt"; then
      pass=$((pass + 1))
    else
      fail=$((fail + 1))
      echo "FAIL swfrender $name x$s (see $dir/swfrender.txt)"
    fi
    case " ${RUFFLE:-} " in
      *" $gif "*)
        n=$(grep -c "^  compare" "$dir/swfrender.txt")
        RUFFLE_FAIL_ON_ERROR=1 bash "$tools/render_frames.sh" "$dir/movie.swf" "$dir/ruffle" $(seq 0 $((n - 1))) \
          > "$dir/ruffle.txt" 2>&1
        bad=0
        for ((i = 0; i < n; i++)); do
          f=$(printf %05d "$i")
          python3 "$tools/compare.py" "$dir/ruffle/frame$f.png" "$dir/ref$f.ppm" --json > "$dir/ruffle-$f.json" 2>&1
          grep -q '"max_abs": 0' "$dir/ruffle-$f.json" || { bad=$((bad + 1)); echo "  ruffle frame $i: $(cat "$dir/ruffle-$f.json")"; }
        done
        if ((bad == 0)); then pass=$((pass + 1)); echo "ruffle $name x$s: $n frames exact"; else fail=$((fail + 1)); echo "FAIL ruffle $name x$s: $bad of $n frames differ"; fi
        ;;
    esac
  done
done
echo "$pass passed, $fail failed"
((fail == 0))
