#!/usr/bin/env bash
# Installs the Debian packages Brevanto needs to build, test and run (only those missing),
# through apt-get (with sudo when not root). Used by ./test.sh and ./run.sh.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-qpa-plugins
  libgif-dev libturbojpeg0-dev libjpeg62-turbo-dev libpng-dev libtiff-dev libdeflate-dev
  libgtest-dev libbenchmark-dev
  clang libclang-rt-dev
  python3 ffmpeg imagemagick xvfb xauth desktop-file-utils
  dpkg-dev file lintian appstream   # the Debian package and its checks (app/install/check_package.sh)
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo=""
  [[ $(id -u) -eq 0 ]] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
