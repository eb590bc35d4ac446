#!/usr/bin/env bash
# Runs every fuzz target of a build for a bounded time, starting from its committed seeds.
# New inputs go to a scratch copy of the corpus, so the committed seeds stay small.
#   fuzz/run.sh BUILD_DIR SECONDS_PER_TARGET [TARGET...]
# Exits non-zero on the first target that crashes or breaks a property; its input and log
# are left in the scratch directory that is printed.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?usage: fuzz/run.sh BUILD_DIR SECONDS [TARGET...]}
seconds=${2:?usage: fuzz/run.sh BUILD_DIR SECONDS [TARGET...]}
shift 2
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in fuzz/*_fuzz.cpp; do
    name=$(basename "$source" .cpp)
    targets+=("${name%_fuzz}")
  done
fi
scratch=$(mktemp -d "${TMPDIR:-/tmp}/lanzhou-fuzz.XXXXXX")
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
for name in "${targets[@]}"; do
  program=$(realpath "$build/fuzz/${name}_fuzz")
  mkdir -p "$scratch/$name"
  cp -r "fuzz/corpus/$name/." "$scratch/$name/"
  echo "== fuzz $name (${seconds}s)"
  if ! (cd "$scratch" && "$program" "$name" -max_total_time="$seconds" -timeout=20 \
          -rss_limit_mb=2048 -max_len=4096 -print_final_stats=1 >"$name.log" 2>&1); then
    tail -40 "$scratch/$name.log"
    echo "fuzz: $name failed; input and log in $scratch" >&2
    exit 1
  fi
  grep -E '^stat::number_of_executed_units|Done [0-9]+ runs' "$scratch/$name.log" | tail -1
done
rm -rf "$scratch"
