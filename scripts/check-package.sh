#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks the Debian package as a distribution and an office machine meet it: its contents,
# lintian (no errors), its changelog, its installation with apt, the desktop entries, icons and
# manual pages of the installed tree, and the installed programs printing: the test page, and
# one job handed to the installed agent.
# Usage: scripts/check-package.sh build/wydrukid95_*.deb   (installs it: needs root or sudo)
set -euo pipefail
deb=$(realpath "$1")
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
fail() { echo "check-package: $*" >&2; exit 1; }

echo "-- contents"
listing=$(dpkg-deb -c "$deb" | awk '{print $6}')
for path in ./usr/bin/wydrukid95 ./usr/bin/wydrukid95-testpage ./usr/bin/wydrukid95-dosbox \
    ./usr/share/applications/wydrukid95.desktop \
    ./usr/share/wydrukid95/autostart/wydrukid95.desktop \
    ./usr/share/icons/hicolor/scalable/apps/wydrukid95.svg \
    ./usr/share/man/man1/wydrukid95.1.gz ./usr/share/man/man1/wydrukid95-testpage.1.gz \
    ./usr/share/man/man1/wydrukid95-dosbox.1.gz ./usr/lib/systemd/user/wydrukid95@.service \
    ./usr/share/doc/wydrukid95/copyright ./usr/share/doc/wydrukid95/changelog.Debian.gz \
    ./usr/share/doc/wydrukid95/README.md.gz; do
  grep -qx "$path" <<<"$listing" || fail "$path is missing from the package"
done
for size in 16 22 24 32 48 64 128 256; do
  grep -qx "./usr/share/icons/hicolor/${size}x${size}/apps/wydrukid95.png" <<<"$listing" ||
    fail "the ${size}x${size} icon is missing from the package"
done

echo "-- lintian"
# Errors fail the check; warnings are shown (each one is fixed or explained in the changelog of
# the packaging work). Lintian says it would rather not run as root; it works the same.
lintian --fail-on error --display-info "$deb" 2>&1 | grep -v 'root privileges' || fail "lintian reports errors"

echo "-- changelog"
changes=$(mktemp)
dpkg-deb --fsys-tarfile "$deb" | tar -xOf - ./usr/share/doc/wydrukid95/changelog.Debian.gz |
  gunzip >"$changes"
logged=$(dpkg-parsechangelog -l "$changes" -S Version)
rm -f "$changes"
[ "$logged" = "$(dpkg-deb -f "$deb" Version)" ] ||
  fail "the changelog's last entry is $logged, the package is $(dpkg-deb -f "$deb" Version)"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for library in libcups2 libcairo2 libfontconfig1 libfreetype6 fonts-liberation; do
  grep -q "$library" <<<"$depends" || fail "the package does not depend on $library"
done

echo "-- install with apt"
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "$deb" >/dev/null

echo "-- installed tree"
desktop-file-validate /usr/share/applications/wydrukid95.desktop \
  /usr/share/wydrukid95/autostart/wydrukid95.desktop
# The menu entry's icon as GTK's icon theme finds it: our picture, drawn at each size.
if /usr/bin/python3 -c 'import gi; gi.require_version("Gtk", "3.0")' 2>/dev/null; then
  found=$(/usr/bin/python3 - <<'PY'
import gi
gi.require_version('Gtk', '3.0')
from gi.repository import Gio, Gtk
icon = Gio.DesktopAppInfo.new_from_filename('/usr/share/applications/wydrukid95.desktop').get_icon()
for size in (16, 22, 24, 32, 48, 64, 128, 256):
    info = Gtk.IconTheme.new().lookup_by_gicon(icon, size, 0)
    print(size, info.get_filename() if info else None, info.load_icon().get_width() if info else 0)
PY
)
  for size in 16 22 24 32 48 64 128 256; do
    grep -qx "$size /usr/share/icons/hicolor/${size}x$size/apps/wydrukid95.png $size" <<<"$found" ||
      fail "the menu's icon at $size pixels: $found"
  done
fi
for page in wydrukid95 wydrukid95-testpage wydrukid95-dosbox; do
  man -w "$page" >/dev/null || fail "man does not find the page of $page"
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "the manual page of $page renders with warnings: $warnings"
  LC_ALL=C.UTF-8 man "$page" | grep -q "EXIT STATUS" || fail "the manual page of $page does not render"
done

if command -v systemd-analyze >/dev/null && command -v systemd-escape >/dev/null; then
  # An instance of the unit for a real directory, checked as systemd would load it.
  units=$(mktemp -d)
  instance="wydrukid95@$(systemd-escape --path "$units").service"
  cp /usr/lib/systemd/user/wydrukid95@.service "$units/$instance"
  systemd-analyze verify --man=no "$units/$instance" || fail "systemd rejects the unit"
  rm -rf "$units"
fi

work=$(mktemp -d)
agent=
cleanup() {
  [ -n "$agent" ] && kill "$agent" 2>/dev/null
  if [ -s "$work/dosbox.pid" ]; then
    pid=$(cat "$work/dosbox.pid")
    grep -q dosbox "/proc/$pid/cmdline" 2>/dev/null && kill -9 "$pid"
  fi
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/out" "$work/jobs" "$work/config" "$work/runtime"
chmod 700 "$work/runtime"
cat >"$work/win.ini" <<INI
[windows]
device=pdf-file,builtin,$work/out
[display]
driver=null
INI
export WYDRUKI_INI=$work/win.ini XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
export CUPS_SERVER=127.0.0.1:1

echo "-- the installed test page"
(cd "$work" && /usr/bin/wydrukid95-testpage)
ls "$work/out"/*.pdf >/dev/null 2>&1 || fail "the test page wrote no PDF"
pdftotext "$work/out"/*.pdf - | grep -q "pdf-file" || fail "the test page does not name its printer"
rm -f "$work/out"/*.pdf

echo "-- one job with the installed agent"
printf 'Faktura \xa5\x86\xa9\x88\x0c\r\nStrona 2\r\n' >"$work/jobs/FAKTURA.TXT"
(cd "$work" && exec /usr/bin/wydrukid95 "$work/jobs/" 2>"$work/journal") &
agent=$!
printf '%s\r\n' "$work/jobs/FAKTURA.TXT" >"$work/jobs/win95.drk"
for _ in $(seq 600); do [ -e "$work/jobs/win95.drk" ] || break; sleep 0.1; done
[ ! -e "$work/jobs/win95.drk" ] || fail "the installed agent did not take the job"
: >"$work/jobs/koniec.drk"
wait "$agent" || fail "the installed agent ended with status $?"
agent=
text=$(pdftotext -enc UTF-8 "$work/out"/*.pdf -)
grep -q "Faktura ąćęł" <<<"$text" || fail "the job's text is not in the PDF: $text"
[ "$(tr -cd '\f' <<<"$text" | wc -c)" = 2 ] || fail "the job did not print on two pages"
grep -q 'printed, 2 pages' "$work/journal" || fail "no journal line: $(cat "$work/journal")"
echo "-- a DOS batch file in DOSBox, started by the installed agent through d95.pif"
if command -v dosbox >/dev/null; then
  rm -rf "$work/out"/* "$work/jobs"
  mkdir -p "$work/dos/JOBS" "$work/home"
  printf 'Z DOSBoksa \xa5\x86\xa9\x88\r\n' >"$work/dos/WYDRUK.852"
  printf '@ECHO OFF\r\nCOPY C:\\WYDRUK.852 C:\\JOBS\\WYDRUK.TXT\r\nECHO C:\\JOBS\\WYDRUK.TXT>C:\\JOBS\\WIN95.DRK\r\n:W\r\nIF EXIST C:\\JOBS\\WIN95.DRK GOTO W\r\nECHO KONIEC>C:\\JOBS\\KONIEC.DRK\r\n' >"$work/dos/D95.BAT"
  # DOSBox's configuration where the DOS program cannot reach it: the user's configuration.
  mkdir -p "$work/config/wydrukid95"
  printf '[autoexec]\r\nMOUNT C "%s"\r\nC:\r\nCALL D95.BAT\r\nEXIT\r\n' "$work/dos" \
    >"$work/config/wydrukid95/dosbox.conf"
  : >"$work/dos/JOBS/d95.pif"
  # The emulator the launcher starts tells its process id, so that it never outlives the check.
  printf '#!/bin/sh\necho $$ >"%s"\nexec dosbox "$@" >/dev/null 2>&1\n' "$work/dosbox.pid" >"$work/dosbox"
  chmod +x "$work/dosbox"
  export DOSBOX=$work/dosbox
  printf '[drives]\nC=%s\n[extensions]\npif=wydrukid95-dosbox\n' "$work/dos" >>"$work/win.ini"
  # The companion ends the agent with KONIEC.DRK; a bounded wait, then the agent must be gone.
  (cd "$work/dos/JOBS" && HOME=$work/home SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy \
    exec /usr/bin/wydrukid95 'C:\JOBS\' 2>"$work/journal") &
  agent=$!
  for _ in $(seq 600); do kill -0 "$agent" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$agent" 2>/dev/null && fail "the installed agent did not end: $(cat "$work/journal")"
  wait "$agent" || fail "the installed agent ended with status $? after the DOSBox job"
  agent=
  pdftotext -enc UTF-8 "$work/out"/*.pdf - | grep -q "Z DOSBoksa ąćęł" ||
    fail "the job from DOSBox is not in the PDF: $(cat "$work/journal")"
else
  echo "dosbox is not installed: skipped"
fi
echo "package checked: $(basename "$deb")"
