#!/usr/bin/env bash
# Counts the product's code lines, folder by folder: the lines of control/,
# engine/, results/, state/ and platform/, without blank lines and
# comment-only lines; the Windows side of the platform (platform/windows/)
# is counted apart.
set -euo pipefail
cd "$(dirname "$0")/.."
count() { xargs -r cat | grep -vE '^\s*(//.*)?$' | grep -vcE '^\s*(/\*|\*)' || true; }
total=0
for dir in control engine results state platform; do
  lines=$(git ls-files -- "$dir/*.cpp" "$dir/*.h" | grep -v '^platform/windows/' | count)
  printf 'code lines in %-9s %5d\n' "$dir/" "$lines"
  total=$((total + lines))
done
printf 'code lines in all      %5d\n' "$total"
printf 'code lines for Windows %5d\n' "$(git ls-files -- 'platform/windows/*' | count)"
