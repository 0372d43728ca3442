#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The agent on native Wayland: sway's headless output with waybar's tray (a StatusNotifierItem
# host), the gtk driver on GDK's Wayland backend, a private session bus.
#
# Faults caught: an agent that shows nothing while the panel is gone, a window that stays up
# after the panel is back, a ContextMenu popup that does not hang from the shown window, and
# an agent that a ContextMenu with no window left unable to take the next double click.
# Screenshots (grim) go to the artifacts directory.
#
# sway refuses to run as root: run as root, the test runs itself again as the user named in
# WYDRUKI_WAYLAND_USER (default "nobody").
# Usage: wayland_desktop_test.sh <wydrukid95> <artifacts directory>
set -euo pipefail
agent=$1
artifacts=$2
for tool in sway waybar grim gdbus dbus-run-session; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed (scripts/install-deps.sh installs it)"
    exit 77
  fi
done
if [ "$(id -u)" = 0 ]; then
  user=${WYDRUKI_WAYLAND_USER:-nobody}
  mkdir -p "$artifacts"
  chmod 777 "$artifacts"
  exec runuser -u "$user" -- "$0" "$agent" "$artifacts"
fi
if [ -z "${WYDRUKI_WAYLAND_SESSION:-}" ]; then
  export WYDRUKI_WAYLAND_SESSION=1
  exec dbus-run-session -- "$0" "$@"
fi

work=$(mktemp -d /tmp/wydruki-wayland.XXXXXX)
export XDG_RUNTIME_DIR=$work/run XDG_CONFIG_HOME=$work/config HOME=$work
mkdir -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME/sway" "$XDG_CONFIG_HOME/waybar" "$work/jobs"
chmod 700 "$XDG_RUNTIME_DIR"
mkdir -p "$artifacts"
pids=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  echo "--- record"; cat "$work/screen.txt" 2>/dev/null || true
  echo "--- agent"; cat "$work/agent.log" 2>/dev/null || true
  exit 1
}
# Waits up to 30 s for a command to succeed.
wait_for() {
  local what=$1
  shift
  for _ in $(seq 300); do
    if "$@" >/dev/null 2>&1; then return 0; fi
    sleep 0.1
  done
  fail "waited in vain for $what"
}
count() { grep -c "^$1" "$work/screen.txt" 2>/dev/null || true; }
more_than() { [ "$(count "$1")" -gt "$2" ]; }

printf 'output HEADLESS-1 resolution 1024x768\n' >"$XDG_CONFIG_HOME/sway/config"
printf '{"layer": "top", "position": "top", "height": 30, "modules-right": ["tray"]}\n' \
  >"$XDG_CONFIG_HOME/waybar/config"
WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman sway >"$work/sway.log" 2>&1 &
pids+=($!)
wait_for "sway's sockets" compgen -G "$XDG_RUNTIME_DIR/sway-ipc.*"
wait_for "sway's sockets" compgen -G "$XDG_RUNTIME_DIR/wayland-[0-9]"
WAYLAND_DISPLAY=$(basename "$(compgen -G "$XDG_RUNTIME_DIR/wayland-[0-9]" | head -1)")
export WAYLAND_DISPLAY
SWAYSOCK=$(compgen -G "$XDG_RUNTIME_DIR/sway-ipc.*" | head -1)
export SWAYSOCK
unset DISPLAY

watcher_up() {
  gdbus call --session -d org.freedesktop.DBus -o /org/freedesktop/DBus \
    -m org.freedesktop.DBus.NameHasOwner org.kde.StatusNotifierWatcher | grep -q true
}
waybar >"$work/waybar.log" 2>&1 &
waybar_pid=$!
pids+=($waybar_pid)
wait_for "waybar's notification area" watcher_up

printf '[windows]\ndevice=trace-file,builtin,x\n[trace-file]\nport=%s/trace.txt\n' "$work" \
  >"$work/win.ini"
printf '[display]\ndriver=gtk\nrecord=%s/screen.txt\n' "$work" >>"$work/win.ini"
GDK_BACKEND=wayland WYDRUKI_INI=$work/win.ini "$agent" "$work/jobs/" >"$work/agent.log" 2>&1 &
pids+=($!)
wait_for "the start-up to hide the window" more_than "HIDE Wydruki dla D95" 0
item=
registered() {
  item=$(gdbus introspect --session -d org.kde.StatusNotifierWatcher -o /StatusNotifierWatcher \
    -p | grep -o 'org.kde.StatusNotifierItem-[0-9-]*' | head -1)
  [ -n "$item" ]
}
wait_for "the item in waybar" registered
call() {
  gdbus call --session -d "$item" -o /StatusNotifierItem -m "org.kde.StatusNotifierItem.$1" 500 10
}
grim "$artifacts/wayland_waybar.png"

shot() { grim "$work/$1.png"; }
# The window is on screen when two screenshots agree and show more than the bare desktop.
settled() {
  shot before && shot again && [ "$(stat -c %s "$work/before.png")" -gt 8000 ] &&
    compare -metric AE "$work/before.png" "$work/again.png" null: 2>/dev/null
}

# The panel goes away: the window stands in for the icon; back, and the untouched window goes.
shows=$(count "SHOW Wydruki dla D95")
kill "$waybar_pid"
wait_for "the window in the lost icon's place" more_than "SHOW Wydruki dla D95" "$shows"
wait_for "the window on screen" settled
cp "$work/before.png" "$artifacts/wayland_no_panel.png"
hides=$(count "HIDE Wydruki dla D95")
waybar >"$work/waybar.log" 2>&1 &
pids+=($!)
wait_for "the window to go when waybar is back" more_than "HIDE Wydruki dla D95" "$hides"
wait_for "the item in waybar again" registered

# ContextMenu with no window of ours on screen: nothing to hang a popup from, so nothing stray
# appears, and the agent is free for the next double click, which shows the window.
menus=$(count "MENU ")
call ContextMenu >/dev/null
wait_for "the program's popup request" more_than "MENU " "$menus"
shows=$(count "SHOW Wydruki dla D95")
call Activate >/dev/null
call Activate >/dev/null
wait_for "the double click after ContextMenu" more_than "SHOW Wydruki dla D95" "$shows"

# With the window shown the popup hangs from it: it is drawn over the window.
wait_for "the window on screen" settled
menus=$(count "MENU ")
call ContextMenu >/dev/null
wait_for "the program's popup request" more_than "MENU " "$menus"
popup_drawn() {
  shot after
  ! compare -metric AE "$work/before.png" "$work/after.png" null: 2>/dev/null
}
wait_for "the popup on screen" popup_drawn
cp "$work/after.png" "$artifacts/wayland_popup.png"

# The stop signal ends the agent even with the popup open.
touch "$work/jobs/koniec.drk"
wait_for "the agent to end" grep -q "^TRAY DELETE" "$work/screen.txt"
echo "PASS"
