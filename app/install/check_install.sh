#!/usr/bin/env bash
# Installs a build into a scratch prefix and checks the result the way a desktop uses it:
# the menu entry passes desktop-file-validate, names an existing program and an installed icon,
# and the installed program opens its window on a virtual X display (Xvfb).
#   app/install/check_install.sh [BUILD_DIR]      (default: build)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
prefix=$(mktemp -d /tmp/brevanto-install.XXXXXX)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" > /dev/null
entry="$prefix/share/applications/brevanto.desktop"
desktop-file-validate "$entry"
exec_path=$(sed -n 's/^Exec="\{0,1\}\([^"]*\)"\{0,1\} %F$/\1/p' "$entry")
grep -qx 'MimeType=image/gif;' "$entry" || { echo "the menu entry does not offer itself for GIF files" >&2; exit 1; }
[[ $exec_path == "$prefix/bin/brevanto" && -x $exec_path ]] || { echo "Exec does not name the installed program: $exec_path" >&2; exit 1; }
for size in 16 24 32 48 64 128 256; do
  icon="$prefix/share/icons/hicolor/${size}x${size}/apps/brevanto.png"
  [[ $(identify -format '%wx%h' "$icon") == "${size}x${size}" ]] || { echo "bad icon $icon" >&2; exit 1; }
done
[[ -s $prefix/share/icons/hicolor/scalable/apps/brevanto.svg ]] || { echo "no scalable icon" >&2; exit 1; }
# The manual where Help looks for it from PREFIX/bin (../share/doc/brevanto/), with its picture.
for doc in manual.html window.png; do
  [[ -s $prefix/share/doc/brevanto/$doc ]] || { echo "no $doc in share/doc/brevanto" >&2; exit 1; }
done

# Start the installed program and wait for its main window ("Brevanto 2.3 ").
cat > "$prefix/run.sh" <<'RUN'
#!/usr/bin/env bash
"$1" > "$2/program.log" 2>&1 &
pid=$!
for _ in $(seq 1 50); do
  if xwininfo -root -tree | grep -q '"Brevanto 2.3 "'; then found=1; break; fi
  sleep 0.2
done
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
[[ ${found:-0} == 1 ]]
RUN
chmod +x "$prefix/run.sh"
if xvfb-run -a -s "-screen 0 1280x900x24" "$prefix/run.sh" "$exec_path" "$prefix"; then
  echo "install OK: $entry is valid and $exec_path shows its window"
else
  echo "the installed program did not show its window" >&2
  cat "$prefix/program.log" >&2
  exit 1
fi
