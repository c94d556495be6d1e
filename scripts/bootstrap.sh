#!/usr/bin/env bash
# Installs the Debian packages Tarnak needs to build and test, only when
# something is missing, so repeated `make` calls stay quick.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build ccache pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-translations-l10n
  libqscintilla2-qt6-dev
  libfreetype-dev libfontconfig-dev
  libgtest-dev libgmock-dev googletest
  libbenchmark-dev
  clang libclang-rt-dev
  fonts-ipafont-gothic fonts-urw-base35 hershey-fonts-data python3-fonttools
  linuxcnc-uspace
  admesh
  python3-ezdxf
  gerbv
  python3-shapely
  xvfb xauth
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "bootstrap: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
