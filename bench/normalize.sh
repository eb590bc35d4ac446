#!/usr/bin/env bash
# lanzhou-cli normalize and dedupe --ignore side by side with cat, the opencc command and plain
# dedupe, in one run on the same data.
#
#   bench/normalize.sh [LANZHOU_CLI]    prints a Markdown table of median wall and CPU times
#
# Every command writes to its standard output redirected to a file, as `cat > file` does; one
# more row writes with -o, which puts the data on the disk (fsync) before it takes the name.
#
# Environment: RUNS (default 3) runs per command; WORK (default /tmp/lanzhou-normalize) holds
# the data. The data is bench/gen_data.py's: its 1 M records (GBK) and its Chinese prose,
# repeated to about 100 MB, with the prose's UTF-8 form for opencc.
set -euo pipefail
export LC_ALL=C
cd "$(dirname "$0")/.."
cli=${1:-build/cli/lanzhou-cli}
runs=${RUNS:-3}
work=${WORK:-/tmp/lanzhou-normalize}
mkdir -p "$work/data" "$work/out"
data=$work/data
[ -f "$data/records.txt" ] || python3 bench/gen_data.py "$data" >/dev/null
if [ ! -s "$data/chinese.utf8.txt" ]; then
  for _ in 1 2 3 4 5; do cat "$data/prose.txt"; done >"$data/chinese.txt"
  iconv -f GB18030 -t UTF-8 "$data/chinese.txt" >"$data/chinese.utf8.txt"
fi

# The two forms of s2t must agree before they are timed.
"$cli" normalize --s2t --input-encoding gbk "$data/chinese.txt" -o "$work/out/s2t.ours"
opencc -c s2t.json -i "$data/chinese.utf8.txt" -o "$work/out/s2t.utf8"
{ iconv -f UTF-8 -t GB18030 "$work/out/s2t.utf8" | tr -d '\r'; } >"$work/out/s2t.theirs"
tr -d '\r' <"$work/out/s2t.ours" >"$work/out/s2t.ours.lf"
# Ours ends without a line end; the file ends with one.
printf '\n' >>"$work/out/s2t.ours.lf"
# The opencc command converts its input in blocks, and a phrase cut by a block's end converts
# as two words (牛肉面 as 牛肉麪 or 牛肉面): a line that differs is converted again alone.
differ=0 cut=0
for n in $(cmp -l "$work/out/s2t.ours.lf" "$work/out/s2t.theirs" 2>/dev/null |
  awk '{ print $1 }' | while read -r byte; do head -c "$byte" "$work/out/s2t.ours.lf" | wc -l; done |
  sort -un); do
  line=$((n + 1))
  alone=$(sed -n "${line}p" "$data/chinese.utf8.txt" | opencc -c s2t.json | iconv -f UTF-8 -t GB18030 | tr -d "\r")
  if [ "$alone" = "$(sed -n "${line}p" "$work/out/s2t.ours.lf")" ]; then
    cut=$((cut + 1))
  else
    differ=$((differ + 1))
  fi
done
echo "s2t: $differ lines differ from opencc; $cut more differ only where opencc's command cut a" \
  "phrase at a block's end (the line alone converts as ours)" >&2

median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
row() {  # row DATA LABEL COMMAND...
  local what=$1 label=$2
  shift 2
  local walls=() cpus=()
  for _ in $(seq "$runs"); do
    local t
    /usr/bin/time -o "$work/time" -f '%e %U %S' "$@" >/dev/null 2>&1
    t=$(tail -1 "$work/time")
    walls+=("$(awk '{ print $1 }' <<<"$t")")
    cpus+=("$(awk '{ print $2 + $3 }' <<<"$t")")
  done
  printf '| %s | `%s` | %s | %s |\n' "$what" "$label" \
    "$(printf '%s\n' "${walls[@]}" | median)" "$(printf '%s\n' "${cpus[@]}" | median)"
}

records=$data/records.txt
chinese=$data/chinese.txt
rsize=$(( $(stat -c %s "$records") / 1000000 ))
csize=$(( $(stat -c %s "$chinese") / 1000000 ))
echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg)"
echo
echo "| data | command | wall s | CPU s |"
echo "|---|---|---|---|"
row "records, $rsize MB" "cat > file" sh -c "cat '$records' > '$work/out/cat'"
row "records, $rsize MB" "lanzhou-cli normalize --width --trim --squeeze > file" \
  sh -c "'$cli' normalize --width --trim --squeeze -q '$records' > '$work/out/n1'"
row "records, $rsize MB" "lanzhou-cli normalize --width --trim --squeeze -o file" \
  "$cli" normalize --width --trim --squeeze -q "$records" -o "$work/out/n1"
row "records, $rsize MB" "lanzhou-cli dedupe > file" \
  sh -c "'$cli' dedupe -q '$records' > '$work/out/d0'"
row "records, $rsize MB" "lanzhou-cli dedupe --ignore width,blanks,case > file" \
  sh -c "'$cli' dedupe --ignore width,blanks,case -q '$records' > '$work/out/d1'"
row "Chinese text, $csize MB" "cat > file" sh -c "cat '$chinese' > '$work/out/cat'"
row "Chinese text, $csize MB" "lanzhou-cli normalize --s2t > file" \
  sh -c "'$cli' normalize --s2t -q --input-encoding gbk '$chinese' > '$work/out/n2'"
row "Chinese text, $csize MB" "opencc -c s2t.json (its UTF-8 form)" \
  opencc -c s2t.json -i "$data/chinese.utf8.txt" -o "$work/out/o2"
echo
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
