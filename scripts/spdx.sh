#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Puts the licence identifier at the top of every source file of the repository that lacks it,
# in the comment syntax of the file's language; after a shebang line when there is one.
#   scripts/spdx.sh           adds the missing identifiers (files are changed in place)
#   scripts/spdx.sh --check   changes nothing; lists the files without one, status 1 if any
# Files that are data rather than source (the demo print-outs, icons, the manifest) carry none.
set -euo pipefail
cd "$(dirname "$0")/.."

readonly tag="SPDX-License-Identifier: MIT"
check=0
case "${1:-}" in
  --check) check=1 ;;
  "") ;;
  *) echo "usage: scripts/spdx.sh [--check]" >&2; exit 2 ;;
esac

# The identifier's line for a file, or nothing when the file carries none.
comment_for() {
  case "$1" in
    *.cpp | *.h | *.c | *.rc) echo "// $tag" ;;
    *.sh | *.py | *.cmake | */CMakeLists.txt | CMakeLists.txt | *.service.in | *.desktop.in | \
      packaging/wydrukid95-dosbox | .ci/run) echo "# $tag" ;;
    *.nsi) echo "; $tag" ;;
    *.1.in) echo ".\\\" $tag" ;;
  esac
}

missing=0
while IFS= read -r -d '' file; do
  line=$(comment_for "$file")
  [ -n "$line" ] || continue
  # Within the first lines: a shebang or a manual page's first comment may come before it.
  head -n 3 -- "$file" | grep -qF "$tag" && continue
  if [ "$check" = 1 ]; then
    echo "$file"
    missing=1
    continue
  fi
  mode=$(stat -c %a -- "$file")
  tmp=$(mktemp)
  if head -n 1 -- "$file" | grep -q '^#!'; then
    { head -n 1 -- "$file"; echo "$line"; tail -n +2 -- "$file"; } >"$tmp"
  else
    { echo "$line"; cat -- "$file"; } >"$tmp"
  fi
  chmod "$mode" "$tmp"
  mv -- "$tmp" "$file"
done < <(git ls-files -z)

if [ "$missing" = 1 ]; then
  echo "spdx: the files above carry no \"$tag\" line (scripts/spdx.sh adds it)" >&2
  exit 1
fi
