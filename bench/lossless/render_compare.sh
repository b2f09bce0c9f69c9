# Sourced by the lossless render checks. Compares the frames of a movie, drawn by independent
# readers, with the reference pictures DIR/ref00000.ppm, DIR/ref00001.ppm, ... (exact: max diff
# 0). The caller sets $tools to the swfcheck folder.

# swfrender_exact MOVIE DIR: draws every frame with swfrender.py into DIR/swfrender, its report
# in DIR/swfrender.txt; true when every frame equals its reference.
swfrender_exact() {
  /usr/bin/python3 "$tools/swfrender.py" "$1" "$2/swfrender" --against "$2/ref%05d.ppm" > "$2/swfrender.txt" 2>&1 &&
    ! grep -q "max_abs=[1-9]" "$2/swfrender.txt"
}

# ruffle_exact MOVIE DIR FRAMES LABEL: renders frames 0 to FRAMES-1 with Ruffle into DIR/ruffle,
# prints a line for every frame that differs and one summary line; true when none differs.
ruffle_exact() {
  local movie=$1 dir=$2 n=$3 label=$4 i f bad=0 missing=()
  RUFFLE_FAIL_ON_ERROR=1 bash "$tools/render_frames.sh" "$movie" "$dir/ruffle" $(seq 0 $((n - 1))) \
    > "$dir/ruffle.txt" 2>&1
  # Frames whose end-of-frame signal never came (a timing fault of the headless player on a busy
  # machine) are rendered again with a plain stop and a timed wait.
  for ((i = 0; i < n; i++)); do [[ -f $dir/ruffle/frame$(printf %05d "$i").png ]] || missing+=("$i"); done
  if ((${#missing[@]})); then
    SWFCHECK_PLAIN_STOP=1 bash "$tools/render_frames.sh" "$movie" "$dir/ruffle" "${missing[@]}" \
      >> "$dir/ruffle.txt" 2>&1
  fi
  for ((i = 0; i < n; i++)); do
    f=$(printf %05d "$i")
    python3 "$tools/compare.py" "$dir/ruffle/frame$f.png" "$dir/ref$f.ppm" --json > "$dir/ruffle-$f.json" 2>&1
    grep -q '"max_abs": 0' "$dir/ruffle-$f.json" || { bad=$((bad + 1)); echo "  ruffle $label frame $i: $(cat "$dir/ruffle-$f.json")"; }
  done
  if ((bad == 0)); then echo "ruffle $label: $n frames exact"; else echo "FAIL ruffle $label: $bad of $n frames differ"; fi
  ((bad == 0))
}
