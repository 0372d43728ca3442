#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Makes the README's pictures from the desktop tests' screenshots, so that they show what the
# current agent shows: the configuration window and the font dialog (Xvfb with openbox), the
# tray menu in tint2's XEmbed tray, in xfce4-panel's notification area, and on sway with
# waybar (native Wayland). The tests run first; the pictures are cropped, reduced to a small
# palette and written to docs/pictures/.
# Usage: scripts/readme-pictures.sh [build directory]    (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
out=$root/docs/pictures
shots=$build/artifacts
[ "${WYDRUKI_PICTURES_NO_TESTS:-}" = 1 ] || ctest --test-dir "$build" -R 'GtkDesktop|agent_tray_e2e|WaylandDesktop' --output-on-failure
mkdir -p "$out"

# small() SOURCE NAME [convert options...]: a picture of the README, in 64 colours.
small() {
  local source=$1 name=$2
  shift 2
  if [ ! -f "$source" ]; then
    echo "no $source (was its test skipped?); $name kept as it was"
    return
  fi
  convert "$source" "$@" +repage -strip +dither -colors 64 "PNG8:$out/$name"
  echo "$out/$name: $(identify -format '%wx%h' "$out/$name"), $(stat -c %s "$out/$name") bytes"
}

small "$shots/desktop/configuration.png" configuration.png
small "$shots/desktop/font-dialog.png" font-dialog.png
# tint2 sits on the bottom edge of a 1024x768 screen; the menu opens above its icon.
small "$shots/desktop/tray-menu.png" tray-menu-tint2.png -crop 320x150+704+618
# xfce4-panel's notification area on the top edge of 800x600; its own drawing of the menu.
small "$shots/agent_xfce_menu.png" tray-menu-xfce4-panel.png -crop 560x400+0+0
# waybar on the top edge, the popup hanging from the shown window.
small "$shots/wayland/wayland_popup.png" tray-menu-waybar.png -crop 740x545+284+0
