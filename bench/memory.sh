#!/usr/bin/env bash
# Peak memory of every lanzhou-cli command on each shape of input, beside cat, cut, awk and
# sort -u: whether memory follows the limits promised rather than the shape of the input.
#   bench/memory.sh [LANZHOU_CLI] [SIZE_MB]
# LANZHOU_CLI defaults to build-cli-rel/cli/lanzhou-cli (bench/compare.sh builds it); SIZE_MB
# (default 512) is the size of each record file. Shapes: records with CR LF, with LF, in UTF-8,
# the CR LF file through a pipe, the records as one line, a line of SIZE_MB/4 "|" alone, and
# 10 million tiny lines. The data goes to a scratch directory under $TMPDIR (about 5 x SIZE_MB
# of disk; a pipe is copied there too) and is removed.
#
# Environment: DATA=DIR keeps the data in DIR and reuses it on the next run (made again when
# SIZE_MB differs); SHAPES="lf pipe" runs only the shapes named (default: all seven).
#
# Prints one Markdown table row per run: peak resident memory (/usr/bin/time -v, mapped input
# pages included) and wall time. A run is marked "over" when it peaks above its goal: 1.3 x
# the input for dedupe in memory, 256 MB + --memory for dedupe --memory, 256 MB for every
# other command. Exits non-zero when a run fails or is over.
set -euo pipefail
export LC_ALL=C
cd "$(dirname "$0")/.."
cli=$(realpath "${1:-build-cli-rel/cli/lanzhou-cli}")
size_mb=${2:-512}
[ -x "$cli" ] || { echo "memory: no program at $cli" >&2; exit 1; }
scratch=$(mktemp -d "${TMPDIR:-/tmp}/lanzhou-memory.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
data=${DATA:-$scratch}
mkdir -p "$data"
export TMPDIR=$scratch  # where a pipe is copied

[ "$(cat "$data/size" 2>/dev/null)" = "$size_mb" ] || python3 - "$data" "$size_mb" <<'PY'
import os, sys
root, size = sys.argv[1], int(sys.argv[2]) * 1024 * 1024
names = ["张三丰", "李四", "王小明", "欧阳娜娜", "兰州"]
cities = ["北京市朝阳区", "兰州市城关区", "上海市浦东区"]

def records(path, end, encoding, limit=size):
    written, i = 0, 0
    with open(path, "wb", buffering=1 << 22) as out:
        while written < limit:
            lines = []
            for _ in range(10000):
                n = i // 7 if i % 3 == 0 else i  # one line in three repeats an earlier one
                lines.append("user%09d----pw%06d|%s|%s|138%08d%s"
                             % (n, n % 1000000, names[n % 5], cities[n % 3], n % 100000000, end))
                i += 1
            block = "".join(lines).encode(encoding)
            out.write(block)
            written += len(block)

records(os.path.join(root, "crlf.txt"), "\r\n", "gbk")
records(os.path.join(root, "lf.txt"), "\n", "gbk")
records(os.path.join(root, "utf8.txt"), "\n", "utf-8")
records(os.path.join(root, "line.txt"), " ", "gbk")
with open(os.path.join(root, "packed.txt"), "wb") as out:
    block = b"|" * (1 << 20)
    for _ in range(max(1, size // 4 >> 20)):
        out.write(block)
with open(os.path.join(root, "tiny.txt"), "wb", buffering=1 << 22) as out:
    for start in range(0, 10_000_000, 100_000):
        out.write(b"".join(b"%x\r\n" % (i % 1000003) for i in range(start, start + 100_000)))
with open(os.path.join(root, "size"), "w") as out:
    out.write("%d\n" % (size >> 20))
PY

printf '\xc0\xbc\xd6\xdd\r\n' >"$data/keywords.txt"  # 兰州, for filter
status=0
# run SHAPE WHAT GOAL_MB COMMAND...: GOAL_MB "in" means 1.3 x the input. The input is the
# last argument, or for the shape "pipe" the CR LF file given through a pipe as "-".
run() {
  local shape=$1 what=$2 goal=$3
  shift 3
  local args=("$@") input=${*: -1} log=$scratch/time.log
  local ok=0
  if [ "$shape" = pipe ]; then
    args[${#args[@]}-1]=-
    cat "$input" | /usr/bin/time -v -o "$log" "${args[@]}" >/dev/null 2>&1 || ok=$?
  else
    /usr/bin/time -v -o "$log" "${args[@]}" >/dev/null 2>&1 || ok=$?
  fi
  [ "$ok" = 0 ] || { echo "memory: $shape $what failed ($ok)" >&2; status=1; }
  local in_bytes wall peak_kb
  in_bytes=$(stat -c %s "$input")
  [ "$goal" = in ] && goal=$(awk -v i="$in_bytes" 'BEGIN {printf "%.0f", 1.3 * i / 1048576}')
  wall=$(awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$log")
  peak_kb=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$log")
  local verdict=ok
  if [ "$goal" = - ]; then
    verdict=
  elif [ $((peak_kb / 1024)) -gt "$goal" ]; then
    verdict=over
    status=1
  fi
  awk -v s="$shape" -v w="$what" -v i="$in_bytes" -v t="$wall" -v p="$peak_kb" -v g="$goal" \
    -v v="$verdict" 'BEGIN {printf "| %s | %s | %.0f MB | %s | %.0f MB | %s | %s |\n",
                            s, w, i / 1048576, t, p / 1024, g == "-" ? "" : g " MB", v}'
}

echo "| shape | command | input | wall | peak memory | goal | |"
echo "|---|---|---|---|---|---|---|"
for shape in ${SHAPES:-crlf lf utf8 pipe line packed tiny}; do
  file=$data/$shape.txt
  [ "$shape" = pipe ] && file=$data/crlf.txt
  run $shape "cat" - cat "$file"
  run $shape "cut -d'|' -f2" - cut -d'|' -f2 "$file"
  [ "$shape" = packed ] && run $shape "cut -d'|' -f1" - cut -d'|' -f1 "$file"
  run $shape "awk -F'|' '{print \$2}'" - awk -F'|' '{print $2}' "$file"
  [ "$shape" = packed ] || run $shape "sort -u" - sort -u -S 50% "$file"
  run $shape "extract -f 2" 256 "$cli" extract -f 2 "$file"
  run $shape "extract -f 1" 256 "$cli" extract -f 1 "$file"
  run $shape "reorder -d '|'" 256 "$cli" reorder -d '|' "$file"
  run $shape "reorder -d '|' -c 2,1" 256 "$cli" reorder -d '|' -c 2,1 "$file"
  run $shape "wrap -w 76" 256 "$cli" wrap -w 76 "$file"
  run $shape "merge --datum d" 256 "$cli" merge --datum d "$file"
  run $shape "normalize --width --trim" 256 "$cli" normalize --width --trim "$file"
  run $shape "find --phone" 256 "$cli" find --phone "$file"
  run $shape "filter --drop -k 兰州" 256 "$cli" filter --drop -k "$data/keywords.txt" "$file"
  run $shape "dedupe" in "$cli" dedupe "$file"
  run $shape "dedupe --memory 64M" 320 "$cli" dedupe --memory 64M "$file"
done
exit $status
