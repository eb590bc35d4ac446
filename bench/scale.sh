#!/usr/bin/env bash
# Dedupe at scale: a 1.7 GB and a 4 GB list of accounts through lanzhou-cli dedupe in memory,
# the 4 GB one again within --memory 512M (temporary files), and `sort -u` with the same
# memory for scale (it loses the order). Checks that the run within the limit writes the
# bytes of the run in memory and prints one Markdown table row per run.
#   bench/scale.sh [LANZHOU_CLI]
# SMALL_LINES and LARGE_LINES (default 60000000 and 140000000) set the sizes of the two lists.
# LANZHOU_CLI defaults to build-bench/cli/lanzhou-cli (configure with -DLANZHOU_BENCH=ON
# -DCMAKE_BUILD_TYPE=Release). The data and the outputs go to a scratch directory under
# $TMPDIR (about 16 GB of disk) and are removed.
set -euo pipefail
cd "$(dirname "$0")/.."
cli=$(realpath "${1:-build-bench/cli/lanzhou-cli}")
[ -x "$cli" ] || { echo "scale: no program at $cli" >&2; exit 1; }
scratch=$(mktemp -d "${TMPDIR:-/tmp}/lanzhou-scale.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

# LINES lines "user<8 digits>@qq-example.com" CR LF drawn from half as many numbers, so that
# about 43% of them are distinct.
accounts() {  # accounts LINES FILE
  mawk -v n="$1" 'BEGIN { srand(1); for (i = 0; i < n; i++)
    printf "user%08d@qq-example.com\r\n", int(rand() * n / 2) }' >"$2"
}

status=0
run() {  # run WHAT INPUT COMMAND...
  local what=$1 input=$2
  shift 2
  local load log="$scratch/time.log"
  load=$(cut -d' ' -f1 /proc/loadavg)
  if ! /usr/bin/time -f '%e %U %S %M' -o "$log" "$@"; then
    echo "scale: $what failed" >&2
    status=1
  fi
  read -r wall user sys peak_kb <"$log"
  awk -v w="$what" -v i="$(stat -c %s "$input")" -v t="$wall" -v u="$user" -v s="$sys" \
    -v p="$peak_kb" -v l="$load" 'BEGIN {
      printf "| %s | %.2f GB | %.0f s | %.1f s | %.0f MB (%.2fx) | %s |\n",
        w, i / 1e9, t, u + s, p / 1024, p * 1024 / i, l }'
}

accounts "${SMALL_LINES:-60000000}" "$scratch/60m.txt"
accounts "${LARGE_LINES:-140000000}" "$scratch/140m.txt"
echo "| run | input | wall | CPU (user + sys) | peak memory (/ input) | load |"
echo "|---|---|---:|---:|---:|---:|"
run "dedupe, in memory" "$scratch/60m.txt" "$cli" dedupe "$scratch/60m.txt" -o "$scratch/out"
rm -f "$scratch/out" "$scratch/60m.txt"
run "dedupe, in memory" "$scratch/140m.txt" \
  "$cli" dedupe "$scratch/140m.txt" -o "$scratch/in-memory"
run "dedupe \`--memory 512M\` (temporary files)" "$scratch/140m.txt" \
  env TMPDIR="$scratch" "$cli" dedupe --memory 512M "$scratch/140m.txt" -o "$scratch/limited"
if ! cmp -s "$scratch/in-memory" "$scratch/limited"; then
  echo "scale: dedupe --memory 512M wrote other bytes than dedupe in memory" >&2
  status=1
fi
rm -f "$scratch/in-memory" "$scratch/limited"
run "\`LC_ALL=C sort -u -S 512M\` (order lost)" "$scratch/140m.txt" \
  env LC_ALL=C TMPDIR="$scratch" sort -u -S 512M "$scratch/140m.txt" -o "$scratch/sorted"
exit $status
