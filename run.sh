#!/usr/bin/env bash
# Sets Brevanto up and runs it: installs the missing Debian packages, builds the Release
# programs into build-release/, then opens the window when a display is available, or else
# converts GIF files into Flash movies in out/.
set -euo pipefail
# Files given on the command line are named relative to where run.sh was called from.
files=()
for arg in "$@"; do
  case "$arg" in
    -*|/*) files+=("$arg") ;;
    *) files+=("$PWD/$arg") ;;
  esac
done
cd "$(dirname "$0")"

usage() {
  cat <<'TEXT'
Usage: ./run.sh [FILE.gif...]
       ./run.sh --help

Installs the Debian packages Brevanto needs (only those missing; apt-get, via sudo when not
root), builds the Release programs into build-release/ and converts GIF files into Flash
movies (SWF) in out/:
  - without arguments and with a display ($DISPLAY or $WAYLAND_DISPLAY set): opens the
    Brevanto window;
  - without arguments and without a display: the example GIFs in examples/;
  - with GIF files as arguments: those files.

Each movie takes its GIF's name with "swf" in place of the last three characters
(anim.gif -> out/anim.swf). To convert with other settings, call the converter directly:

  build-release/cli/brevanto-convert -o OUTPUT_DIR [-s half|original|2x|3x|WxH]
                                     [-q QUALITY] [-r FPS] [-j JOBS] FILE.gif...
  build-release/cli/brevanto-convert --help

Environment: JOBS (build jobs, default: the number of cores), BUILD_DIR (default build-release).
TEXT
}

case "${1:-}" in
  -h | --help) usage; exit 0 ;;
esac

scripts/install-deps.sh

build=${BUILD_DIR:-build-release}
jobs=${JOBS:-$(nproc)}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBREVANTO_WERROR=OFF -DBREVANTO_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "$jobs" --target brevanto-convert
converter="$build/cli/brevanto-convert"

convert_files() {
  mkdir -p out
  local status=0
  "$converter" -o out "$@" || status=$?
  echo
  echo "The movies are in $(pwd)/out/"
  echo "Convert your own GIF files with:  ./run.sh FILE.gif...   (movies land in out/)"
  echo "                              or: $converter -o OUTPUT_DIR FILE.gif...   (see --help)"
  return "$status"
}

if ((${#files[@]} > 0)); then
  convert_files "${files[@]}"
elif [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
  # A desktop is there: open the window.
  cmake --build "$build" -j "$jobs" --target brevanto
  exec "$build/app/brevanto"
else
  convert_files examples/*.gif
fi
