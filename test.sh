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
