#!/usr/bin/env bash
# Installs what building, running and testing wydrukid95 needs, from Debian's or Ubuntu's
# packages. Runs apt only for what is missing; needs root (or sudo) only then.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang clang-format libclang-rt-14-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libcups2-dev libcairo2-dev libfontconfig-dev libfreetype-dev
  cups cups-client cups-filters cups-bsd
  fonts-liberation fonts-dejavu-core poppler-utils
  dosbox desktop-file-utils man-db dpkg-dev file
  libgtk-3-dev
  # the desktop test: a display, a window manager, a tray, the accessibility bus and its client
  xvfb openbox tint2 dbus dbus-x11 at-spi2-core python3-gi gir1.2-atspi-2.0 xdotool
  imagemagick x11-utils
  # the notification-area tests: an SNI host
  xfce4-panel
  # the Wayland desktop test: a compositor with a headless output, its bar's tray, screenshots
  sway waybar grim
)
if [ "${WYDRUKI_WINDOWS:-1}" = 1 ]; then
  # Wine runs the Windows programs; its end-to-end test also needs PostScript to PDF (and the
  # display, window manager and window tools of the desktop test above); NSIS makes the installer.
  packages+=(mingw-w64 wine64 ghostscript nsis)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
