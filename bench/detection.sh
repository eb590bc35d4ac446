#!/usr/bin/env bash
# How often the input-encoding detector reads real text right.
#
#   bench/detection.sh     install the Debian packages the snippets come from (when missing),
#                          cut the snippets (bench/detection_corpus.py), build detection_bench
#                          (Release) and print the table: per snippet length, the share of
#                          Chinese snippets saved as GBK that read as GBK, and per language the
#                          share of snippets saved as UTF-8 that read as UTF-8
#
# The text is not ours and is not kept in the repository: Chinese from fortunes-zh (Tang and
# Song poems, sayings) and debian-faq-zh-cn (prose), German, Russian, Czech and Spanish from
# fortunes-de, fortunes-ru, fortunes-cs and fortunes-es. Environment: WORK (default
# /tmp/lanzhou-detection) holds the snippets; BUILD (default build-bench) is the build tree.
# `detection_bench` without arguments times the detector on 70 MB inputs.
set -euo pipefail
cd "$(dirname "$0")/.."
work=${WORK:-/tmp/lanzhou-detection}
build=${BUILD:-build-bench}
packages=(fortunes-zh debian-faq-zh-cn fortunes-de fortunes-ru fortunes-cs fortunes-es)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${db:Status-Abbrev}' "$p" 2>/dev/null | grep -q '^ii' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  echo "== installing ${missing[*]}" >&2
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
fi

mkdir -p "$work"
corpus=$work/snippets.txt
stamp=$(sha256sum bench/detection_corpus.py | cut -c1-16)
if [ "$(cat "$work/stamp" 2>/dev/null)" != "$stamp" ]; then
  echo "== cutting snippets into $corpus" >&2
  python3 bench/detection_corpus.py "$corpus"
  echo "$stamp" >"$work/stamp"
fi

echo "== building detection_bench (Release) in $build" >&2
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLANZHOU_BENCH=ON -DLANZHOU_GUI=OFF \
  -DLANZHOU_TESTS=OFF >/dev/null
cmake --build "$build" --target detection_bench -j2 >/dev/null

"$build/bench/detection_bench" --corpus="$corpus" "$@"
