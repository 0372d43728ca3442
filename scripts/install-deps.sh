#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what building, running and testing wydrukid95 needs, from Debian's or Ubuntu's
# packages. Runs apt only for what is missing; needs root (or sudo) only then.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang clang-format
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libcups2-dev libcairo2-dev libfontconfig-dev libfreetype-dev zlib1g-dev
  cups cups-client cups-filters cups-bsd
  fonts-liberation fonts-dejavu-core fonts-urw-base35 poppler-utils
  dosbox desktop-file-utils man-db dpkg-dev file
  # the package: its icons rendered, lintian; the companion's scope under a user manager
  librsvg2-bin lintian systemd
  libgtk-3-dev
  # the desktop test: a display, a window manager, a tray, the accessibility bus and its client
  xvfb openbox tint2 dbus dbus-x11 at-spi2-core python3-gi gir1.2-atspi-2.0 xdotool
  imagemagick x11-utils
  # the notification-area tests: an SNI host
  xfce4-panel
  # the print-system tests beside a printer advertised on the network (DNS-SD)
  avahi-daemon avahi-utils libnss-mdns cups-ipp-utils iproute2
  # the Wayland desktop test: a compositor with a headless output, its bar's tray, screenshots
  sway waybar grim
)
if [ "${WYDRUKI_WINDOWS:-1}" = 1 ]; then
  # Wine runs the Windows programs; its end-to-end test also needs PostScript to PDF (and the
  # display, window manager and window tools of the desktop test above); NSIS makes the installer.
  packages+=(mingw-w64 wine64 ghostscript nsis)
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
updated=0
install_missing() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -gt 0 ] || return 0
  echo "Installing: ${missing[*]}"
  if [ "$updated" = 0 ]; then
    "${sudo_cmd[@]}" apt-get update -qq
    updated=1
  fi
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
install_missing "${packages[@]}"

# clang's sanitizer and libFuzzer runtimes come in a package named after the compiler's major
# version: libclang-rt-14-dev on Debian 12, libclang-rt-18-dev on Ubuntu 24.04. Where no such
# package exists (older releases), they come with libclang-common-N-dev, which clang brings.
clang_major=$(clang --version | sed -n 's/.*clang version \([0-9][0-9]*\)\..*/\1/p' | head -n 1)
if [ -n "$clang_major" ]; then
  runtime=libclang-rt-$clang_major-dev
  if apt-cache show "$runtime" >/dev/null 2>&1; then
    install_missing "$runtime"
  fi
fi
