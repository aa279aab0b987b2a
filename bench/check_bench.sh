#!/usr/bin/env bash
# `crevik check` of a 1 GiB release that sits in the page cache, against
# `cksfv -f` and `cat` on the same files in the same run, best of several
# interleaved rounds; then what `crevik rescan` of that release takes, first
# on a release without a log and again on its own result.
#   bench/check_bench.sh path/to/crevik [parent-dir]
set -euo pipefail
crevik=$(realpath "${1:?usage: check_bench.sh path/to/crevik [parent-dir]}")
parent=${2:-${TMPDIR:-/tmp}}
rounds=5
command -v cksfv >/dev/null || { echo "needs cksfv (apt-get install cksfv)" >&2; exit 1; }

work=$(mktemp -d "$parent/crevik-check-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
rel=$work/Bench.Release
mkdir "$rel"
cd "$rel"
for i in $(seq -w 0 15); do head -c $((64 << 20)) /dev/urandom >"bench.r$i"; done
cksfv -q bench.r* >bench.sfv  # reads every file once: all in the page cache from here on

seconds() {  # command...: wall seconds of one run
  local start=$EPOCHREALTIME
  "$@" >/dev/null
  awk "BEGIN { print $EPOCHREALTIME - $start }"
}
best() { sort -g | head -n 1; }

declare -A runs
for ((r = 0; r < rounds; r++)); do
  runs[cat]+="$(seconds cat bench.r*)"$'\n'
  runs[cksfv]+="$(seconds cksfv -q -f bench.sfv)"$'\n'
  runs[check]+="$(seconds "$crevik" check .)"$'\n'
done
cat_s=$(printf '%s' "${runs[cat]}" | best)
cksfv_s=$(printf '%s' "${runs[cksfv]}" | best)
check_s=$(printf '%s' "${runs[check]}" | best)

first_rescan=$(seconds "$crevik" rescan .)
second_rescan=$(seconds "$crevik" rescan .)

calc() { awk "BEGIN { printf \"%.2f\", $1 }"; }
printf 'cat          %6.3f s  %5s GiB/s\n' "$cat_s" "$(calc "1 / $cat_s")"
printf 'cksfv -f     %6.3f s  %5s GiB/s\n' "$cksfv_s" "$(calc "1 / $cksfv_s")"
printf 'crevik check %6.3f s  %5s GiB/s\n' "$check_s" "$(calc "1 / $check_s")"
printf 'check / cat   %s (aim: 1.2 or less)\n' "$(calc "$check_s / $cat_s")"
printf 'check / cksfv %s\n' "$(calc "$check_s / $cksfv_s")"
printf 'rescan, no log before: %.3f s; again on its result: %.3f s\n' "$first_rescan" "$second_rescan"
