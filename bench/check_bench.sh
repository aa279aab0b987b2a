#!/usr/bin/env bash
# `crevik check` of a 1 GiB release (4 files of 256 MiB) that sits in the
# page cache, on one job and on every core, against `cksfv -f` and `cat` on
# the same files in the same run, best of several interleaved rounds; then
# what `crevik rescan` of that release takes, on one job and on every core,
# first on a release without a log and again on its own result.
#   bench/check_bench.sh path/to/crevik [parent-dir]
set -euo pipefail
crevik=$(realpath "${1:?usage: check_bench.sh path/to/crevik [parent-dir]}")
parent=${2:-${TMPDIR:-/tmp}}
rounds=5
cores=$(nproc)
command -v cksfv >/dev/null || { echo "needs cksfv (apt-get install cksfv)" >&2; exit 1; }

work=$(mktemp -d "$parent/crevik-check-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
rel=$work/Bench.Release
mkdir "$rel"
cd "$rel"
for i in 0 1 2 3; do head -c $((256 << 20)) /dev/urandom >"bench.r$i"; done
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
  runs[one]+="$(seconds "$crevik" check --jobs 1 .)"$'\n'
  runs[all]+="$(seconds "$crevik" check .)"$'\n'
done
for k in cat cksfv one all; do declare "${k}_s=$(printf '%s' "${runs[$k]}" | best)"; done

rescan_pair() {  # jobs words...: a rescan without a log, then again on its result
  rm -f .upChk.log bench.r*-missing
  printf '%.3f / %.3f' "$(seconds "$crevik" rescan "$@" .)" "$(seconds "$crevik" rescan "$@" .)"
}
rescan_one=$(rescan_pair --jobs 1)
rescan_all=$(rescan_pair)

calc() { awk "BEGIN { printf \"%.2f\", $1 }"; }
echo "4 files x 256 MiB in the page cache, $cores cores, best of $rounds interleaved rounds; load: $(cut -d' ' -f1-3 /proc/loadavg)"
printf 'cat                   %6.3f s  %5s GiB/s\n' "$cat_s" "$(calc "1 / $cat_s")"
printf 'cksfv -f              %6.3f s  %5s GiB/s\n' "$cksfv_s" "$(calc "1 / $cksfv_s")"
printf 'crevik check --jobs 1 %6.3f s  %5s GiB/s\n' "$one_s" "$(calc "1 / $one_s")"
printf 'crevik check (%d jobs) %6.3f s  %5s GiB/s\n' "$cores" "$all_s" "$(calc "1 / $all_s")"
printf 'check --jobs 1 / cat  %s (aim: 1.2 or less)\n' "$(calc "$one_s / $cat_s")"
printf 'check / cat           %s (aim: 0.7 or less on 2 cores)\n' "$(calc "$all_s / $cat_s")"
printf 'check / cksfv         %s\n' "$(calc "$all_s / $cksfv_s")"
printf 'rescan, no log before / again on its result: --jobs 1 %s s; %d jobs %s s\n' "$rescan_one" "$cores" "$rescan_all"
