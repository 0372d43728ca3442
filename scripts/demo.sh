#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing, builds the agent, and runs it on a fresh job directory filled from
# demo/ (an invoice and a sales report as the companion writes them: code page 852, form feeds,
# escape commands for bold, condensed, elite and double width). The agent prints them on the
# printer of your profile's [windows] device line, else into PDF files under demo-output/, then
# is told to close. Also prints the diagnostic test page there.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

WYDRUKI_WINDOWS=0 scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc 2>/dev/null || echo 2)" --target wydrukid95 wydrukid95-testpage

work=$(mktemp -d /tmp/wydrukid95-demo-XXXXXX)
jobs="$work/jobs/"
mkdir -p "$jobs" "$root/demo-output"
profile="${WYDRUKI_INI:-${XDG_CONFIG_HOME:-$HOME/.config}/wydrukid95/win.ini}"
if [ -f "$profile" ] && grep -qi '^[[:space:]]*device[[:space:]]*=' "$profile"; then
  echo "Printing on the printer named in $profile"
  export WYDRUKI_INI="$profile"
else
  export WYDRUKI_INI="$work/win.ini"
  printf '[windows]\ndevice=pdf-file,builtin,%s\n[display]\ndriver=null\nrecord=%s\n' \
    "$root/demo-output" "$work/screen.txt" > "$WYDRUKI_INI"
fi
export XDG_RUNTIME_DIR="$work"  # a demo agent of its own, beside any agent already running

build/tools/wydrukid95-testpage
# The agent runs in the work directory and the signals name the print-outs relative to it, as
# short as the companion's DOS paths: a document is spooled under the first 31 characters of
# its name.
(cd "$work" && exec "$root/build/src/wydrukid95" jobs/) &
agent=$!
for job in demo/faktura.txt demo/raport.txt; do
  cp "$job" "$jobs"
  printf 'jobs/%s\r\n76\r\n' "$(basename "$job")" > "$jobs/win95.drk"
  for _ in $(seq 1 300); do [ -e "$jobs/win95.drk" ] || break; sleep 0.1; done
  if [ -e "$jobs/win95.drk" ]; then
    echo "The agent did not take $job within 30 s" >&2
    kill "$agent"
    exit 1
  fi
  echo "Printed $job"
done
touch "$jobs/koniec.drk"
wait "$agent"
rm -rf "$work"
echo "Done. PDF print-outs (when printing to pdf-file): $root/demo-output"
ls -1 "$root/demo-output" 2>/dev/null | sed 's/^/  /'
