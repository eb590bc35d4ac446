#!/usr/bin/env bash
# lanzhou-cli find and filter beside ripgrep and grep, on generated Chinese free text with
# known items (bench/find_corpus.py).
#
#   bench/find_filter.sh        build lanzhou-cli (Release), generate the corpus, check that
#                               find writes exactly the embedded items (all of them, nothing
#                               else), time find --phone against rg -o and grep -oE, and
#                               filter --keep with 10,000 keywords against grep -F -f; prints
#                               a table
#
# Environment: MB (default 100) megabytes of text; RUNS (default 3) runs per command, of which
# the median wall and CPU times are reported; WORK (default /tmp/lanzhou-find) holds the data;
# BUILD (default build-cli-rel) is the build tree. The tools read the UTF-8 form of the text,
# lanzhou-cli the GBK form.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
mb=${MB:-100}
runs=${RUNS:-3}
work=${WORK:-/tmp/lanzhou-find}
build=${BUILD:-$root/build-cli-rel}
cli=$build/cli/lanzhou-cli
data=$work/data-$mb
out=$work/out
mkdir -p "$data" "$out"

echo "== building lanzhou-cli (Release) in $build"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLANZHOU_GUI=OFF \
  -DLANZHOU_TESTS=OFF >/dev/null
cmake --build "$build" --target lanzhou-cli -j2 >/dev/null

stamp=$(sha256sum bench/find_corpus.py | cut -c1-16)
if [ "$(cat "$data/stamp" 2>/dev/null)" != "$stamp" ]; then
  echo "== generating $mb MB in $data"
  python3 bench/find_corpus.py "$data" "$mb"
  echo "$stamp" >"$data/stamp"
fi
text=$data/text.gbk
utf8=$data/text.utf8

echo "== corpus check"
fail=0
check() {  # check NAME EXPECTED ARGS...
  local name=$1 expected=$2
  shift 2
  "$cli" find "$@" "$text" -o "$out/$name"
  local want got
  want=$(tr -d '\r' <"$expected" | grep -c '' || true)
  got=$(tr -d '\r' <"$out/$name" | grep -c '' || true)
  if cmp -s "$out/$name" "$expected"; then
    echo "   ok   find $*: all $want items, no other"
  else
    echo "   FAIL find $*: $got items written, $want embedded"
    fail=1
  fi
}
check all "$data/expected_all.gbk" --phone --email --qq --id --url
check phone "$data/expected_phone.gbk" --phone
[ $fail -eq 0 ] || exit 1

# The same intent as --phone for the tools: 1[3-9] and nine digits, alone or after +86/86,
# grouped 3-4-4 or not, no digit or letter around it (full-width forms are beyond them).
phone='(^|[^0-9A-Za-z])(\+?86[ -]?)?1[3-9][0-9]([0-9]{8}|-[0-9]{4}-[0-9]{4}| [0-9]{4} [0-9]{4})([^0-9A-Za-z]|$)'

# time_median NAME COMMAND...: the median wall and CPU seconds of RUNS runs.
declare -A wall cpu
time_median() {
  local name=$1
  shift
  local walls=() cpus=()
  for ((i = 0; i < runs; i++)); do
    # Not to /dev/null: grep notices it and stops at the first match.
    /usr/bin/time -f "%e %U %S" -o "$out/time" "$@" >"$out/timed"
    read -r w u s <"$out/time"
    walls+=("$w")
    cpus+=("$(echo "$u + $s" | bc)")
  done
  wall[$name]=$(printf '%s\n' "${walls[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p")
  cpu[$name]=$(printf '%s\n' "${cpus[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p")
}

echo "== timing ($runs runs each, median)"
time_median find "$cli" find --phone -q "$text"
time_median rg rg -o --no-filename "$phone" "$utf8"
time_median grep env LC_ALL=C grep -oE "$phone" "$utf8"
head -n 1000000 "$text" >"$data/lines.gbk"
head -n 1000000 "$utf8" >"$data/lines.utf8"
time_median filter "$cli" filter --keep -k "$data/keywords.gbk" -q "$data/lines.gbk"
time_median grepf env LC_ALL=C grep -F -f "$data/keywords.utf8" "$data/lines.utf8"
kept=$("$cli" filter --keep -k "$data/keywords.gbk" "$data/lines.gbk" | tr -d '\r' | grep -c '' || true)
grep_kept=$(LC_ALL=C grep -c -F -f "$data/keywords.utf8" "$data/lines.utf8" || true)
echo "   filter --keep kept $kept lines, grep -F -f $grep_kept"

ratio() { echo "scale=2; $1 / $2" | bc; }
printf '\n| command | wall s | CPU s | ours / theirs (wall) |\n|---|---|---|---|\n'
printf '| `find --phone` (%s MB GBK) | %s | %s | |\n' "$mb" "${wall[find]}" "${cpu[find]}"
printf '| `rg -o` (UTF-8) | %s | %s | %s |\n' "${wall[rg]}" "${cpu[rg]}" "$(ratio "${wall[find]}" "${wall[rg]}")"
printf '| `grep -oE` (UTF-8, C locale) | %s | %s | %s |\n' "${wall[grep]}" "${cpu[grep]}" \
  "$(ratio "${wall[find]}" "${wall[grep]}")"
printf '| `filter --keep`, 10,000 keywords, 1 M lines | %s | %s | |\n' "${wall[filter]}" "${cpu[filter]}"
printf '| `grep -F -f` (UTF-8, C locale) | %s | %s | %s |\n' "${wall[grepf]}" "${cpu[grepf]}" \
  "$(ratio "${wall[filter]}" "${wall[grepf]}")"
