#!/usr/bin/env bash
# Installs what the build needs (Debian packages), builds, and runs the whole test suite:
#   1. the main build: the Release configuration users build (README "Installing"), with the
#      tests and warnings as errors, and its GoogleTest suite through ctest;
#   2. the image and controls tests again under AddressSanitizer + UndefinedBehaviorSanitizer;
#   3. a brief run of every fuzz target (clang, libFuzzer) on its corpus;
#   4. the Debian package made from the main build, checked in a scratch root
#      (app/install/check_package.sh: file list, lintian, desktop-file-validate, appstreamcli).
# The ctest summary is printed last.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh

build=${BUILD_DIR:-build}
jobs=${JOBS:-$(nproc)}
# One build serves both purposes: it is the Release configuration of README, so a warning
# that only the optimiser finds (-O3) stops CI rather than a user, and building a second
# configuration would nearly double the compile time.
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBREVANTO_WERROR=ON -DBREVANTO_BUILD_TESTS=ON
cmake --build "$build" -j "$jobs"

# Sanitizer build of the decoders' tests (SANITIZE=0 leaves it out).
if [[ ${SANITIZE:-1} != 0 ]]; then
  JOBS=$jobs tests/sanitize.sh
fi

# A brief run of every fuzz target on its corpus, so a regression in a reader is caught.
# FUZZ_CI_SECONDS sets the seconds per target (0 leaves the fuzzing out); a missing clang fails.
fuzz_seconds=${FUZZ_CI_SECONDS:-30}
if [[ $fuzz_seconds != 0 ]]; then
  FUZZ_JOBS=$jobs fuzz/ci.sh "$fuzz_seconds"
fi

# The Debian package of the main build (PACKAGE=0 leaves it out; it is skipped with a note
# when the Debian tools are missing, which install-deps.sh installs).
if [[ ${PACKAGE:-1} != 0 ]]; then
  app/install/check_package.sh "$build"
fi

export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j "$jobs"
