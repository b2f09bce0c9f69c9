#!/usr/bin/env bash
# Prints one checksum line per movie and exported frame that brevanto-convert writes for every
# valid sample GIF at original, half and double size and in every export format. Two builds
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
for size in original half 2x; do
  mkdir -p "$scratch/$size"
  "$conv" -j 2 -s "$size" -o "$scratch/$size" "$gifs"/*.gif >/dev/null 2>"$scratch/$size.err" || true
done
for format in bmp tga gif jpeg png tiff; do
  mkdir -p "$scratch/export-$format"
  "$conv" -j 2 --export "$format" -o "$scratch/export-$format" "$gifs"/*.gif >/dev/null 2>&1 || true
done
cd "$scratch"
find . -type f ! -name '*.err' -print0 | sort -z | xargs -0 sha256sum
sort ./*.err | sed -E 's#[^ ]*/([^/ ]+[.]gif)#\1#g'
