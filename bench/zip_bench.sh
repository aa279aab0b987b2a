#!/usr/bin/env bash
# Testing a zip: `crevik check` of a zip release that holds one 100 MiB zip,
# against `unzip -tqq` of the same zip, in the same run, best of several
# interleaved rounds; once for random data stored, once for text deflated.
#   bench/zip_bench.sh path/to/crevik [parent-dir]
set -euo pipefail
crevik=$(realpath "${1:?usage: zip_bench.sh path/to/crevik [parent-dir]}")
parent=${2:-${TMPDIR:-/tmp}}
rounds=5
for tool in zip unzip python3; do command -v $tool >/dev/null || { echo "needs $tool" >&2; exit 1; }; done

work=$(mktemp -d "$parent/crevik-zip-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/Stored.Release" "$work/Deflated.Release" "$work/files"
cd "$work/files"
head -c $((100 << 20)) /dev/urandom >random.bin
zip -q -0 ../Stored.Release/random.zip random.bin
# Text: the Python library's sources, ten files of 10 MiB cut from them in turn.
python3 - <<'PY'
import glob, sysconfig
sources = sorted(glob.glob(sysconfig.get_paths()['stdlib'] + '/**/*.py', recursive=True))
text = b''.join(open(f, 'rb').read() for f in sources)
text = text * ((100 << 20) // len(text) + 1)
for i in range(10):
    open('text%d.txt' % i, 'wb').write(text[i * (10 << 20):(i + 1) * (10 << 20)])
PY
zip -q ../Deflated.Release/text.zip text*.txt
cd "$work"
rm -r files

seconds() {  # command...: wall seconds of one run
  local start=$EPOCHREALTIME
  "$@" >/dev/null
  awk "BEGIN { print $EPOCHREALTIME - $start }"
}
best() { sort -g | head -n 1; }
calc() { awk "BEGIN { printf \"%.2f\", $1 }"; }

for kind in Stored Deflated; do
  zip=$(echo $kind.Release/*.zip)
  unzip_runs="" check_runs=""
  for ((r = 0; r < rounds; r++)); do
    unzip_runs+="$(seconds unzip -tqq "$zip")"$'\n'
    check_runs+="$(seconds "$crevik" check $kind.Release)"$'\n'
  done
  unzip_s=$(printf '%s' "$unzip_runs" | best)
  check_s=$(printf '%s' "$check_runs" | best)
  printf '%-8s %5.1f MiB zip: unzip -t %6.3f s, crevik check %6.3f s, unzip / check %s (aim: 2 or more)\n' \
    "$kind" "$(calc "$(stat -c %s "$zip") / 1048576")" "$unzip_s" "$check_s" "$(calc "$unzip_s / $check_s")"
done
