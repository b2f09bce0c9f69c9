#!/usr/bin/env bash
# Installs what the build needs (Debian packages), builds, and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh

build=${BUILD_DIR:-build}
jobs=${JOBS:-$(nproc)}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBREVANTO_WERROR=ON
cmake --build "$build" -j "$jobs"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j "$jobs"

# A brief run of every fuzz target (clang, libFuzzer, AddressSanitizer + UndefinedBehaviorSanitizer)
# on its corpus, so a regression in a reader is caught. FUZZ_CI_SECONDS sets the seconds per
# target (0 leaves the fuzzing out); a missing clang fails the run.
fuzz_seconds=${FUZZ_CI_SECONDS:-30}
if [[ $fuzz_seconds != 0 ]]; then
  FUZZ_JOBS=$jobs fuzz/ci.sh "$fuzz_seconds"
fi
