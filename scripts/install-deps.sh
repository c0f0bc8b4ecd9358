#!/usr/bin/env bash
# Installs what building and testing need on Debian 12 (run as root; sudo is used when present).
set -euo pipefail
packages=(
  build-essential cmake pkg-config zlib1g-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  qt6-base-dev libqt6svg6
  python3 python3-xlrd python3-olefile python3-xlwt python3-html5lib python3-openpyxl
  libgsf-bin gnumeric libreoffice-calc-nogui unzip
  default-jdk-headless libapache-poi-java
  time
  lintian desktop-file-utils groff-base man-db
  clang libclang-rt-14-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
