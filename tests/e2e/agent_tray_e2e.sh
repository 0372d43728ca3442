#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs the agent's tray tests (agent_tray_e2e_tests) on a desktop of their own: a private
# session bus, Xvfb with openbox, and the configuration xfce4-panel starts from (the
# notification area alone, on the top edge) and tint2 (its XEmbed tray alone, top centre) start
# from. The tests start and stop the panels themselves.
# Usage: agent_tray_e2e.sh <agent_tray_e2e_tests> <artifacts directory>
set -euo pipefail
tests=$1
artifacts=$2
for tool in Xvfb openbox xfce4-panel tint2 xdotool dbus-run-session import; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed (scripts/install-deps.sh installs it)"
    exit 77
  fi
done
if [ -z "${WYDRUKI_TRAY_SESSION:-}" ]; then
  work=$(mktemp -d /tmp/wydruki-agent-tray.XXXXXX)
  export WYDRUKI_TRAY_SESSION=$work XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache
  export XDG_DATA_HOME=$work/data
  status=0
  dbus-run-session -- "$0" "$@" || status=$?
  # xfconfd may still be writing its settings as the session ends: a second try removes them.
  rm -rf "$work" 2>/dev/null || rm -rf "$work" || true
  exit $status
fi
work=$WYDRUKI_TRAY_SESSION
mkdir -p "$artifacts" "$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml"
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
mkdir -p "$XDG_CONFIG_HOME/tint2"
cat >"$XDG_CONFIG_HOME/tint2/tint2rc" <<'RC'
panel_items = S
panel_size = 100% 32
panel_position = top center horizontal
systray_padding = 4 4 4
systray_icon_size = 24
RC
pids=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap cleanup EXIT
exec 5< <(Xvfb -displayfd 1 -screen 0 800x600x24 -nolisten tcp 2>"$work/xvfb.log")
read -r -u 5 display || { echo "FAIL: Xvfb did not start"; exit 1; }
pids+=($!)
export DISPLAY=:$display
openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
WYDRUKI_ARTIFACTS=$artifacts "$tests"
