#!/usr/bin/env bash
# Field 2 of records whose dashes are no separators (a date's lone dash, three dashes, four
# ending the line), through lanzhou-cli extract and mawk, at 1, 2 and 4 times LINES records:
# the time must double with the input. Prints one Markdown table row per run, the median of
# RUNS runs (wall and user + sys CPU seconds).
#   bench/extract_dashes.sh [LANZHOU_CLI]
# LINES (default 1000000) and RUNS (default 5). LANZHOU_CLI defaults to
# build-bench/cli/lanzhou-cli (configure with -DLANZHOU_BENCH=ON -DCMAKE_BUILD_TYPE=Release).
set -euo pipefail
cd "$(dirname "$0")/.."
cli=$(realpath "${1:-build-bench/cli/lanzhou-cli}")
[ -x "$cli" ] || { echo "extract_dashes: no program at $cli" >&2; exit 1; }
lines=${LINES:-1000000}
runs=${RUNS:-5}
scratch=$(mktemp -d "${TMPDIR:-/tmp}/lanzhou-dashes.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
program='{gsub(/----/,"|"); split($0,f,"|"); print f[2]}'

# The median of `runs` timings of COMMAND...: "wall cpu".
median() {
  local log="$scratch/time.log"
  for _ in $(seq "$runs"); do
    /usr/bin/time -f '%e %U %S' -o "$log" "$@" >"$scratch/out"
    awk '{ printf "%.2f %.2f\n", $1, $2 + $3 }' "$log"
  done | sort -n -k2 | awk -v m=$(((runs + 1) / 2)) 'NR == m'
}

echo "| shape | records | MB | lanzhou-cli wall s | CPU s | mawk wall s | CPU s | load |"
echo "|---|---:|---:|---:|---:|---:|---:|---:|"
for shape in '|2023-12-05|city' '|a---b|city' '|138|city----'; do
  for factor in 1 2 4; do
    n=$((lines * factor))
    mawk -v n="$n" -v s="$shape" 'BEGIN { for (i = 0; i < n; i++) printf "user%d%s\r\n", i, s }' \
      >"$scratch/in.txt"
    load=$(cut -d' ' -f1 /proc/loadavg)
    read -r ours_wall ours_cpu < <(median "$cli" extract -f 2 "$scratch/in.txt")
    read -r mawk_wall mawk_cpu < <(median mawk "$program" "$scratch/in.txt")
    printf '| `%s` | %d | %.0f | %s | %s | %s | %s | %s |\n' "${shape//|/\\|}" "$n" \
      "$(($(stat -c %s "$scratch/in.txt") / 1000000))" "$ours_wall" "$ours_cpu" "$mawk_wall" \
      "$mawk_cpu" "$load"
  done
done
