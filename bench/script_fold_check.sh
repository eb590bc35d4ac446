#!/usr/bin/env bash
# normalize's script folds beside the opencc command on real Chinese text: the zh_CN and
# zh_TW messages of the installed packages and, when installed, the Chinese fortunes.
#
#   bench/script_fold_check.sh [LANZHOU_CLI]    prints one line per text and configuration
#
# Each text is converted both ways: by opencc on its UTF-8 form (then to GB18030), and by
# lanzhou-cli on its GB18030 form. The two must be the same bytes, line ends aside.
set -euo pipefail
cd "$(dirname "$0")/.."
cli=${1:-build/cli/lanzhou-cli}
work=${WORK:-/tmp/lanzhou-script-fold}
mkdir -p "$work"

messages() {  # messages LOCALE: every translated message of the installed packages
  for mo in /usr/share/locale/"$1"/LC_MESSAGES/*.mo; do msgunfmt "$mo" 2>/dev/null || true; done |
    sed -n 's/^msgstr[^"]*"\(.*\)"$/\1/p' | grep -v '^$' || true
}
messages zh_CN >"$work/zh_CN.txt"
messages zh_TW >"$work/zh_TW.txt"
fortunes=(/usr/share/games/fortunes/{chinese,song100,tang300}.u8)
if [ -f "${fortunes[0]}" ]; then cat "${fortunes[@]}" >"$work/fortunes.txt"; fi

status=0
for text in "$work"/*.txt; do
  name=$(basename "$text" .txt)
  iconv -f UTF-8 -t GB18030 "$text" >"$work/$name.gbk"
  for config in s2t t2s s2tw tw2s s2hk hk2s; do
    opencc -c "$config.json" -i "$text" -o "$work/theirs.utf8"
    iconv -f UTF-8 -t GB18030 "$work/theirs.utf8" | tr -d '\r' >"$work/theirs"
    case $config in s2t | t2s) option=(--"$config") ;; *) option=(--config "$config") ;; esac
    "$cli" normalize "${option[@]}" -q --input-encoding gbk "$work/$name.gbk" -o "$work/ours"
    # Ours ends without a line end; opencc's keeps the file's.
    { tr -d '\r' <"$work/ours"; printf '\n'; } >"$work/ours.lf"
    lines=$(grep -c '' "$work/theirs")
    if cmp -s "$work/ours.lf" "$work/theirs"; then
      echo "$name ($lines lines), $config: the same"
    else
      echo "$name ($lines lines), $config: DIFFERENT"
      status=1
    fi
  done
done
exit $status
