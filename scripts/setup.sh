#!/usr/bin/env bash
# Installs every Debian package that building, testing and benchmarking Tarvex need.
# Idempotent: installs only what is missing, and runs apt-get update at most once.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  clang clang-format clang-tidy libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libfftw3-dev libgsl-dev
  locales poppler-utils
  qt6-base-dev libqcustomplot-dev fonts-dejavu-core xvfb xauth
  openbox x11-apps  # the first-start screenshot (scripts/screenshots.sh): a window manager, xwd
  # The Python module (pybind11, NumPy), its tests and examples (pytest, matplotlib, emcee,
  # Dask with its distributed scheduler).
  pybind11-dev python3-dev python3-numpy python3-pytest python3-matplotlib python3-emcee
  python3-dask python3-distributed
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  echo "Installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi

# A locale with ',' decimals: the tests check that number text does not follow the C locale.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  echo "Generating the locale de_DE.UTF-8"
  "${sudo_cmd[@]}" localedef -i de_DE -c -f UTF-8 -A /usr/share/locale/locale.alias de_DE.UTF-8
fi
