# SPDX-License-Identifier: MIT
# The stage for a test of the Windows programs under Wine, sourced by such a test after it set
# `artifacts` (a directory for what a person should look at): a private CUPS scheduler whose
# PostScript queue E2E_PS (the default) writes into $queue_file, a private X server with a
# window manager, and a fresh 64-bit Wine prefix in $WINEPREFIX. It also gives the helpers
# note, fail, wait_for, wine_pl, completed_jobs and queue_idle, counts failures in $failures,
# and ends every process it or the test started (their ids in `pids`) when the test exits.
#
# A test without wine64 on this machine exits 77 (skipped) here.
wine=${WYDRUKI_WINE:-/usr/lib/wine/wine64}
wineserver=${WYDRUKI_WINESERVER:-/usr/lib/wine/wineserver}

if [ ! -x "$wine" ]; then
  echo "SKIPPED: $wine is not installed (Debian package wine64); the Windows program is not run"
  exit 77
fi
for tool in /usr/sbin/cupsd lpadmin lpstat Xvfb openbox import convert ps2pdf pdftotext pdfinfo \
  xwininfo xdotool; do
  if ! command -v "$tool" >/dev/null; then
    echo "FAILED: $tool is missing (scripts/install-deps.sh installs it)"
    exit 1
  fi
done

started=$(date +%s%N)
# Under /tmp: CUPS filters run as another user and must reach the spool.
root=$(mktemp -d /tmp/wydruki-wine-e2e-XXXXXX)
chmod 755 "$root"
mkdir -p "$artifacts"
rm -f "$artifacts"/*
pids=()
failures=0

elapsed() {
  local tenths=$((($(date +%s%N) - started) / 100000000))
  echo "$((tenths / 10)).$((tenths % 10))"
}
note() { echo "[$(elapsed)s] $*"; }
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

cleanup() {
  set +e
  if [ -n "${WINEPREFIX:-}" ]; then "$wineserver" -k >/dev/null 2>&1; fi
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
  if [ "${WYDRUKI_KEEP:-0}" = 1 ]; then echo "kept: $root"; else rm -rf "$root"; fi
}
trap cleanup EXIT

# Waits for a condition (a shell command) to hold, checking every tenth of a second, at most
# `limit` seconds; the limit is a deadline for a hang, never a measure of speed.
wait_for() {
  local limit=$1 what=$2
  shift 2
  local deadline=$(($(date +%s) + limit))
  until "$@"; do
    if [ "$(date +%s)" -ge "$deadline" ]; then
      fail "timed out waiting for $what"
      return 1
    fi
    sleep 0.1
  done
}

# --- the private CUPS scheduler ---------------------------------------------------------------
mkdir -p "$root"/cups/{conf,spool/tmp,cache,state,log,out}
chmod -R 755 "$root/cups"
# A port nobody answers on.
port=0
for _ in $(seq 50); do
  candidate=$((20000 + RANDOM % 40000))
  if ! (exec 3<>"/dev/tcp/127.0.0.1/$candidate") 2>/dev/null; then
    port=$candidate
    break
  fi
done
[ "$port" != 0 ] || { echo "FAILED: no free port for the scheduler"; exit 1; }
server=127.0.0.1:$port
cat >"$root/cups/conf/cupsd.conf" <<EOF
LogLevel info
Listen $server
Browsing Off
DefaultAuthType None
WebInterface No
JobKillDelay 1
DefaultPaperSize None
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
EOF
# cupsd refuses to run its filters as root: as root they run as "lp".
if [ "$(id -u)" = 0 ]; then
  cups_user=lp cups_group=lp
else
  cups_user=$(id -un) cups_group=$(id -gn)
fi
cat >"$root/cups/conf/cups-files.conf" <<EOF
ServerRoot $root/cups/conf
RequestRoot $root/cups/spool
TempDir $root/cups/spool/tmp
CacheDir $root/cups/cache
StateDir $root/cups/state
ErrorLog $root/cups/log/error_log
AccessLog $root/cups/log/access_log
PageLog $root/cups/log/page_log
User $cups_user
Group $cups_group
SystemGroup root
FileDevice Yes
EOF
# A PostScript printer: what Wine's PostScript driver spools goes through the standard
# PostScript filter and lands in the queue's file.
cat >"$root/cups/conf/queue.ppd" <<'EOF'
*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*FileVersion: "1.0"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*PCFileName: "BIURO.PPD"
*Manufacturer: "Wydruki"
*Product: "(Biuro)"
*ModelName: "Wydruki Biuro PostScript"
*ShortNickName: "Wydruki Biuro PostScript"
*NickName: "Wydruki Biuro PostScript"
*PSVersion: "(3010.000) 0"
*LanguageLevel: "3"
*ColorDevice: False
*DefaultColorSpace: Gray
*FileSystem: False
*Throughput: "1"
*LandscapeOrientation: Plus90
*TTRasterizer: Type42
*OpenUI *PageSize/Media Size: PickOne
*OrderDependency: 10 AnySetup *PageSize
*DefaultPageSize: A4
*PageSize A4/A4: "<</PageSize[595 842]/ImagingBBox null>>setpagedevice"
*CloseUI: *PageSize
*OpenUI *PageRegion: PickOne
*OrderDependency: 10 AnySetup *PageRegion
*DefaultPageRegion: A4
*PageRegion A4/A4: "<</PageSize[595 842]/ImagingBBox null>>setpagedevice"
*CloseUI: *PageRegion
*DefaultImageableArea: A4
*ImageableArea A4/A4: "12 18 583 824"
*DefaultPaperDimension: A4
*PaperDimension A4/A4: "595 842"
EOF
/usr/sbin/cupsd -f -c "$root/cups/conf/cupsd.conf" -s "$root/cups/conf/cups-files.conf" \
  </dev/null >"$root/cups/log/stdout" 2>&1 &
pids+=($!)
cups_up() { lpstat -h "$server" -r 2>/dev/null | grep -q "is running"; }
wait_for 20 "the CUPS scheduler" cups_up || exit 1
queue_file=$root/cups/out/E2E_PS
lpadmin -h "$server" -p E2E_PS -E -v "file://$queue_file" -P "$root/cups/conf/queue.ppd" \
  2>"$root/lpadmin.log" || { echo "FAILED: lpadmin: $(cat "$root/lpadmin.log")"; exit 1; }
lpadmin -h "$server" -d E2E_PS
export CUPS_SERVER=$server
# The printers DNS-SD advertises on the network stay out of the test (discovery needs the bus).
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$root/no-system-bus
note "CUPS scheduler on $server"

# --- the X server and its window manager -------------------------------------------------------
exec 5>"$root/display"
Xvfb -displayfd 5 -nolisten tcp -screen 0 1024x768x24 >"$root/xvfb.log" 2>&1 &
pids+=($!)
exec 5>&-
display_known() { [ -s "$root/display" ]; }
wait_for 20 "Xvfb" display_known || exit 1
export DISPLAY=:$(head -n 1 "$root/display")
openbox --sm-disable >"$root/openbox.log" 2>&1 &
pids+=($!)
note "Xvfb on $DISPLAY"

# --- a fresh Wine prefix -----------------------------------------------------------------------
export WINEPREFIX=$root/prefix
export WINEARCH=win64
# No .NET or HTML engine: a fresh prefix would otherwise offer to download them. No menu
# builder: shortcuts the programs make must not become entries in this machine's own menus.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
export WINEDEBUG=-all,err+all
# The companion's users run Polish Windows: the ANSI code page is then 1250, in which the
# program's captions are written. Wine takes it from the locale's name, installed or not.
wine_pl() { LC_ALL=pl_PL.UTF-8 LANG=pl_PL.UTF-8 "$wine" "$@"; }
wine_pl wineboot --init >"$root/wineboot.log" 2>&1
"$wineserver" -w
note "Wine prefix made"

# Every job the queue has finished, as lpstat lists them.
completed_jobs() { lpstat -h "$server" -W completed -o E2E_PS 2>/dev/null | wc -l; }
queue_idle() { [ -z "$(lpstat -h "$server" -o E2E_PS 2>/dev/null)" ]; }
