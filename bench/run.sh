#!/usr/bin/env bash
# Times whole runs of quogtran, each writing (and syncing) its two output
# files, paired with a peer doing the same job, and prints for each case the
# median of the per-pair time ratios (runs alternate A B A B ...), and peak
# memory against the size of story plus dictionary:
#   - translating 1, 4 and 16 MiB stories with a 100,000-entry dictionary, on
#     both corpora (bench/make_corpus.cpp), and a 1 MiB story with 1,000,000
#     entries;
#   - untranslating (-u) the translated 1 MiB stories;
#   - 2 MB of words holding '_' against the same words without;
#   - the bundled example against cat reading the same files.
# Each case is paired with the floor too (bench/floor.cpp): the least any
# program must do for the same result, its two files written durably.
# The peer is an awk program taking "-v out=BASE [-v rev=1] DICTIONARY STORY"
# (PEER, by default ../shared/bench/peer.awk beside the project, else
# bench/translate.awk), run by AWK (mawk). Before timing, the script checks
# that quogtran and bench/translate.awk write the same bytes.
#
#   bench/run.sh            ROUNDS=21 bench/run.sh            CASES="p1 m1" bench/run.sh
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
rounds=${ROUNDS:-11}
awk_program=${AWK:-mawk}
peer=${PEER:-$root/../shared/bench/peer.awk}
[ -f "$peer" ] || peer=
peer=${peer:+$(realpath "$peer")}
build="$root/build-bench"

(cd "$root" && cmake --preset bench >/dev/null && cmake --build --preset bench >/dev/null)
quogtran="$build/quogtran"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/make_corpus" "$work"
mkdir "$work/example" && cp "$root"/examples/* "$work/example/"
cd "$work"

# The peer's job on DICTIONARY STORY [rev]: the peer program, or else the
# project's own awk translation (which has no -u).
peer_run() {
  if [ -n "$peer" ]; then
    "$awk_program" -v out="${2%.*}.peer" ${3:+-v rev=1} -f "$peer" "$1" "$2"
  else
    "$awk_program" -v dict="$1" -v input="$2" -f "$root/bench/translate.awk"
  fi
}

# Each case: its folder, then quogtran's command and the other's, as words.
declare -A folder quog other
add_case() { folder[$1]=$2; quog[$1]=$3; other[$1]=$4; }
for n in 1 4 16; do
  add_case "t$n" . "$quogtran big$n.txt" "peer_run quogo.dic big$n.txt"
  add_case "p$n" prose "$quogtran big$n.txt" "peer_run quogo.dic big$n.txt"
done
add_case m1 million "$quogtran big1.txt" "peer_run quogo.dic big1.txt"
add_case u1 . "$quogtran -u told1.qgo" "peer_run quogo.dic told1.qgo rev"
add_case v1 prose "$quogtran -u told1.qgo" "peer_run quogo.dic told1.qgo rev"
add_case snake wide "$quogtran snake.txt" "$quogtran plain.txt"
add_case example example "$quogtran story.txt" "cat quogo.dic names.dic story.txt"
cases=${CASES:-t1 t4 t16 p1 p4 p16 m1 u1 v1 snake example}

run() { (cd "${folder[$1]}" && eval "$2") </dev/null >/dev/null 2>&1; }
now() { echo "${EPOCHREALTIME/./}"; }

# The untranslation cases start from quogtran's own translation; and both
# programs must agree on what they write.
(cd "$work" && "$quogtran" big1.txt && cp big1.qgo told1.qgo) </dev/null >/dev/null
(cd "$work/prose" && "$quogtran" big1.txt && cp big1.qgo told1.qgo) </dev/null >/dev/null
(cd "$work" && "$awk_program" -v dict=quogo.dic -v input=big1.txt -f "$root/bench/translate.awk" &&
  cmp -s big1.qgo told1.qgo) || { echo "quogtran and translate.awk differ on big1.txt" >&2; exit 1; }

# The floor's job for a case: quogtran's two outputs, from copies of them.
outputs() {
  local args=${quog[$1]#"$quogtran" } base
  base=${args##* }; base=${base%%.*}
  case $args in -u*) echo "$base.txt $base.htm" ;; *) echo "$base.qgo $base.htm" ;; esac
}
declare -A floor
for name in $cases; do
  run "$name" "${quog[$name]}"
  read -r first second <<<"$(outputs "$name")"
  (cd "${folder[$name]}" && cp "$first" "$work/$name.1" && cp "$second" "$work/$name.2")
  floor[$name]="$build/bench/floor $first $work/$name.1 $second $work/$name.2"
done

declare -A ratios floor_ratios
for ((round = 1; round <= rounds; round++)); do
  for name in $cases; do
    a0=$(now); run "$name" "${quog[$name]}"; a1=$(now)
    run "$name" "${other[$name]}"; b1=$(now)
    run "$name" "${floor[$name]}"; c1=$(now)
    ratios[$name]+="$(awk -v a=$((a1 - a0)) -v b=$((b1 - a1)) 'BEGIN { printf "%.4f", a / b }') "
    floor_ratios[$name]+="$(awk -v a=$((a1 - a0)) -v c=$((c1 - b1)) 'BEGIN { printf "%.4f", a / c }') "
  done
done

median() { tr ' ' '\n' | grep . | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
describe() {
  case $1 in
    t*) echo "first corpus, ${1#t} MiB, 100,000 entries" ;;
    p*) echo "prose corpus, ${1#p} MiB, 100,000 entries" ;;
    m1) echo "prose corpus, 1 MiB, 1,000,000 entries" ;;
    u1) echo "-u, first corpus, 1 MiB" ;;
    v1) echo "-u, prose corpus, 1 MiB" ;;
    snake) echo "2 MB of words with '_' / without" ;;
    example) echo "the example / cat" ;;
  esac
}
# Peak memory of quogtran's run as a multiple of its story plus dictionary.
memory() {
  local dir=${folder[$1]} args=${quog[$1]#"$quogtran" } kib
  kib=$(cd "$dir" && /usr/bin/time -f %M "$quogtran" $args </dev/null 2>&1 >/dev/null | tail -n 1)
  awk -v k="$kib" -v s="$(stat -c %s "$dir/${args##* }")" -v d="$(stat -c %s "$dir/quogo.dic")" \
    'BEGIN { printf "%7d KiB %5.2fx", k, k * 1024 / (s + d) }'
}

printf 'rounds: %d, peer: %s under %s\n' "$rounds" "${peer:-bench/translate.awk}" "$awk_program"
printf '%-42s %12s %12s %22s\n' "case" "time ratio" "/ floor" "peak memory"
for name in $cases; do
  printf '%-42s %11sx %11sx %22s\n' "$(describe "$name")" "$(median <<<"${ratios[$name]}")" \
    "$(median <<<"${floor_ratios[$name]}")" "$(memory "$name")"
done
"$root/tools/code_lines.sh"
