#!/usr/bin/env bash
# lanzhou-cli side by side with the standard tools on the same GBK data.
#
#   bench/compare.sh            build lanzhou-cli (Release), generate the data, check that each
#                               pair of commands agrees where they compute the same thing, time
#                               every command, print the table and write it to bench/README.md
#
# Environment: RUNS (default 5) runs per command, of which the medians of wall and CPU time
# are reported; WORK (default /tmp/lanzhou-compare) holds the data and the outputs; BUILD
# (default build-cli-rel) is the build tree. Peak memory is the maximum resident set size
# from /usr/bin/time.
set -euo pipefail
# The data is GBK bytes: every tool runs byte-wise, in the C locale (its fastest setting).
export LC_ALL=C
cd "$(dirname "$0")/.."
root=$PWD
runs=${RUNS:-5}
work=${WORK:-/tmp/lanzhou-compare}
build=${BUILD:-$root/build-cli-rel}
cli=$build/cli/lanzhou-cli
data=$work/data
out=$work/out
mkdir -p "$data" "$out"

echo "== building lanzhou-cli (Release) in $build"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLANZHOU_GUI=OFF \
  -DLANZHOU_TESTS=OFF >/dev/null
cmake --build "$build" --target lanzhou-cli -j2 >/dev/null

# The data is generated again only when the generator changed.
stamp=$(sha256sum bench/gen_data.py | cut -c1-16)
if [ "$(cat "$data/stamp" 2>/dev/null)" != "$stamp" ]; then
  echo "== generating data in $data"
  python3 bench/gen_data.py "$data"
  echo "$stamp" >"$data/stamp"
fi
records=$data/records.txt
list_a=$data/list_a.txt
list_b=$data/list_b.txt
prose=$data/prose.txt
ascii=$data/ascii.txt

# ---- agreement: each pair must compute the same bytes (line ends normalised) ----
echo "== checking that the commands agree"
fail=0
agree() {  # agree NAME FILE1 FILE2
  if cmp -s "$2" "$3"; then
    echo "   ok   $1"
  else
    echo "   FAIL $1 ($2 differs from $3)"
    fail=1
  fi
}
# Our results separate lines by CR LF and end without one; the tools end every line with LF
# (or keep the CR of the CR LF input as the end of the last field).
"$cli" dedupe "$records" >"$out/dedupe.ours"
{ cat "$out/dedupe.ours"; printf '\r\n'; } >"$out/dedupe.ours.norm"
awk '!seen[$0]++' "$records" >"$out/dedupe.awk"
mawk '!seen[$0]++' "$records" >"$out/dedupe.mawk"
agree "dedupe = awk '!seen[\$0]++'" "$out/dedupe.ours.norm" "$out/dedupe.awk"
agree "dedupe = mawk '!seen[\$0]++'" "$out/dedupe.ours.norm" "$out/dedupe.mawk"

"$cli" extract -f 2 "$records" >"$out/extract.ours"
{ tr -d '\r' <"$out/extract.ours"; printf '\n'; } >"$out/extract.ours.norm"
sed 's/----/|/g' "$records" | cut -d'|' -f2 >"$out/extract.cut"
awk '{gsub(/----/,"|"); split($0,f,"|"); print f[2]}' "$records" >"$out/extract.awk"
agree "extract -f 2 = sed | cut -f2" "$out/extract.ours.norm" "$out/extract.cut"
agree "extract -f 2 = awk gsub/split" "$out/extract.ours.norm" "$out/extract.awk"

"$cli" reorder -d '|' -c 3,1 "$records" | tr -d '\r' >"$out/reorder.ours.norm"
awk -F'|' -v OFS='|' '{print $3,$1}' "$records" >"$out/reorder.awk"
mlr --inidx --ifs '|' --onidx --ofs '|' cut -o -f 3,1 "$records" >"$out/reorder.mlr"
agree "reorder -c 3,1 = awk '{print \$3,\$1}'" "$out/reorder.ours.norm" "$out/reorder.awk"
agree "reorder -c 3,1 = mlr cut" "$out/reorder.ours.norm" "$out/reorder.mlr"

"$cli" merge "$list_a" "$list_b" | tr -d '\r' >"$out/merge.ours.norm"
paste -d'|' "$list_a" /dev/null "$list_b" /dev/null >"$out/merge.paste"
awk 'NR==FNR{a[FNR]=$0;next} FNR in a{print a[FNR] "||" $0 "|"}' "$list_a" "$list_b" \
  >"$out/merge.awk"
agree "merge A B = paste -d'|' A /dev/null B /dev/null" "$out/merge.ours.norm" "$out/merge.paste"
agree "merge A B = awk" "$out/merge.ours.norm" "$out/merge.awk"

"$cli" merge "$list_a" --datum 123456 | tr -d '\r' >"$out/datum.ours.norm"
sed 's/$/||123456/' "$list_a" >"$out/datum.sed"
agree "merge A --datum 123456 = sed 's/\$/||123456/'" "$out/datum.ours.norm" "$out/datum.sed"

# On letters and digits without spaces both cut hard at the width; on Chinese text fold -b
# cuts characters in half, so only the time is compared there.
"$cli" wrap -w 40 "$ascii" | tr -d '\r' >"$out/wrap.ours.norm"
fold -b -w 40 "$ascii" >"$out/wrap.fold"
agree "wrap -w 40 = fold -b -w 40 (ASCII without spaces)" "$out/wrap.ours.norm" "$out/wrap.fold"
[ "$fail" = 0 ] || { echo "the commands disagree; no timings taken" >&2; exit 1; }

# ---- timings ----
# One operation: its commands run round-robin, RUNS times each, so that a slow spell of the
# shared machine does not fall on one command only.
declare -a rows=()
time_operation() {  # time_operation OP INPUT_FILES -- LABEL CMD [LABEL CMD]...
  local op=$1 inputs=$2
  shift 3
  local -a labels=() cmds=()
  while [ $# -gt 0 ]; do
    labels+=("$1")
    cmds+=("$2")
    shift 2
  done
  local load
  load=$(cut -d' ' -f1 /proc/loadavg)
  local input_bytes=0 f
  for f in $inputs; do input_bytes=$((input_bytes + $(stat -c %s "$f"))); done
  local -A walls=() cpus=() mems=()
  local run i start end wall cpu kb
  for ((run = 0; run < runs; run++)); do
    for i in "${!cmds[@]}"; do
      start=$(date +%s%N)
      /usr/bin/time -f '%U %S %M' -o "$out/usage" sh -c "${cmds[$i]}" >"$out/timed.out"
      end=$(date +%s%N)
      read -r user sys kb <"$out/usage"
      walls[$i]+="$(((end - start) / 1000000)) "
      cpus[$i]+="$(awk -v u="$user" -v s="$sys" 'BEGIN {printf "%d", (u + s) * 1000}') "
      mems[$i]+="$kb "
    done
  done
  median() { tr ' ' '\n' | grep . | sort -n | awk '{v[NR] = $1}
    END {print (NR % 2) ? v[(NR + 1) / 2] : int((v[NR / 2] + v[NR / 2 + 1]) / 2)}'; }
  local -a wall_ms=() cpu_ms=() peaks=()
  for i in "${!cmds[@]}"; do
    wall_ms[$i]=$(echo "${walls[$i]}" | median)
    cpu_ms[$i]=$(echo "${cpus[$i]}" | median)
    peaks[$i]=$(echo "${mems[$i]}" | tr ' ' '\n' | grep . | sort -n | tail -1)
  done
  # The best standard tool: the one of least wall time that computes the same thing (neither
  # ours, nor the copy floor cat, nor sort -u, which loses the order). One run measures all,
  # so every ratio is within one stretch of the machine's load.
  local best="" floor=1
  for i in "${!cmds[@]}"; do
    case "${labels[$i]}" in
      cat*) floor=${wall_ms[$i]} ;;
      lanzhou-cli* | sort*) ;;
      *) if [ -z "$best" ] || [ "${wall_ms[$i]}" -lt "$best" ]; then best=${wall_ms[$i]}; fi ;;
    esac
  done
  [ "${best:-0}" -gt 0 ] || best=1
  [ "$floor" -gt 0 ] || floor=1
  for i in "${!cmds[@]}"; do
    rows+=("$(awk -v op="$op" -v label="${labels[$i]}" -v wall="${wall_ms[$i]}" \
      -v cpu="${cpu_ms[$i]}" -v best="$best" -v floor="$floor" -v kb="${peaks[$i]}" \
      -v in_bytes="$input_bytes" -v machine_load="$load" \
      'BEGIN { printf "| %s | `%s` | %.2f | %.2f | %.2f | %.1f | %.0f | %.1f | %s |\n", op, label,
               wall / 1000, cpu / 1000, wall / best, wall / floor, kb / 1024,
               kb * 1024 / in_bytes, machine_load }')")
    echo "${rows[-1]}"
  done
}

echo "== timing, median of $runs runs"
mb() { awk -v b="$(stat -c %s "$1")" 'BEGIN {printf "%.0f MB", b / 1048576}'; }
time_operation "dedupe, $(mb "$records")" "$records" -- \
  "lanzhou-cli dedupe" "'$cli' dedupe '$records'" \
  "awk '!seen[\$0]++'" "awk '!seen[\$0]++' '$records'" \
  "mawk '!seen[\$0]++'" "mawk '!seen[\$0]++' '$records'" \
  "sort -u (loses the order)" "sort -u '$records'" \
  "cat > file" "cat '$records'"
time_operation "extract, $(mb "$records")" "$records" -- \
  "lanzhou-cli extract -f 2" "'$cli' extract -f 2 '$records'" \
  "sed 's/----/|/g' | cut -d'|' -f2" "sed 's/----/|/g' '$records' | cut -d'|' -f2" \
  "awk '{gsub(/----/,\"|\"); split(\$0,f,\"|\"); print f[2]}'" \
  "awk '{gsub(/----/,\"|\"); split(\$0,f,\"|\"); print f[2]}' '$records'" \
  "mawk (the same program)" "mawk '{gsub(/----/,\"|\"); split(\$0,f,\"|\"); print f[2]}' '$records'" \
  "cat > file" "cat '$records'"
time_operation "reorder, $(mb "$records")" "$records" -- \
  "lanzhou-cli reorder -d '|' -c 3,1" "'$cli' reorder -d '|' -c 3,1 '$records'" \
  "awk -F'|' -v OFS='|' '{print \$3,\$1}'" "awk -F'|' -v OFS='|' '{print \$3,\$1}' '$records'" \
  "mawk (the same program)" "mawk -F'|' -v OFS='|' '{print \$3,\$1}' '$records'" \
  "mlr --inidx --ifs '|' --onidx --ofs '|' cut -o -f 3,1" \
  "mlr --inidx --ifs '|' --onidx --ofs '|' cut -o -f 3,1 '$records'" \
  "cat > file" "cat '$records'"
time_operation "merge, 2 x 1,000,000 lines, $(($(stat -c %s "$list_a") / 1048576 + $(stat -c %s "$list_b") / 1048576)) MB" \
  "$list_a $list_b" -- \
  "lanzhou-cli merge A B" "'$cli' merge '$list_a' '$list_b'" \
  "paste -d'|' A /dev/null B /dev/null" "paste -d'|' '$list_a' /dev/null '$list_b' /dev/null" \
  "awk 'NR==FNR{a[FNR]=\$0;next} FNR in a{print a[FNR] \"||\" \$0 \"|\"}' A B" \
  "awk 'NR==FNR{a[FNR]=\$0;next} FNR in a{print a[FNR] \"||\" \$0 \"|\"}' '$list_a' '$list_b'" \
  "cat A B > file" "cat '$list_a' '$list_b'"
time_operation "merge --datum, 1,000,000 lines, $(mb "$list_a")" "$list_a" -- \
  "lanzhou-cli merge A --datum 123456" "'$cli' merge '$list_a' --datum 123456" \
  "sed 's/\$/||123456/' A" "sed 's/\$/||123456/' '$list_a'" \
  "awk '{print \$0 \"||123456\"}' A" "awk '{print \$0 \"||123456\"}' '$list_a'" \
  "cat A > file" "cat '$list_a'"
time_operation "wrap, $(mb "$prose")" "$prose" -- \
  "lanzhou-cli wrap -w 40" "'$cli' wrap -w 40 '$prose'" \
  "fold -b -w 40" "fold -b -w 40 '$prose'" \
  "cat > file" "cat '$prose'"

# ---- the table, printed and written into bench/README.md ----
table=$work/table.md
{
  echo "<!-- compare.sh: begin (written by bench/compare.sh; do not edit by hand) -->"
  echo "Measured $(date -u +%Y-%m-%d) on $(nproc) cores ($(grep -m1 'model name' /proc/cpuinfo |
    cut -d: -f2 | sed 's/^ *//')), median of $runs runs, output to a file."
  echo "GNU awk $(awk --version | head -1 | awk '{print $3}' | tr -d ,), mawk $(mawk -W version 2>&1 |
    head -1 | awk '{print $2}'), $(mlr --version), $(sed --version | head -1)."
  echo
  echo "| operation | command | wall s | CPU s | x best tool | x cat | peak MB | peak / input | load |"
  echo "|---|---|---:|---:|---:|---:|---:|---:|---:|"
  printf '%s\n' "${rows[@]}"
  echo
  echo "\"x best tool\" is the wall time over that of the fastest standard tool computing the same"
  echo "result (not cat, not sort -u, which loses the order) in the same run: at most 1.00 means"
  echo "at least as fast. \"x cat\" is the wall time over that of copying the input to a file, the"
  echo "floor of any command. \"CPU s\" is user + system time of all threads (lanzhou-cli uses"
  echo "$(nproc) here). \"peak / input\" is the peak resident memory (/usr/bin/time %M) over the"
  echo "size of the input. \"load\" is the 1-minute load average when the operation's runs began;"
  echo "at the end it was $(cut -d' ' -f1-3 /proc/loadavg) (1, 5, 15 minutes)."
  echo "<!-- compare.sh: end -->"
} >"$table"
echo
cat "$table"
python3 - "$root/bench/README.md" "$table" <<'EOF'
import sys
readme_path, table_path = sys.argv[1], sys.argv[2]
readme = open(readme_path, encoding="utf-8").read()
table = open(table_path, encoding="utf-8").read().rstrip("\n")
begin, end = "<!-- compare.sh: begin", "<!-- compare.sh: end -->"
if begin in readme and end in readme:
    head = readme[: readme.index(begin)]
    tail = readme[readme.index(end) + len(end):]
    readme = head + table + tail
else:
    readme = readme.rstrip("\n") + "\n\n## lanzhou-cli against the standard tools\n\n" + \
        "`bench/compare.sh` (one command) builds lanzhou-cli, generates the data with\n" + \
        "`bench/gen_data.py`, checks that each pair agrees and times them.\n\n" + table + "\n"
open(readme_path, "w", encoding="utf-8").write(readme)
EOF
echo "== written to bench/README.md"
