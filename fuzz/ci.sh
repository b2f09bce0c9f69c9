#!/usr/bin/env bash
# Runs every fuzz target briefly on its corpus so that a regression in a reader shows up in CI.
# Usage: fuzz/ci.sh [SECONDS_PER_TARGET]   (default 30, or $FUZZ_CI_SECONDS)
# Fails when clang is missing, when a target does not build, or when any target finds a crash,
# a leak, a sanitizer report, an out-of-memory or a timeout.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
seconds=${1:-${FUZZ_CI_SECONDS:-30}}

if ! command -v clang++-14 >/dev/null && ! command -v clang++ >/dev/null; then
  echo "fuzz/ci.sh: clang is not installed; the fuzz targets cannot be built" >&2
  exit 1
fi

targets=$("$here/run.sh" --list)
if [[ -z $targets ]]; then
  echo "fuzz/ci.sh: no fuzz target can be built" >&2
  exit 1
fi
failed=()
for t in $targets; do
  "$here/run.sh" "$t" "$seconds" || failed+=("$t")
done
if ((${#failed[@]})); then
  echo "fuzz/ci.sh: findings in: ${failed[*]} (inputs under build-fuzz/artifacts/)" >&2
  exit 1
fi
echo "fuzz/ci.sh: all fuzz targets ran ${seconds}s each without a finding"
