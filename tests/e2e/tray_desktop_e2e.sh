#!/usr/bin/env bash
# The notification-area icon on real desktops, through the tray probe (the platform's tray
# code showing the agent's six icons): first with no tray at all, then xfce4-panel's
# notification area as a StatusNotifierItem host, its restart, and finally tint2 as an
# XEmbed tray started after the icon. Runs under Xvfb with openbox and a private session
# bus; screenshots are kept in the artifacts directory.
# Usage: tray_desktop_e2e.sh <tray_probe> <artifacts directory>
set -euo pipefail
probe=$1
artifacts=$2

for tool in Xvfb openbox xfce4-panel tint2 xdotool gdbus dbus-run-session import xwininfo; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed (scripts/install-deps.sh installs it)"
    exit 77
  fi
done

if [ -z "${WYDRUKI_TRAY_SESSION:-}" ]; then
  # A private bus whose activated services (xfconfd) see this test's configuration.
  work=$(mktemp -d /tmp/wydruki-tray.XXXXXX)
  export WYDRUKI_TRAY_SESSION=$work XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache
  export XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/runtime
  mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
  status=0
  dbus-run-session -- "$0" "$@" || status=$?
  rm -rf "$work"
  exit $status
fi
work=$WYDRUKI_TRAY_SESSION
mkdir -p "$artifacts"

pids=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  for log in "$work"/*.log; do echo "--- $log"; tail -n 20 "$log"; done
  exit 1
}

# Waits, up to a generous deadline, until a command succeeds.
wait_until() {
  local what=$1
  shift
  for _ in $(seq 1 400); do
    if "$@" >/dev/null 2>&1; then return 0; fi
    sleep 0.05
  done
  fail "timed out waiting for: $what"
}

# The n-th and later lines of a probe's log.
has_line() { grep -qxF "$2" "$1"; }
lines_after() { tail -n +"$(($2 + 1))" "$1"; }
count_lines() { wc -l <"$1"; }

mkdir -p "$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml" "$XDG_CONFIG_HOME/tint2"
cat >"$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml/xfce4-panel.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=6;x=0;y=0"/>
      <property name="length" type="uint" value="100"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="size" type="uint" value="32"/>
      <property name="plugin-ids" type="array">
        <value type="int" value="1"/>
      </property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="systray"/>
  </property>
</channel>
XML
cat >"$XDG_CONFIG_HOME/tint2/tint2rc" <<'RC'
panel_items = S
panel_size = 100% 32
panel_position = top center horizontal
systray_padding = 4 4 4
systray_icon_size = 24
RC

exec 5< <(Xvfb -displayfd 1 -screen 0 800x600x24 -nolisten tcp 2>"$work/xvfb.log")
read -r -u 5 display || fail "Xvfb did not start"
pids+=($!)
export DISPLAY=:$display
openbox >"$work/openbox.log" 2>&1 &
pids+=($!)

start_probe() {  # name: starts a probe with a command pipe, as $name.in / $name.log
  mkfifo "$work/$1.in"
  "$probe" <"$work/$1.in" >"$work/$1.log" 2>"$work/$1.err" &
  pids+=($!)
  eval "$1_pid=$!"
  exec {fd}>"$work/$1.in"
  eval "$1_fd=$fd"
}

item_property() {  # service property
  gdbus call --session -d "$1" -o /StatusNotifierItem \
    -m org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierItem "$2"
}
registered_items() {
  gdbus call --session -d org.kde.StatusNotifierWatcher -o /StatusNotifierWatcher \
    -m org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierWatcher \
    RegisteredStatusNotifierItems
}

echo "== no notification area: the icon says it cannot be reached, once"
start_probe early
wait_until "UNREACHABLE from a probe with no tray" has_line "$work/early.log" "UNREACHABLE"
has_line "$work/early.log" "PLACE nowhere 0" || fail "the icon claims a place with no tray"
kill "$early_pid"

echo "== xfce4-panel: the item registers with its host"
xfce4-panel >"$work/panel.log" 2>&1 &
panel_pid=$!
pids+=($panel_pid)
wait_until "the panel's watcher" gdbus call --session -d org.freedesktop.DBus \
  -o /org/freedesktop/DBus -m org.freedesktop.DBus.GetNameOwner org.kde.StatusNotifierWatcher
start_probe sni
service="org.kde.StatusNotifierItem-$sni_pid-1"
gdbus monitor --session -d "$service" >"$work/monitor.log" 2>&1 &
pids+=($!)
wait_until "PLACE sni" has_line "$work/sni.log" "PLACE sni 0"
item_listed() { registered_items | grep -qF "$service"; }
tip_has() { item_property "$service" ToolTip | grep -qF "$1"; }
wait_until "the item in the watcher's list" item_listed
item_property "$service" ToolTip | grep -qF "\"Wydruk dla D'95\"" ||
  fail "idle tip: $(item_property "$service" ToolTip)"
item_property "$service" ItemIsMenu | grep -qF "<false>" || fail "ItemIsMenu is not false"

echo "== the tip and icon follow a job"
echo "frame 3" >&"$sni_fd"
wait_until "tip at 30%" tip_has "Wydruk dla D'95 Drukowanie :30%"
wait_until "NewIcon on the bus" grep -q "org.kde.StatusNotifierItem.NewIcon" "$work/monitor.log"
echo "idle" >&"$sni_fd"
wait_until "idle tip again" tip_has "\"Wydruk dla D'95\""

echo "== the icon in the panel, and its menu"
# The panel (our configuration: top edge, 32 pixels, the notification area alone) shows the
# icon first from the left.
icon_x=14 icon_y=16
wait_until "the panel drawn" import -window root "$artifacts/xfce_panel_icon.png"
mark=$(count_lines "$work/sni.log")
xdotool mousemove "$icon_x" "$icon_y" click 3
# The host opens the exported menu; it has the program's entries, so its first drawing
# waits for the layout, which the probe already set.
# The desktop under the panel is black; the open menu paints a light box below the icon.
menu_open() {
  local mean
  mean=$(import -window root -crop 120x60+4+40 -format '%[fx:mean]' info:)
  awk -v m="$mean" 'BEGIN { exit !(m > 0.5) }'
}
wait_until "the menu open" menu_open
import -window root "$artifacts/xfce_menu.png"
xdotool key k
wait_until "COMMAND 4 from the menu's Koniec" grep -qx "COMMAND 4" "$work/sni.log"

echo "== a double click on the icon"
mark=$(count_lines "$work/sni.log")
xdotool mousemove "$icon_x" "$icon_y" click --repeat 2 --delay 80 1
mouse_count() { [ "$(lines_after "$work/sni.log" "$mark" | grep -c '^MOUSE')" -ge "$1" ]; }
wait_until "four mouse messages" mouse_count 4
got=$(lines_after "$work/sni.log" "$mark" | grep '^MOUSE' | head -4 | tr '\n' ' ')
[ "$got" = "MOUSE 513 MOUSE 514 MOUSE 515 MOUSE 514 " ] || fail "double click gave: $got"

echo "== the panel restarts: the item is registered again"
mark=$(count_lines "$work/sni.log")
kill "$panel_pid"
wait "$panel_pid" 2>/dev/null || true
placed() { lines_after "$work/sni.log" "$mark" | grep -q "^PLACE $1"; }
wait_until "the icon without a host" placed nowhere
mark=$(count_lines "$work/sni.log")
xfce4-panel >"$work/panel2.log" 2>&1 &
panel_pid=$!
pids+=($panel_pid)
wait_until "PLACE sni after the restart" placed sni
wait_until "the item in the new watcher's list" item_listed
grep -q UNREACHABLE "$work/sni.log" && fail "a host restart was reported as no notification area"

echo "== tint2, an XEmbed tray started after the icon"
mark=$(count_lines "$work/sni.log")
kill "$panel_pid"
wait "$panel_pid" 2>/dev/null || true
wait_until "the icon without a host" placed nowhere
mark=$(count_lines "$work/sni.log")
tint2 -c "$XDG_CONFIG_HOME/tint2/tint2rc" >"$work/tint2.log" 2>&1 &
pids+=($!)
docked() { lines_after "$work/sni.log" "$mark" | grep -Eq '^PLACE xembed [1-9]'; }
wait_until "the icon docked in tint2" docked
icon_window=$(lines_after "$work/sni.log" "$mark" | grep -E '^PLACE xembed [1-9]' | tail -1 | cut -d' ' -f3)
tray_window=$(xdotool search --class tint2 | head -1)
xwininfo -tree -id "$tray_window" | grep -qi "$(printf '0x%x' "$icon_window")" ||
  fail "icon window $icon_window is not inside the tray's window $tray_window"
wait_until "tint2 drawn" import -window root "$artifacts/tint2_tray_icon.png"
mark=$(count_lines "$work/sni.log")
xdotool mousemove --window "$icon_window" 6 6 click 3
wait_until "right button down and up" mouse_count 2
got=$(lines_after "$work/sni.log" "$mark" | grep '^MOUSE' | head -2 | tr '\n' ' ')
[ "$got" = "MOUSE 516 MOUSE 517 " ] || fail "right click gave: $got"
mark=$(count_lines "$work/sni.log")
xdotool mousemove --window "$icon_window" 6 6 click --repeat 2 --delay 80 1
wait_until "four mouse messages" mouse_count 4
got=$(lines_after "$work/sni.log" "$mark" | grep '^MOUSE' | head -4 | tr '\n' ' ')
[ "$got" = "MOUSE 513 MOUSE 514 MOUSE 515 MOUSE 514 " ] || fail "double click gave: $got"
echo "PASS"
