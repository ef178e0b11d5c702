#!/usr/bin/env bash
# Installs the Debian packages the build needs, when any is missing, then configures the build tree.
# Usage: scripts/setup.sh <build-dir> <build-type: debug|asan>
set -euo pipefail
PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev libxcb1-dev zlib1g-dev libgtest-dev libgmock-dev
          libbenchmark-dev libcurl4-openssl-dev python3-pyftpdlib qt6-qpa-plugins xvfb xauth xdotool
          tidy chromium libreoffice-writer-nogui liblnk-utils microsocks
          dante-server openbox fonts-liberation)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
