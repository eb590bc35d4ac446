#!/usr/bin/env bash
# Large inputs through lanzhou-cli: a 1 GB record file through dedupe, extract, reorder and
# merge, with the peak memory (maximum resident set) against the input size, and one line of 100 MB (and of
# 50 MB, to show that the time grows linearly) through wrap.
#   bench/large_inputs.sh [LANZHOU_CLI] [SIZE_MB]
# LANZHOU_CLI defaults to build-bench/cli/lanzhou-cli (configure with -DLANZHOU_BENCH=ON
# -DCMAKE_BUILD_TYPE=Release); SIZE_MB (default 1024) is the size of the record file. The
# data goes to a scratch directory under $TMPDIR (about 3 x SIZE_MB of disk) and is removed.
# Prints one Markdown table row per run; exits non-zero when a run fails or peaks above its
# bound: 1.6 times the input for dedupe, 1.3 times for the others.
set -euo pipefail
cd "$(dirname "$0")/.."
cli=$(realpath "${1:-build-bench/cli/lanzhou-cli}")
size_mb=${2:-1024}
[ -x "$cli" ] || { echo "large_inputs: no program at $cli" >&2; exit 1; }
scratch=$(mktemp -d "${TMPDIR:-/tmp}/lanzhou-large.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

# Records "user<n>----pw<n>|<name>|<city>|<phone>" in GBK with CR LF. With "repeats", one
# line in three repeats an earlier one, so that duplicate removal has work to do; with
# "distinct", every line differs (the most the duplicate removal has to remember).
records() {
  python3 - "$scratch/records.txt" "$size_mb" "$1" <<'PY'
import sys
path, size, repeats = sys.argv[1], int(sys.argv[2]) * 1024 * 1024, sys.argv[3] == "repeats"
names = [n.encode("gbk") for n in ("张三丰", "李四", "王小明", "欧阳娜娜", "兰州")]
cities = [c.encode("gbk") for c in ("北京市朝阳区", "兰州市城关区", "上海市浦东区")]
written, i = 0, 0
with open(path, "wb", buffering=1 << 22) as out:
    while written < size:
        lines = []
        for _ in range(10000):
            n = i // 7 if repeats and i % 3 == 0 else i
            lines.append(b"user%09d----pw%06d|%s|%s|138%08d\r\n"
                         % (n, n % 1000000, names[n % 5], cities[n % 3], n % 100000000))
            i += 1
        block = b"".join(lines)
        out.write(block)
        written += len(block)
PY
}

# One line of mixed Chinese and ASCII words with punctuation, no line end.
python3 - "$scratch/line100.txt" 100 "$scratch/line50.txt" 50 <<'PY'
import sys
words = [w.encode("gbk") for w in ("我们", "今天", "数据", "处理", "“文本”", "工具", "，", "。",
                                    "兰州", "（牛肉面）", "、", "《读书》")]
ascii_words = [b" data ", b" wrap ", b" GBK ", b" x86_64 ", b" test@example.com "]
piece = []
for k in range(4096):
    piece.append(words[k % len(words)])
    if k % 5 == 0:
        piece.append(ascii_words[k % len(ascii_words)])
piece = b"".join(piece)
for path, mb in zip(sys.argv[1::2], sys.argv[2::2]):
    size = int(mb) * 1024 * 1024
    with open(path, "wb") as out:
        out.write((piece * (size // len(piece) + 1))[:size])
PY

# Runs one command under /usr/bin/time; prints a table row: what, input, wall, CPU, peak,
# peak / input. `limit` is the highest peak / input allowed ("-" for none).
status=0
run() {
  local what=$1 input=$2 limit=$3
  shift 3
  local log="$scratch/time.log"
  if ! /usr/bin/time -v -o "$log" "$cli" "$@" >/dev/null; then
    echo "large_inputs: $what failed" >&2
    status=1
  fi
  local in_bytes wall cpu peak_kb
  in_bytes=$(stat -c %s "$input")
  wall=$(awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$log")
  cpu=$(awk -F': ' '/User time/ {u=$2} /System time/ {s=$2} END {printf "%.2f s", u + s}' "$log")
  peak_kb=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$log")
  local ratio
  ratio=$(awk -v p="$peak_kb" -v i="$in_bytes" 'BEGIN {printf "%.2f", p * 1024 / i}')
  awk -v w="$what" -v i="$in_bytes" -v t="$wall" -v c="$cpu" -v p="$peak_kb" -v r="$ratio" \
    'BEGIN {printf "| %s | %.0f MB | %s | %s | %.0f MB | %s |\n", w, i / 1048576, t, c, p / 1024, r}'
  if [ "$limit" != - ] && awk -v r="$ratio" -v l="$limit" 'BEGIN {exit !(r > l)}'; then
    echo "large_inputs: $what peaked above $limit times its input" >&2
    status=1
  fi
}

echo "| run | input | wall | CPU | peak memory | peak / input |"
echo "|---|---|---|---|---|---|"
records repeats
run "dedupe -o, a third of the lines repeated" "$scratch/records.txt" 1.6 \
  dedupe "$scratch/records.txt" -o "$scratch/out.txt"
run "extract (fields 2 and 1) -o" "$scratch/records.txt" 1.3 \
  extract -f '2|1' "$scratch/records.txt" -o "$scratch/out.txt"
run "reorder (columns 3 and 1) -o" "$scratch/records.txt" 1.3 \
  reorder -d '|' -c 3,1 "$scratch/records.txt" -o "$scratch/out.txt"
rm -f "$scratch/out.txt"
run "merge --datum -o" "$scratch/records.txt" 1.3 \
  merge "$scratch/records.txt" --datum 123456 -o "$scratch/out.txt"
rm -f "$scratch/out.txt"
records distinct
run "dedupe -o, every line distinct" "$scratch/records.txt" 1.6 \
  dedupe "$scratch/records.txt" -o "$scratch/out.txt"
rm -f "$scratch/out.txt" "$scratch/records.txt"
run "wrap -w 76 -o, one line" "$scratch/line50.txt" 1.3 wrap -w 76 "$scratch/line50.txt" \
  -o "$scratch/out.txt"
run "wrap -w 76 -o, one line" "$scratch/line100.txt" 1.3 wrap -w 76 "$scratch/line100.txt" \
  -o "$scratch/out.txt"
exit $status
