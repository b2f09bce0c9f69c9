#!/usr/bin/env bash
# The long run: Convert All through the conversion engine (real preview player, playback thread
# and frame capture, headless) over COUNT GIFs taken from ../shared/testdata/gif/valid, repeated
# as often as needed; then every movie is checked with swfinspect.py, the capture folder must be
# empty, and resident memory is compared between the first and the last files of the run.
# Not part of CI: it plays every file in real time (about 10 minutes for 300 files).
#
# Usage: scripts/longrun.sh [COUNT]     (default 300)
# Environment: BUILD_DIR (default build-hard), TESTDATA (default ../shared/testdata/gif/valid),
#              OUT (default $BUILD_DIR/longrun).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
count=${1:-300}
build=${BUILD_DIR:-$root/build-hard}
testdata=${TESTDATA:-$root/../shared/testdata/gif/valid}
out=${OUT:-$build/longrun}
inspect=$root/../shared/tools/swfcheck/swfinspect.py

[[ -d $testdata ]] || { echo "longrun: no GIFs in $testdata" >&2; exit 2; }
[[ -f $inspect ]] || { echo "longrun: $inspect not found" >&2; exit 2; }

if [[ ! -f $build/CMakeCache.txt ]]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBREVANTO_BUILD_UI=OFF >/dev/null
fi
cmake --build "$build" -j "${JOBS:-2}" --target hardening_tests >/dev/null

rm -rf "$out"
mkdir -p "$out/inputs"
# COUNT input files: the corpus repeated; each copy under its own name, so every movie is new.
mapfile -t corpus < <(find "$testdata" -maxdepth 1 -name '*.gif' | sort)
((${#corpus[@]})) || { echo "longrun: no GIFs in $testdata" >&2; exit 2; }
list=$out/list.txt
: >"$list"
for ((i = 0; i < count; i++)); do
  src=${corpus[i % ${#corpus[@]}]}
  dst=$out/inputs/$(printf '%03d' "$i")-$(basename "$src")
  ln -s "$src" "$dst"
  echo "$dst" >>"$list"
done

echo "longrun: Convert All over $count GIFs (${#corpus[@]} distinct) into $out"
start=$(date +%s)
status=0
BREVANTO_LONGRUN_LIST=$list BREVANTO_LONGRUN_OUT=$out \
  "$build/tests/hardening/hardening_tests" --gtest_filter='LongRun.*' >"$out/run.log" 2>&1 || status=$?
end=$(date +%s)
tail -3 "$out/run.log"

# Every movie written must be a valid SWF.
movies=0 invalid=0
while IFS= read -r -d '' movie; do
  movies=$((movies + 1))
  if ! python3 "$inspect" --expect-version 3 --expect-convention "$movie" >/dev/null 2>&1; then
    invalid=$((invalid + 1))
    echo "longrun: invalid movie: $movie" >&2
  fi
done < <(find "$out" -maxdepth 1 -name '*.swf' -print0)
leftovers=$(find "$out/tolvane_brevanto/Temp" -type f 2>/dev/null | wc -l)
partial=$(find "$out" -maxdepth 1 -name '.*.tmp' | wc -l)

python3 - "$out/longrun-report.tsv" "$count" "$((end - start))" "$movies" "$invalid" "$leftovers" "$partial" "${#corpus[@]}" <<'PY'
import csv, sys
path, count, seconds, movies, invalid, leftovers, partial, distinct = sys.argv[1:]
rows = list(csv.DictReader(open(path), delimiter="\t"))
n, distinct = len(rows), int(distinct)
mib = lambda kib: int(kib) / 1024
problems = [r for r in rows if r["problem"]]
print(f"longrun: files {n}, time {seconds} s, movies {movies} (invalid {invalid}), "
      f"refused {len(problems)}, leftover capture files {leftovers}, partial movies {partial}")
print(f"longrun: resident memory after the first file {mib(rows[0]['rss_kib']):.1f} MiB, "
      f"after the last {mib(rows[-1]['rss_kib']):.1f} MiB, highest {max(mib(r['peak_kib']) for r in rows):.1f} MiB")
# The corpus is repeated: once every distinct file has been converted the heap has seen the
# largest of them, so from then on memory must stay flat from pass to pass.
for p in range(0, n, distinct):
    chunk = rows[p:p + distinct]
    print(f"longrun:   pass over files {p}..{p + len(chunk) - 1}: peak {max(mib(r['peak_kib']) for r in chunk):.1f} MiB, "
          f"after its last file {mib(chunk[-1]['rss_kib']):.1f} MiB")
reasons = {}
for r in problems:
    key = r["problem"].split(":")[0][:60]
    reasons[key] = reasons.get(key, 0) + 1
for k, v in sorted(reasons.items(), key=lambda kv: -kv[1]):
    print(f"longrun:   refused {v} x: {k}")
PY
if ((status != 0 || invalid != 0 || leftovers != 0 || partial != 0)); then
  echo "longrun: FAILED (see $out/run.log)" >&2
  exit 1
fi
echo "longrun: OK"
