#!/usr/bin/env bash
# Installs the Debian packages that the build, the programs and the tests need.
# Quick when everything is present: it checks first and runs apt-get only for
# what is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang-format
  qt6-base-dev qt6-qpa-plugins
  libjpeg62-turbo-dev libturbojpeg0-dev libgif-dev libpng-dev libzip-dev libdeflate-dev
  libheif-dev libwebp-dev libtiff-dev
  libheif-examples libavif-bin webp libtiff-tools imagemagick
  nlohmann-json3-dev libcli11-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-private-dev desktop-file-utils appstream
)
if [[ "${QUILL_WITH_FUZZ:-0}" == 1 ]]; then
  packages+=(clang-14 libclang-rt-14-dev)
fi
# make package: CPack's DEB generator runs file and dpkg-shlibdeps; lintian checks the result.
if [[ "${QUILL_WITH_PACKAGE:-0}" == 1 ]]; then
  packages+=(file dpkg-dev lintian)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if ((${#missing[@]} == 0)); then
  exit 0
fi

sudo=()
if [[ $(id -u) -ne 0 ]]; then
  sudo=(sudo)
fi
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
