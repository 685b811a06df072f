#!/usr/bin/env bash
# Installs what building, running and testing Quorvel needs on Debian, if it is missing:
# the native compiler and test libraries, clang with its libFuzzer and sanitizer runtimes
# for the fuzz targets, mingw-w64 for the Windows programs, and Wine,
# Xvfb, xdotool and ImageMagick to run them on a virtual display, with a window manager
# (openbox) and the metric-compatible fonts (fonts-liberation) of a caster's desktop, and
# the font Wine draws its windows' close boxes with (fonts-wine).
# nlohmann/json for the remote control, and curl and headless Chromium (with its
# WebDriver) that its end-to-end test drives it with. icoutils reads the built programs'
# resources back, and the flags' package gives the release zips its copyright notice.
# strace, perf and xtrace are what the benchmarks under bench/ count requests with.
set -euo pipefail

packages=(
  cmake g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev valgrind libgif-dev libjpeg-dev libpng-dev
  clang libclang-rt-14-dev
  g++-mingw-w64-x86-64 wine wine64 xvfb xauth xdotool imagemagick x11-xserver-utils x11-utils
  openbox fonts-liberation fonts-wine python3
  nlohmann-json3-dev curl chromium chromium-driver
  icoutils iso-codes iso-flags-png-320x240
  strace linux-perf xtrace
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
