#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The print-system tests again, with an IPP printer advertised on the network by DNS-SD, as in
# an office with a network printer and avahi: the tests must see only their own scheduler, and
# the agent must print on an advertised printer and never be held by one that does not answer.
#
# Needs root: it makes a network namespace of its own (so nothing is advertised on the
# machine's real network), a system bus if none runs, and avahi-daemon inside the namespace.
# Where that cannot be done, it says why and skips; it never fails the run for it.
set -uo pipefail
build=${1:-build}
netns=wydruki-dnssd

skip() { echo "DNS-SD tests skipped: $*"; exit 0; }
[ "$(id -u)" = 0 ] || skip "they need root"
for tool in ip avahi-daemon avahi-browse ippeveprinter dbus-daemon; do
  command -v "$tool" >/dev/null || skip "no $tool"
done
avahi-daemon --check 2>/dev/null && skip "an avahi-daemon already runs on this machine"

started_bus=
cleanup() {
  [ -n "${printer_pid:-}" ] && kill "$printer_pid" 2>/dev/null
  ip netns exec "$netns" avahi-daemon --kill 2>/dev/null
  [ -n "$started_bus" ] && kill "$started_bus" 2>/dev/null &&
    rm -f /run/dbus/system_bus_socket /run/dbus/pid
  ip netns delete "$netns" 2>/dev/null
  rm -rf "${spool:-}"
}
trap cleanup EXIT

ip netns delete "$netns" 2>/dev/null
ip netns add "$netns" || skip "network namespaces are not available"
ip netns exec "$netns" ip link set lo up
ip netns exec "$netns" ip link add wyd0 type veth peer name wyd1 || skip "no veth links"
for link in wyd0 wyd1; do ip netns exec "$netns" ip link set "$link" multicast on up; done
ip netns exec "$netns" ip addr add 10.77.0.1/24 dev wyd0
ip netns exec "$netns" ip addr add 10.77.0.2/24 dev wyd1

# A bus that answers is used; one that has ended leaves its socket and pid file behind, which
# would keep a new one from starting.
if ! dbus-send --system --dest=org.freedesktop.DBus --type=method_call --print-reply \
    /org/freedesktop/DBus org.freedesktop.DBus.GetId >/dev/null 2>&1; then
  mkdir -p /run/dbus
  rm -f /run/dbus/system_bus_socket /run/dbus/pid
  dbus-daemon --system --fork --print-pid >/tmp/wydruki-dbus.pid || skip "no system bus"
  started_bus=$(cat /tmp/wydruki-dbus.pid)
fi
ip netns exec "$netns" avahi-daemon -D || skip "avahi-daemon does not start"
for _ in $(seq 100); do
  ip netns exec "$netns" avahi-browse -t -p _ipp._tcp >/dev/null 2>&1 && break
  sleep 0.2
done

# A printer advertised for the whole run, as an office's: no test may see it unasked.
spool=$(mktemp -d)
ip netns exec "$netns" ippeveprinter -d "$spool" -p 8631 -f application/pdf "Biurowa IPP" \
  >"$spool.log" 2>&1 &
printer_pid=$!
advertised() {
  local found
  found=$(ip netns exec "$netns" avahi-browse -t -r -p _ipp._tcp 2>/dev/null)
  grep -q '^=.*Biurowa' <<<"$found"
}
for _ in $(seq 100); do
  advertised && break
  sleep 0.2
done
advertised || skip "the printer is not advertised: $(cat "$spool.log")"

echo "An IPP printer is advertised; the print-system tests run beside it"
ip netns exec "$netns" env WYDRUKI_TEST_DNSSD=1 ctest --test-dir "$build" --output-on-failure \
  -j"$(nproc 2>/dev/null || echo 2)" \
  -R 'Cups|EnumPrinters|AgentThroughCups|PrintSystemOutage|AdvertisedPrinterJobs|DefaultDeviceLine'
