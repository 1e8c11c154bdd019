#!/usr/bin/env bash
# Times whole runs of quogtran, each writing its two output files, in
# interleaved rounds, and prints medians, ratios and peak memory:
#   - translating a generated 1 MiB and 4 MiB story with a 100,000-entry
#     dictionary, beside bench/translate.awk doing the same job (the script
#     first checks that both write the same bytes);
#   - with PEER set to another awk word-substitution program taking
#     "-v out=BASE [-v rev=1] DICTIONARY STORY", that program too, and the
#     untranslation (-u) of the translated stories beside it with rev=1;
#   - 1,000 distinct words holding '_' beside the same words without, with a
#     6 MB dictionary;
#   - the bundled example beside cat reading the same files.
# Peak memory is GNU time's maximum resident set size.
#
#   bench/run.sh                  ROUNDS=15 PEER=other.awk bench/run.sh
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
rounds=${ROUNDS:-9}
awk_program=${AWK:-mawk}
peer=${PEER:+$(realpath "$PEER")}
build="$root/build-bench"

(cd "$root" && cmake --preset bench >/dev/null && cmake --build --preset bench >/dev/null)
quogtran="$build/quogtran"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/make_corpus" "$work"
mkdir "$work/example" && cp "$root"/examples/* "$work/example/"
cd "$work"

# The commands timed, by name. Each runs in the folder of its files.
run() {
  case $1 in
    q1) "$quogtran" big1.txt ;;
    q4) "$quogtran" big4.txt ;;
    a1) "$awk_program" -v dict=quogo.dic -v input=big1.txt -f "$root/bench/translate.awk" ;;
    a4) "$awk_program" -v dict=quogo.dic -v input=big4.txt -f "$root/bench/translate.awk" ;;
    p1) "$awk_program" -v out=peer1 -f "$peer" quogo.dic big1.txt ;;
    p4) "$awk_program" -v out=peer4 -f "$peer" quogo.dic big4.txt ;;
    u1) "$quogtran" -u told1.qgo ;;
    u4) "$quogtran" -u told4.qgo ;;
    r1) "$awk_program" -v out=back1 -v rev=1 -f "$peer" quogo.dic told1.qgo ;;
    r4) "$awk_program" -v out=back4 -v rev=1 -f "$peer" quogo.dic told4.qgo ;;
    snake) (cd wide && "$quogtran" snake.txt) ;;
    plain) (cd wide && "$quogtran" plain.txt) ;;
    example) (cd example && "$quogtran" story.txt) ;;
    cat) (cd example && cat quogo.dic names.dic story.txt) ;;
  esac </dev/null >/dev/null 2>&1
}

# Seconds taken by one command, to the millisecond.
seconds() {
  local TIMEFORMAT=%3R
  { time run "$1"; } 2>&1
}

median() { tr ' ' '\n' | grep . | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }
size() { stat -c %s "$1"; }

for n in 1 4; do
  run "q$n"
  cp "big$n.qgo" "big$n.quogtran"
  cp "big$n.qgo" "told$n.qgo"
  run "a$n"
  if ! cmp -s "big$n.qgo" "big$n.quogtran"; then
    echo "quogtran and translate.awk differ on big$n.txt" >&2
    exit 1
  fi
done

names=(q1 a1 q4 a4 snake plain example cat)
[ -n "$peer" ] && names+=(p1 p4 u1 r1 u4 r4)
declare -A times
for ((round = 1; round <= rounds; round++)); do
  for name in "${names[@]}"; do
    times[$name]+="$(seconds "$name") "
  done
done
med() { median <<<"${times[$1]}"; }
row() { printf '%-34s %9ss %9ss %8s\n' "$1" "$(med "$2")" "$(med "$3")" "$(ratio "$(med "$2")" "$(med "$3")")"; }

printf 'rounds: %d, awk: %s, dictionary: %d bytes, 100000 entries\n' "$rounds" "$awk_program" "$(size quogo.dic)"
printf '%-34s %10s %10s %8s\n' "" "quogtran" "other" "ratio"
row "big1.txt against translate.awk" q1 a1
row "big4.txt against translate.awk" q4 a4
if [ -n "$peer" ]; then
  row "big1.txt against the peer" q1 p1
  row "big4.txt against the peer" q4 p4
  row "-u told1.qgo against the peer" u1 r1
  row "-u told4.qgo against the peer" u4 r4
fi
row "1,000 words with '_' against without" snake plain
row "the example against cat" example cat
for n in 1 4; do
  kib=$(cd "$work" && /usr/bin/time -f %M "$quogtran" "big$n.txt" </dev/null 2>&1 >/dev/null | tail -n 1)
  inputs=$(( $(size "big$n.txt") + $(size quogo.dic) ))
  printf 'peak memory, big%d.txt: %d KiB = %.2f x (story + dictionary)\n' "$n" "$kib" "$(ratio "$((kib * 1024))" "$inputs")"
done
