#!/usr/bin/env bash
# Redraws docs/window.png, the README's picture of the window: five GIFs listed, the first one
# previewing. Runs the window on a virtual X display (Xvfb), so it needs no desktop.
#   docs/make_screenshot.sh [BUILD_DIR]      (default: build; app_tests must be built)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
tests="$build/tests/app/app_tests"
[[ -x $tests ]] || { echo "build $tests first (cmake --build $build --target app_tests)" >&2; exit 1; }
out="$PWD/docs/window.png"
# Run from the test's build folder: the test finds examples/ through its own source path, which
# the compiler records relative to that folder.
(cd "$(dirname "$tests")" && xvfb-run -a -s "-screen 0 1280x900x24" \
  env QT_QPA_PLATFORM=xcb BREVANTO_SCREENSHOT="$out" \
  ./app_tests --gtest_filter='WindowScreenshot.*')
echo "wrote $out ($(stat -c %s "$out") bytes)"
