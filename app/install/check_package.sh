#!/usr/bin/env bash
# Builds the Debian package from a configured build and checks it as a user's system would
# see it:
#   - cpack -G DEB writes brevanto_<version>_<arch>.deb;
#   - dpkg -x unpacks it into a scratch root, where every file the package promises must be
#     (programs, menu entry, icons, gzipped man pages, manual, metadata, copyright);
#   - the unpacked brevanto-convert --version runs, and its man page lists its --help options;
#   - lintian reports no errors, desktop-file-validate and appstreamcli validate --no-net pass.
#   app/install/check_package.sh [BUILD_DIR]      (default: build)
# Without the Debian tools (dpkg-deb, dpkg-shlibdeps, lintian, desktop-file-validate,
# appstreamcli; scripts/install-deps.sh installs them) it says so and exits 0.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$(cd "${1:-build}" && pwd)

for tool in dpkg-deb dpkg-shlibdeps lintian desktop-file-validate appstreamcli cpack; do
  if ! command -v "$tool" > /dev/null; then
    echo "check_package: $tool is missing, the package is not checked (scripts/install-deps.sh installs it)"
    exit 0
  fi
done

fail() { echo "check_package: $*" >&2; exit 1; }

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
arch=$(dpkg --print-architecture)
deb="$build/brevanto_${version}_${arch}.deb"
rm -f "$deb"
(cd "$build" && cpack -G DEB > cpack.log 2>&1) || { cat "$build/cpack.log" >&2; fail "cpack failed"; }
[[ -s $deb ]] || fail "cpack did not write $(basename "$deb")"

root=$(mktemp -d /tmp/brevanto-deb.XXXXXX)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"

expected=(
  usr/bin/brevanto usr/bin/brevanto-convert
  usr/share/applications/brevanto.desktop
  usr/share/metainfo/example.tolvane.brevanto.metainfo.xml
  usr/share/man/man1/brevanto.1.gz usr/share/man/man1/brevanto-convert.1.gz
  usr/share/doc/brevanto/manual.html usr/share/doc/brevanto/window.png
  usr/share/doc/brevanto/copyright usr/share/doc/brevanto/changelog.gz
  usr/share/icons/hicolor/scalable/apps/brevanto.svg
)
for size in 16 24 32 48 64 128 256; do
  expected+=("usr/share/icons/hicolor/${size}x${size}/apps/brevanto.png")
done
for file in "${expected[@]}"; do
  [[ -s $root/$file ]] || fail "$file is missing from the package"
done
for program in brevanto brevanto-convert; do
  [[ -x $root/usr/bin/$program ]] || fail "usr/bin/$program is not executable"
done
for page in "$root"/usr/share/man/man1/*.gz; do
  gzip -t "$page" || fail "$page is not gzipped"
done
# Nothing outside /usr, and nothing the package does not expect (test programs, build files).
unexpected=$(cd "$root" && find . -type f | sed 's|^\./||' | sort | comm -23 - <(printf '%s\n' "${expected[@]}" | sort))
[[ -z $unexpected ]] || fail "unexpected files in the package: $unexpected"

# The unpacked programs run (their libraries come from the system, as dpkg-shlibdeps listed).
"$root/usr/bin/brevanto-convert" --version | grep -qx "brevanto-convert $version" ||
  fail "the unpacked brevanto-convert does not report version $version"
zcat "$root/usr/share/man/man1/brevanto-convert.1.gz" > "$root/brevanto-convert.1"
docs/man/check_options.sh "$root/usr/bin/brevanto-convert" "$root/brevanto-convert.1"
dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6' || fail "the package does not depend on Qt (shlibdeps)"

# The menu entry starts the installed program and offers itself for GIF files.
entry="$root/usr/share/applications/brevanto.desktop"
desktop-file-validate "$entry"
grep -qx 'Exec="/usr/bin/brevanto" %F' "$entry" || fail "the menu entry does not start /usr/bin/brevanto with %F"
grep -qx 'MimeType=image/gif;' "$entry" || fail "the menu entry declares no GIF type"
appstreamcli validate --no-net "$root/usr/share/metainfo/example.tolvane.brevanto.metainfo.xml"

# lintian: errors fail; warnings and notes are shown. (Run as root it notes that it should
# not be; that line is dropped.)
report=$(lintian --display-info "$deb" 2>&1 | grep -v 'running with root privileges' || true)
tags=$(echo "$report" | grep -E '^[EWI]: ' || true)
[[ -z $tags ]] || echo "$tags"
if echo "$tags" | grep -q '^E: '; then
  fail "lintian reports errors"
fi
echo "package OK: $(basename "$deb") ($(du -k "$deb" | cut -f1) KiB), lintian: $(echo "$tags" | grep -c '^E: ' || true) errors, $(echo "$tags" | grep -c '^W: ' || true) warnings"
