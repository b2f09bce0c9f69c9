#!/usr/bin/env bash
# Prints one checksum line per movie and exported frame that brevanto-convert writes for every
# valid sample GIF: JPEG and lossless pictures at original, half and double size, movies timed
# and looped as the GIF, and every export format. Two builds
# that print the same lines write the same bytes, so a refactoring can be checked with
#   diff <(scripts/output_digest.sh build-old) <(scripts/output_digest.sh build-new)
# Usage: scripts/output_digest.sh BUILD_DIR [GIF_FOLDER]
set -euo pipefail
build=${1:?usage: output_digest.sh BUILD_DIR [GIF_FOLDER]}
here=$(cd "$(dirname "$0")/.." && pwd)
gifs=${2:-$here/../shared/testdata/gif/valid}
conv=$build/cli/brevanto-convert
[[ -x $conv ]] || { echo "no converter at $conv" >&2; exit 2; }
[[ -d $gifs ]] || { echo "no sample folder $gifs" >&2; exit 2; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# Movies: JPEG and lossless pictures at each size, and both timed as the GIF and looped as it.
runs=()
for size in original half 2x; do
  runs+=("$size:-s $size" "lossless-$size:-s $size --pictures lossless")
done
runs+=("gif-timing:--timing gif --loop gif" "gif-timing-lossless:--timing gif --loop gif --pictures lossless")
for run in "${runs[@]}"; do
  name=${run%%:*}
  read -ra options <<<"${run#*:}"
  mkdir -p "$scratch/$name"
  "$conv" -j 2 "${options[@]}" -o "$scratch/$name" "$gifs"/*.gif >/dev/null 2>"$scratch/$name.err" || true
done
for format in bmp tga gif jpeg png tiff; do
  mkdir -p "$scratch/export-$format"
  "$conv" -j 2 --export "$format" -o "$scratch/export-$format" "$gifs"/*.gif >/dev/null 2>&1 || true
done
cd "$scratch"
find . -type f ! -name '*.err' -print0 | sort -z | xargs -0 sha256sum
sort ./*.err | sed -E 's#[^ ]*/([^/ ]+[.]gif)#\1#g'
