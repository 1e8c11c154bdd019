#!/bin/sh
# Each output of the Windows program reaches the disk before it is moved
# into place: under wine, FlushFileBuffers is an fsync of the file, so a run
# that writes its two outputs makes two at least.
exe=$1
command -v strace >/dev/null 2>&1 || { echo "strace is missing: skipped"; exit 77; }
dir=$(mktemp -d) && trap 'rm -rf "$dir"' EXIT && cd "$dir" || exit 1
printf 'x+=" _cat_->~kat_";\r\n' >quogo.dic && printf cat >story.txt
WINEDEBUG=-all strace -f -o trace -e trace=fsync,fdatasync wine "$exe" story.txt </dev/null >shown 2>&1
syncs=$(grep -c 'sync(' trace)
echo "$syncs syncs"
grep -q 'See story.qgo' shown && [ "$syncs" -ge 2 ]
