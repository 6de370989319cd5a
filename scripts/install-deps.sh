#!/usr/bin/env bash
# Installs the Debian packages Kestrine needs to build, test and benchmark, when any is missing.
# With the argument "fuzz": only what the fuzz targets need (clang and its libFuzzer runtime);
# with "bench": also the benchmarks' own timer.
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config ccache clang-format
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libqt6svg6 libgl-dev libxcb1-dev
  libgtest-dev libgmock-dev
  xvfb xauth xdotool x11-utils openbox imagemagick fonts-liberation fonts-dejavu-core
  # The hex grid read through the accessibility bus: its launcher and registry, a session bus
  # of the test's own (dbus-run-session) and the Python client of a screen reader.
  at-spi2-core dbus dbus-daemon python3-pyatspi
  fp-utils
  # Opening the help: xdg-open (which asks `file` for the type) and a viewer for compiled help.
  xdg-utils file xchm
  time util-linux coreutils locales ripgrep
  # The Debian package: icons drawn from the SVG, dpkg-shlibdeps, and the checks of its test.
  librsvg2-bin dpkg-dev lintian desktop-file-utils appstream man-db
)
if [ "${1:-}" = "bench" ]; then
  packages+=(hyperfine)
fi
if [ "${1:-}" = "fuzz" ]; then
  # libclang-rt-dev brings libclang_rt.fuzzer for the default clang.
  packages=(cmake ninja-build make ccache clang libclang-rt-dev)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

# A locale that groups digits with "." for the size-text tests.
need_locale() { ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; }

if [ ${#missing[@]} -eq 0 ]; then
  if need_locale && [ "$(id -u)" -eq 0 ]; then localedef -i de_DE -f UTF-8 de_DE.UTF-8 || true; fi
  exit 0
fi

echo "Installing missing packages: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null 2>&1 || { echo "Run as root or install: ${missing[*]}" >&2; exit 1; }
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"

if need_locale; then $sudo localedef -i de_DE -f UTF-8 de_DE.UTF-8 || true; fi
