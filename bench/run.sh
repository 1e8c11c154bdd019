#!/usr/bin/env bash
# Times whole runs of quogtran on a generated 1 MiB and 4 MiB story with a
# 100,000-entry dictionary, interleaved with the awk counterpart
# (translate.awk) doing the same job, and prints medians, ratios and peak
# memory. Both must write the same bytes; the script checks that first.
#
#   bench/run.sh            (ROUNDS=15 bench/run.sh for more rounds)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
rounds=${ROUNDS:-9}
awk_program=${AWK:-mawk}
build="$root/build-bench"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUOGTRAN_BENCH=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j2 >/dev/null
quogtran="$build/quogtran"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/make_corpus" "$work"
cd "$work"

run_quogtran() { "$quogtran" "$1" </dev/null >/dev/null; }
run_awk() { "$awk_program" -v dict=quogo.dic -v input="$1" -f "$root/bench/translate.awk"; }

# Seconds taken by one command, to the millisecond.
seconds() {
  local TIMEFORMAT=%3R
  { time "$@" >/dev/null 2>&1; } 2>&1
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

for story in big1 big4; do
  run_quogtran "$story.txt"
  cp "$story.qgo" "$story.quogtran"
  run_awk "$story.txt"
  if ! cmp -s "$story.qgo" "$story.quogtran"; then
    echo "quogtran and $awk_program differ on $story.txt" >&2
    exit 1
  fi
done

declare -A times
for ((round = 1; round <= rounds; round++)); do
  for story in big1 big4; do
    times[q_$story]+="$(seconds run_quogtran "$story.txt") "
    times[a_$story]+="$(seconds run_awk "$story.txt") "
  done
done

med() { tr ' ' '\n' <<<"${times[$1]}" | grep . | median; }
peak() { /usr/bin/time -f %M "$quogtran" "$1" </dev/null 2>&1 >/dev/null | tail -n 1; }

q1=$(med q_big1); a1=$(med a_big1); q4=$(med q_big4); a4=$(med a_big4)
size() { stat -c %s "$1"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }
dict_size=$(size quogo.dic)

printf 'rounds: %d, awk: %s, dictionary: %d bytes, 100000 entries\n' "$rounds" "$awk_program" "$dict_size"
printf '%-10s %12s %12s %10s\n' story quogtran "$awk_program" ratio
printf '%-10s %11ss %11ss %10.3f\n' big1.txt "$q1" "$a1" "$(ratio "$q1" "$a1")"
printf '%-10s %11ss %11ss %10.3f\n' big4.txt "$q4" "$a4" "$(ratio "$q4" "$a4")"
printf 'quogtran 4 MiB / 1 MiB time: %.2f\n' "$(ratio "$q4" "$q1")"
for story in big1 big4; do
  kib=$(peak "$story.txt")
  inputs=$(( $(size "$story.txt") + dict_size ))
  printf 'peak memory, %s: %d KiB = %.2f x (story + dictionary)\n' "$story.txt" "$kib" "$(ratio "$((kib * 1024))" "$inputs")"
done
