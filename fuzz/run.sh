#!/usr/bin/env bash
# Builds one fuzz target (clang, libFuzzer, ASan + UBSan) and runs it for a number of seconds
# on its corpus. Usage: fuzz/run.sh TARGET SECONDS [extra libFuzzer options...]
#        fuzz/run.sh --list          the targets that can be built now
#        fuzz/run.sh --build         build every target, run nothing
# Environment: FUZZ_BUILD_DIR (default build-fuzz), FUZZ_JOBS (build jobs, default 2),
#              FUZZ_NICE (default 10).
# The working corpus grows in $FUZZ_BUILD_DIR/corpus/TARGET (kept between runs); seeds are made
# fresh in $FUZZ_BUILD_DIR/seeds/TARGET; a crash is saved under $FUZZ_BUILD_DIR/artifacts/TARGET/.
# Exit status: 0 when the run ended without a finding, 1 otherwise.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
jobs=${FUZZ_JOBS:-2}
nice_level=${FUZZ_NICE:-10}

find_clang() {
  for v in 14 15 16 17 18 ""; do
    local cxx=clang++${v:+-$v} cc=clang${v:+-$v}
    if command -v "$cxx" >/dev/null && command -v "$cc" >/dev/null; then
      echo "$cc $cxx"
      return 0
    fi
  done
  return 1
}

configure() {
  if [[ ! -f $build/CMakeCache.txt ]]; then
    local compilers
    if ! compilers=$(find_clang); then
      echo "fuzz/run.sh: clang is not installed (Debian packages clang and libclang-rt-dev)" >&2
      exit 3
    fi
    read -r cc cxx <<<"$compilers"
    cmake -S "$here" -B "$build" -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" >/dev/null
  else
    # Picks up targets whose sources appeared since the last configure.
    cmake "$build" >/dev/null
  fi
}

targets() { cat "$build/fuzz_targets.txt"; }

case ${1:-} in
  --list) configure; targets; exit 0 ;;
  --build)
    configure
    for t in $(targets); do nice -n "$nice_level" cmake --build "$build" -j "$jobs" --target "$t"; done
    exit 0 ;;
  ""|-h|--help)
    sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'
    exit 2 ;;
esac

target=$1
seconds=${2:-60}
shift 2 || shift $#
configure
if ! grep -qx "$target" "$build/fuzz_targets.txt"; then
  echo "fuzz/run.sh: unknown or not yet buildable target '$target'; available: $(targets | tr '\n' ' ')" >&2
  exit 2
fi
nice -n "$nice_level" cmake --build "$build" -j "$jobs" --target "$target" >/dev/null

corpus=$build/corpus/$target
seeds=$build/seeds/$target
artifacts=$build/artifacts/$target
mkdir -p "$corpus" "$artifacts"
rm -rf "$seeds"
python3 "$here/make_seeds.py" "$target" "$seeds"

options=(
  -max_total_time="$seconds"
  -timeout=20
  -rss_limit_mb=4096
  -malloc_limit_mb=2600
  -max_len=131072
  -print_final_stats=1
  -artifact_prefix="$artifacts/"
)
# A dictionary named after the target, else after its first word (fuzz_load_save -> load).
name=${target#fuzz_}
dict=$here/dict/$name.dict
[[ -f $dict ]] || dict=$here/dict/${name%%_*}.dict
[[ -f $dict ]] && options+=(-dict="$dict")

log=$build/logs/$target-$(date +%Y%m%d-%H%M%S).log
mkdir -p "$build/logs"
echo "fuzz/run.sh: $target for ${seconds}s (log: $log)"
status=0
# Work files of the targets (decoded images written back out) go to a private folder.
export TMPDIR=${FUZZ_TMPDIR:-$build/tmp}
mkdir -p "$TMPDIR"
ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1} \
UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1} \
  nice -n "$nice_level" "$build/$target" "${options[@]}" "$@" "$corpus" "$seeds" >"$log" 2>&1 || status=$?
runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
echo "fuzz/run.sh: $target executions: ${runs:-?} corpus: $(ls "$corpus" | wc -l) files"
if ((status != 0)); then
  echo "fuzz/run.sh: $target FAILED (status $status); excerpt of $log:" >&2
  grep -E 'ERROR|SUMMARY|==[0-9]+==|runtime error|Test unit written|out-of-memory|timeout' "$log" | head -20 >&2
  exit 1
fi
