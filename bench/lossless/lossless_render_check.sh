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
source "$(dirname "$0")/render_compare.sh"
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
    if swfrender_exact "$dir/movie.swf" "$dir"; then
      pass=$((pass + 1))
    else
      fail=$((fail + 1))
      echo "FAIL swfrender $name x$s (see $dir/swfrender.txt)"
    fi
    case " ${RUFFLE:-} " in
      *" $gif "*)
        n=$(grep -c "^  compare" "$dir/swfrender.txt")
        if ruffle_exact "$dir/movie.swf" "$dir" "$n" "$name x$s"; then pass=$((pass + 1)); else fail=$((fail + 1)); fi
        ;;
    esac
  done
done
echo "$pass passed, $fail failed"
((fail == 0))
