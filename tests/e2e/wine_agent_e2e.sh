#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The 64-bit Windows programs as a user runs them: under Wine, in a fresh prefix, on a private
# X server with a window manager, printing to a private CUPS scheduler whose PostScript queue
# writes into a file.
#
#   wine_agent_e2e.sh AGENT_EXE TESTPAGE_EXE ARTIFACT_DIR
#
# Checks that the test page and an agent job reach the queue as one job each with their Polish
# letters and columns, that the job signal is deleted and "koniec.drk" ends the agent, and that
# the configuration window is painted in the dialog colour with whole labels. Any Wine crash
# (a backtrace) or a window nobody expected fails the test. The screenshot, the job's PDF and
# its text are left in ARTIFACT_DIR for a person to look at.
#
# Exit status: 0 passed, 1 failed, 77 skipped (no wine64 on this machine).
set -euo pipefail
# Text from pdftotext is UTF-8; ${#text} counts its characters.
export LC_ALL=C.UTF-8

agent_exe=$1
testpage_exe=$2
artifacts=$3
# shellcheck source=wine_env.sh
source "$(dirname "$0")/wine_env.sh"

# Message boxes nobody expected (an error that escaped a handler is shown in a box titled with
# the application's title; a crash in Wine's "Program Error" box): any visible window other
# than the program's own, Wine's notification area and tips, larger than the hidden application
# window's 1x1.
unexpected_windows() {
  local id name size
  for id in $(xdotool search --onlyvisible --name '' 2>/dev/null); do
    name=$(xdotool getwindowname "$id" 2>/dev/null) || continue
    size=$(xwininfo -id "$id" 2>/dev/null | sed -n 's/^ *Width: *//p;s/^ *Height: *//p' | tr '\n' x)
    case "$name" in
      "Wydruki dla D95" | "Wyb"*"r Font"*"w" | "Wine System Tray" | "Wydruk dla D'95"* | "Openbox" | "") continue ;;
      "Wydruki z D'95") [ "$size" = 1x1x ] && continue ;;
    esac
    import -window "$id" "$artifacts/unexpected-$id.png" 2>/dev/null || true
    fail "an unexpected window \"$name\" ($size) is on the screen: $artifacts/unexpected-$id.png"
  done
}

# --- the test page -----------------------------------------------------------------------------
wine_pl "$testpage_exe" >"$root/testpage.log" 2>&1 || fail "the test page program failed: $(cat "$root/testpage.log")"
testpage_done() { [ "$(completed_jobs)" -ge 1 ] && queue_idle; }
wait_for 30 "the test page in the queue" testpage_done
cp "$queue_file" "$artifacts/testpage.ps"
ps2pdf "$artifacts/testpage.ps" "$artifacts/testpage.pdf"
pdftotext -layout "$artifacts/testpage.pdf" "$artifacts/testpage.txt"
grep -q 'Polskie litery: ąćęłńóśźż ĄĆĘŁŃÓŚŹŻ' "$artifacts/testpage.txt" ||
  fail "the test page lost its Polish letters: $(cat "$artifacts/testpage.txt")"
note "test page printed"

# --- the agent ---------------------------------------------------------------------------------
jobs_dir=$WINEPREFIX/drive_c/JOBS
mkdir -p "$jobs_dir"
wine_pl "$agent_exe" 'C:\JOBS\' >"$root/agent.log" 2>&1 &
agent_pid=$!
pids+=($agent_pid)
agent_window() { xdotool search --name '^Wydruki dla D95$' >/dev/null 2>&1; }
wait_for 30 "the agent's configuration window at start-up" agent_window
note "agent started"

# A print-out as the companion writes it, in code page 852: double width and bold passages,
# a table whose columns must stay in line (names from column 5, quantities ending in column 35,
# prices in column 45), a form feed, and a second page.
{
  printf '\x1bWFAKTURA 12/2026\x1bw\r\n'
  printf '\r\n'
  printf '\x1bBLp  Nazwa towaru              Ilo\x98\x86      Cena\x1bb\r\n'
  printf ' 1  \xbd\xa2\x88ty o\x88\xa2wek                 12      1,50\r\n'
  printf ' 2  G\xa9\x98 pluszowa                  5     45,00\r\n'
  printf ' 3  \x9d\xa2d\xab z drewna              1024      9,99\r\n'
  printf '\x0c\r\n'
  printf 'Strona 2: za\xbe\xa2\x88\x86 g\xa9\x98l\xa5 ja\xab\xe4\r\n'
  printf 'ZA\xbd\xe0\x9d\x8f G\xa8\x97L\xa4 JA\x8d\xe3\r\n'
} >"$jobs_dir/WYDRUK.TXT"
printf 'C:\\JOBS\\WYDRUK.TXT\r\n76\r\n' >"$jobs_dir/win95.drk"
signal_gone() { [ ! -e "$jobs_dir/win95.drk" ]; }
wait_for 30 "the agent to delete the job signal" signal_gone
job_done() { [ "$(completed_jobs)" -ge 2 ] && queue_idle; }
wait_for 30 "the agent's job in the queue" job_done
cp "$queue_file" "$artifacts/job.ps"
note "job printed"
unexpected_windows
[ "$(completed_jobs)" = 2 ] || fail "$(($(completed_jobs) - 1)) jobs reached the queue for one signal"

ps2pdf "$artifacts/job.ps" "$artifacts/job.pdf"
pdftotext -layout "$artifacts/job.pdf" "$artifacts/job.txt"
squeezed=$(tr -s ' ' <"$artifacts/job.txt")
pages=$(pdfinfo "$artifacts/job.pdf" | sed -n 's/^Pages: *//p')
[ "$pages" = 2 ] || fail "the job has $pages pages, not 2 (one form feed)"
for text in 'FAKTURA 12/2026' 'Ilość' 'Żółty ołówek' 'Gęś pluszowa' 'Łódź z drewna' \
  'Strona 2: zażółć gęślą jaźń' 'ZAŻÓŁĆ GĘŚLĄ JAŹŃ'; do
  grep -qF "$text" <<<"$squeezed" || fail "the job lost \"$text\": $squeezed"
done
pdftotext -layout -f 2 -l 2 "$artifacts/job.pdf" - | tr -s ' ' | grep -qF 'Strona 2: zażółć' ||
  fail "the form feed did not start page 2 with its text"
# The character grid: the names start, and the quantities and prices end, at the same place
# on the page in every row, whatever letters came before them.
pdftotext -bbox -f 1 -l 1 "$artifacts/job.pdf" "$artifacts/job-words.html"
edge_of() { # the left (xMin) or right (xMax) edge of the first word $2 on page 1
  sed -n "s/.*$1=\"\([0-9.]*\)\".*>$2<\/word>.*/\1/p" "$artifacts/job-words.html" | head -n 1
}
same_place() { # the edges given, to a hundredth of a point
  [ "$(printf '%.2f\n' "$@" | sort -u | wc -l)" = 1 ]
}
same_place "$(edge_of xMin Nazwa)" "$(edge_of xMin Żółty)" "$(edge_of xMin Gęś)" \
  "$(edge_of xMin Łódź)" || fail "the names do not start in one column"
same_place "$(edge_of xMax Ilość)" "$(edge_of xMax 12)" "$(edge_of xMax 5)" \
  "$(edge_of xMax 1024)" || fail "the quantities do not end in one column"
same_place "$(edge_of xMax Cena)" "$(edge_of xMax 1,50)" "$(edge_of xMax 45,00)" \
  "$(edge_of xMax 9,99)" || fail "the prices do not end in one column"

# --- the configuration window ------------------------------------------------------------------
# Opened as a user opens it: a double click on the agent's icon in Wine's notification area.
tray=$(xdotool search --onlyvisible --name '^Wine System Tray$' | head -n 1)
[ -n "$tray" ] || fail "Wine shows no notification area"
xdotool mousemove --window "$tray" 10 10 click --repeat 2 --delay 80 1
config_shown() { xdotool search --onlyvisible --name '^Wydruki dla D95$' >/dev/null 2>&1; }
wait_for 30 "the configuration window after a double click on the icon" config_shown
config=$(xdotool search --onlyvisible --name '^Wydruki dla D95$' | head -n 1)
# The dialog colour of this prefix's colour scheme, as the registry gives it ("245 245 245").
face=$(sed -n '/^\[Control Panel\\\\Colors\]/,/^\[/s/^"ButtonFace"="\([0-9 ]*\)"/\1/p' \
  "$WINEPREFIX/user.reg" | head -n 1)
face=${face// /,}
pixel() { # "red,green,blue" of a point of the screenshot
  convert "$artifacts/configuration.png" -format \
    "%[fx:int(255*p{$1,$2}.r+0.5)],%[fx:int(255*p{$1,$2}.g+0.5)],%[fx:int(255*p{$1,$2}.b+0.5)]" info:
}
# The window is painted when a place of the client area off every control has the colour.
painted() {
  import -window "$config" "$artifacts/configuration.png" 2>/dev/null && [ "$(pixel 8 260)" = "$face" ]
}
wait_for 30 "the configuration window to be painted in the dialog colour $face" painted ||
  fail "its client area at 8,260 is $(pixel 8 260)"
note "configuration window shown"
# Where no control is, the whole client area has the dialog colour: not black, not unpainted.
for place in '8 8' '420 8' '8 200' '420 140' '200 140' '100 200'; do
  # shellcheck disable=SC2086
  colour=$(pixel $place)
  [ "$colour" = "$face" ] || fail "the client area at $place is $colour, not the dialog colour $face"
done
# Labels on the frame stand on the dialog colour too (between "Nazwa :" and the name).
[ "$(pixel 100 42)" = "$face" ] || fail "a label's background is $(pixel 100 42), not $face"
# Labels are whole: the printer's name, "E2E_PS", keeps the underscore below its baseline, so
# its ink reaches lower than that of the caption "Nazwa :", which has no descenders.
ink_bottom() { # the lowest row with ink in a region of the window
  convert "$artifacts/configuration.png" -crop "$1" +repage -colorspace gray -threshold 60% \
    -format '%@\n' info: | sed 's/^[0-9]*x\([0-9]*\)+[0-9]*+\([0-9]*\)$/\1 \2/' |
    { read -r height top && echo $((height + top)); }
}
caption_bottom=$(ink_bottom 60x20+36+36)
name_bottom=$(ink_bottom 120x20+100+36)
[ "$name_bottom" -gt "$caption_bottom" ] ||
  fail "the label \"E2E_PS\" is cut at its baseline (ink to row $name_bottom, caption to $caption_bottom)"

# --- the font dialog ---------------------------------------------------------------------------
# "Czcionka" opens it; its sample boxes show the samples, and it names the face that stands in
# for "Courier New", which this prefix does not have.
xdotool mousemove --window "$config" 348 188 click 1
dialog_shown() { xdotool search --onlyvisible --name '^Wyb.r Font.w$' >/dev/null 2>&1; }
wait_for 30 "the font dialog after a click on \"Czcionka\"" dialog_shown
dialog=$(xdotool search --onlyvisible --name '^Wyb.r Font.w$' | head -n 1)
ink() { # the share of dark pixels in a region of the dialog's picture
  convert "$artifacts/font-dialog.png" -crop "$1" +repage -colorspace gray -threshold 60% \
    -format '%[fx:1-mean]\n' info:
}
samples_drawn() {
  import -window "$dialog" "$artifacts/font-dialog.png" 2>/dev/null &&
    awk -v a="$(ink 485x109+18+138)" -v b="$(ink 485x109+18+274)" 'BEGIN { exit !(a > 0.01 && b > 0.01) }'
}
wait_for 30 "the font dialog's samples" samples_drawn ||
  fail "the sample boxes are empty: $artifacts/font-dialog.png"
note "font dialog shown"
xdotool key --window "$dialog" Escape
dialog_gone() { ! dialog_shown; }
wait_for 30 "Esc to close the font dialog" dialog_gone

# --- the end -----------------------------------------------------------------------------------
unexpected_windows
printf '' >"$jobs_dir/koniec.drk"
stop_dropped=$(date +%s%N)
stop_gone() { [ ! -e "$jobs_dir/koniec.drk" ]; }
agent_ended() { ! kill -0 "$agent_pid" 2>/dev/null; }
wait_for 30 "the agent to take koniec.drk" stop_gone
stop_taken=$(date +%s%N)
wait_for 30 "the agent to end after koniec.drk" agent_ended
agent_gone=$(date +%s%N)
note "koniec.drk taken after $(((stop_taken - stop_dropped) / 1000000)) ms; the agent ended" \
  "$(((agent_gone - stop_taken) / 1000000)) ms later"
agent_status=0
wait "$agent_pid" || agent_status=$?
[ "$agent_status" = 0 ] || fail "the agent ended with status $agent_status"
[ "$(completed_jobs)" = 2 ] || fail "$(completed_jobs) jobs in the queue at the end, not 2"
grep -qF 'job "C:\JOBS\WYDRUK.TXT" on "E2E_PS": printed, 2 pages' "$root/agent.log" ||
  fail "the agent's journal does not say the job printed: $(cat "$root/agent.log")"

# A crash anywhere in the prefix prints a backtrace.
for log in "$root"/*.log; do
  if grep -qE 'Backtrace:|Unhandled exception|Unhandled page fault' "$log"; then
    fail "Wine reported a crash in $(basename "$log"):
$(cat "$log")"
  fi
done
cp "$root"/agent.log "$artifacts/" 2>/dev/null || true

if [ "$failures" -gt 0 ]; then
  echo "FAILED: $failures check(s); the artifacts are in $artifacts"
  exit 1
fi
note "passed; the screenshot is $artifacts/configuration.png"
