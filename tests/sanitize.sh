#!/usr/bin/env bash
# Builds the core libraries with the image and controls tests under AddressSanitizer and
# UndefinedBehaviorSanitizer (any report fails the run) in build-asan, and runs them.
# The ImageMagick frame comparison is left to the normal build (it only adds child processes);
# every corpus file is still decoded under the sanitizers.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${ASAN_BUILD_DIR:-build-asan}
jobs=${JOBS:-2}
flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -O1 -g"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DBREVANTO_BUILD_UI=OFF -DBREVANTO_WERROR=ON \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_C_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
cmake --build "$build" -j "$jobs" --target image_tests controls_tests
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export BREVANTO_SKIP_IMAGEMAGICK=1
status=0
for t in "$build/tests/image/image_tests" "$build/tests/controls/controls_tests"; do
  echo "== $t"
  "$t" --gtest_brief=1 || status=1
done
exit $status
