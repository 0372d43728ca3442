#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Windows installer as an administrator uses it, under Wine in a fresh prefix:
#
#   wine_installer_e2e.sh INSTALLER AGENT_EXE TESTPAGE_EXE ARTIFACT_DIR
#
# Installs silently with a job directory that has a space in its name, checks the installed
# programs (the very files built), the Startup shortcut's target and argument read from the
# shortcut's bytes and the test page's Start-menu entry; starts the agent through the Startup
# shortcut, as a logon does, and prints one job through the private CUPS queue; ends it with
# "koniec.drk". Then uninstalls silently, which keeps "font.def" and nothing else of ours;
# installs again over the kept "font.def" and uninstalls with /FONTDEF=REMOVE, which leaves
# nothing. The job directory is the DOS program's and stays.
#
# Exit status: 0 passed, 1 failed, 77 skipped (no wine64 on this machine).
set -euo pipefail
export LC_ALL=C.UTF-8

installer=$1
agent_exe=$2
testpage_exe=$3
artifacts=$4
# shellcheck source=wine_env.sh
source "$(dirname "$0")/wine_env.sh"

user_dir=$WINEPREFIX/drive_c/users/$(id -un)
program_dir=$user_dir/AppData/Local/Programs/wydrukid95
program_dir_win="C:\\users\\$(id -un)\\AppData\\Local\\Programs\\wydrukid95"
menu_dir=$user_dir/AppData/Roaming/Microsoft/Windows/Start\ Menu/Programs
# Wine spells the folder "StartUp"; Windows "Startup". Names are not case-sensitive there.
startup_link=$menu_dir/StartUp/wydrukid95.lnk
testpage_link=$menu_dir/wydrukid95/Strona\ testowa\ drukarki.lnk
jobs_dir=$WINEPREFIX/drive_c/Biuro\ D95
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\wydrukid95'

# The files in the program's directory, one name a line, sorted.
program_files() { (cd "$program_dir" 2>/dev/null && find . -mindepth 1 -printf '%P\n' | LC_ALL=C sort); }

install_silently() {
  # Wine quotes the argument with the space for the program's command line, doubling the
  # backslash before the closing quote as Windows programs expect.
  "$wine" "$installer" /S '/JOBDIR=C:\Biuro D95\' >>"$root/installer.log" 2>&1 ||
    fail "the installer failed: $(cat "$root/installer.log")"
}

# --- install -----------------------------------------------------------------------------------
install_silently
note "installed"
[ "$(program_files | tr '\n' ' ')" = "LICENSE.txt uninstall.exe wydrukid95-testpage.exe wydrukid95.exe " ] ||
  fail "the program's directory holds: $(program_files | tr '\n' ' ')"
tr -d '\r' <"$program_dir/LICENSE.txt" | cmp -s - "$(dirname "$0")/../../LICENSE" ||
  fail "the installed LICENSE.txt is not the project's licence"
cmp -s "$agent_exe" "$program_dir/wydrukid95.exe" || fail "the installed agent is not the one built"
cmp -s "$testpage_exe" "$program_dir/wydrukid95-testpage.exe" ||
  fail "the installed test page program is not the one built"
[ -d "$jobs_dir" ] || fail "the installer did not make the job directory"

python3 "$(dirname "$0")/read_lnk.py" "$startup_link" >"$artifacts/startup-link.txt" ||
  fail "no readable Startup shortcut at $startup_link"
# The one argument is the job directory, quoted for its space, its last backslash doubled so
# it does not escape the quote; the agent starts in its own directory.
expected="target=$program_dir_win\\wydrukid95.exe
arguments=\"C:\\Biuro D95\\\\\"
directory=$program_dir_win"
[ "$(cat "$artifacts/startup-link.txt")" = "$expected" ] ||
  fail "the Startup shortcut reads
$(cat "$artifacts/startup-link.txt")
instead of
$expected"
python3 "$(dirname "$0")/read_lnk.py" "$testpage_link" >"$artifacts/testpage-link.txt" ||
  fail "no readable Start-menu entry for the test page at $testpage_link"
head -n 1 "$artifacts/testpage-link.txt" | grep -qxF "target=$program_dir_win\\wydrukid95-testpage.exe" ||
  fail "the test page's Start-menu entry reads $(cat "$artifacts/testpage-link.txt")"
"$wine" reg query "$uninstall_key" /v UninstallString >"$root/reg.log" 2>&1 ||
  fail "no uninstall entry in the user's registry: $(cat "$root/reg.log")"
note "files and shortcuts checked"

# --- the agent, started by its Startup shortcut ------------------------------------------------
startup_link_win="C:\\users\\$(id -un)\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp\\wydrukid95.lnk"
wine_pl start /wait "$startup_link_win" >"$root/agent.log" 2>&1 &
agent_pid=$!
pids+=($agent_pid)
agent_window() { xdotool search --name '^Wydruki dla D95$' >/dev/null 2>&1; }
wait_for 30 "the agent's window at start-up" agent_window
note "agent started from the shortcut"

# A short code page 852 print-out, signalled in the directory the shortcut named.
printf 'INSTALACJA 0.1\r\nZA\xbd\xe0\x9d\x8f G\xa8\x97L\xa4 JA\x8d\xe3\r\n' >"$jobs_dir/WYDRUK.TXT"
printf 'C:\\Biuro D95\\WYDRUK.TXT\r\n76\r\n' >"$jobs_dir/win95.drk"
signal_gone() { [ ! -e "$jobs_dir/win95.drk" ]; }
wait_for 30 "the agent to take the job signal in C:\\Biuro D95\\" signal_gone
job_done() { [ "$(completed_jobs)" -ge 1 ] && queue_idle; }
wait_for 30 "the job in the queue" job_done
[ "$(completed_jobs)" = 1 ] || fail "$(completed_jobs) jobs reached the queue for one signal"
cp "$queue_file" "$artifacts/job.ps"
ps2pdf "$artifacts/job.ps" "$artifacts/job.pdf"
pdftotext -layout "$artifacts/job.pdf" "$artifacts/job.txt"
tr -s ' ' <"$artifacts/job.txt" | grep -qF 'ZAŻÓŁĆ GĘŚLĄ JAŹŃ' ||
  fail "the job lost its text: $(cat "$artifacts/job.txt")"
note "job printed"

printf '' >"$jobs_dir/koniec.drk"
stop_gone() { [ ! -e "$jobs_dir/koniec.drk" ]; }
wait_for 30 "the agent to take koniec.drk" stop_gone
agent_ended() { ! kill -0 "$agent_pid" 2>/dev/null; }
wait_for 30 "the agent to end after koniec.drk" agent_ended
note "agent ended"

# --- uninstall, keeping the font ---------------------------------------------------------------
if [ ! -e "$program_dir/font.def" ]; then
  # The user's saved font (the uninstaller keeps it whatever it holds).
  printf 'Courier New\r\n10\r\n' >"$program_dir/font.def"
fi
cp "$program_dir/font.def" "$root/font.def"
uninstall_silently() {
  # The uninstaller runs on from a copy of itself in the temporary directory and this call
  # returns at once: the test waits for what it leaves.
  "$wine" "$program_dir/uninstall.exe" /S "$@" >>"$root/uninstaller.log" 2>&1 ||
    fail "the uninstaller failed: $(cat "$root/uninstaller.log")"
}
uninstall_silently
only_font_left() { [ "$(program_files)" = font.def ] && [ ! -e "$startup_link" ]; }
wait_for 60 "the uninstaller to leave only font.def" only_font_left ||
  fail "left in the program's directory: $(program_files | tr '\n' ' ')"
cmp -s "$root/font.def" "$program_dir/font.def" || fail "font.def was changed"
[ ! -e "$testpage_link" ] && [ ! -e "$menu_dir/wydrukid95" ] ||
  fail "the test page's Start-menu entry is still there"
[ -d "$jobs_dir" ] && [ -e "$jobs_dir/WYDRUK.TXT" ] || fail "the uninstaller touched the job directory"
if "$wine" reg query "$uninstall_key" >"$root/reg.log" 2>&1; then
  fail "the uninstall entry is still in the registry"
fi
note "uninstalled, font.def kept"

# --- install again over the kept font, then uninstall everything --------------------------------
install_silently
[ "$(program_files | tr '\n' ' ')" = "LICENSE.txt font.def uninstall.exe wydrukid95-testpage.exe wydrukid95.exe " ] ||
  fail "after installing again the program's directory holds: $(program_files | tr '\n' ' ')"
cmp -s "$root/font.def" "$program_dir/font.def" || fail "installing again changed font.def"
uninstall_silently /FONTDEF=REMOVE
nothing_left() { [ ! -e "$program_dir" ] && [ ! -e "$startup_link" ]; }
wait_for 60 "the uninstaller with /FONTDEF=REMOVE to leave nothing" nothing_left ||
  fail "left: $(program_files | tr '\n' ' ')"
if "$wine" reg query 'HKCU\Software\wydrukid95' >"$root/reg.log" 2>&1; then
  fail "the installer's settings are still in the registry"
fi
note "uninstalled with font.def"

for log in "$root"/*.log; do
  if grep -qE 'Backtrace:|Unhandled exception|Unhandled page fault' "$log"; then
    fail "Wine reported a crash in $(basename "$log"): $(cat "$log")"
  fi
done
if [ "$failures" -gt 0 ]; then
  echo "FAILED: $failures check(s); the artifacts are in $artifacts"
  exit 1
fi
note "passed"
