#!/usr/bin/env bash
# One "fileuploaded" event with LOCK=shared on a release on a GlusterFS mount
# against the same event with LOCK=local on one on local disk, interleaved in
# the same run: the median of each, their ratio, and each one's system calls
# (strace -c). Each release starts with 200 logged files and a .sfv listing
# them, like one in the middle of a race; every event adds a record. The
# program and its Crevik.ini sit on local disk, as on every host.
#   bench/shared_lock_bench.sh path/to/crevik <dir on a GlusterFS mount> [local parent-dir]
set -euo pipefail
crevik=$(realpath "${1:?usage: shared_lock_bench.sh path/to/crevik <dir on the mount> [local parent-dir]}")
shared_parent=${2:?usage: shared_lock_bench.sh path/to/crevik <dir on the mount> [local parent-dir]}
local_parent=${3:-${TMPDIR:-/tmp}}
runs=101

shared=$(mktemp -d "$shared_parent/crevik-lock-bench.XXXXXX")
local=$(mktemp -d "$local_parent/crevik-lock-bench.XXXXXX")
trap 'rm -rf "$shared" "$local"' EXIT
make_site() {  # dir, LOCK value: the program and its settings on local disk, a release in dir
  mkdir "$local/bin-$2" "$1/Rel"
  cp "$crevik" "$local/bin-$2/crevik"
  printf '[GENERAL]\nLOCK=%s\n' "$2" >"$local/bin-$2/Crevik.ini"
  for i in $(seq 0 199); do
    printf '%s|user%d|crew|15000|900|S\n' "$i" $((i % 7))
  done >"$1/Rel/.upChk.log"
  for i in $(seq 0 199); do printf 'f%03d.r00 8CDC1683\r\n' "$i"; done >"$1/Rel/rel.sfv"
  for i in $(seq 0 $runs); do printf 'x' >"$1/Rel/new$i.r00"; done
}
make_site "$shared" shared
make_site "$local" local

ms() {  # dir, LOCK value, file number: milliseconds of one event
  local start=$EPOCHREALTIME
  "$local/bin-$2/crevik" fileuploaded "$1/Rel/new$3.r00" user1 crew 900 15000
  awk "BEGIN { printf \"%.3f\n\", ($EPOCHREALTIME - $start) * 1000 }"
}
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

declare -A times
for ((r = 0; r < runs; r++)); do  # interleaved, so load changes hit both alike
  times[shared]+="$(ms "$shared" shared $r)"$'\n'
  times[local]+="$(ms "$local" local $r)"$'\n'
done
shared_ms=$(printf '%s' "${times[shared]}" | median)
local_ms=$(printf '%s' "${times[local]}" | median)
printf 'LOCK=shared on %s: median %s ms over %d runs (goal: 25 or less)\n' "$shared_parent" "$shared_ms" "$runs"
printf 'LOCK=local on %s: median %s ms over %d runs\n' "$local_parent" "$local_ms" "$runs"
awk "BEGIN { printf \"ratio: %.1f\n\", $shared_ms / $local_ms }"

if command -v strace >/dev/null; then
  for site in shared local; do
    dir=${!site}
    echo "system calls of one event, LOCK=$site:"
    strace -c -o "$local/strace" "$local/bin-$site/crevik" fileuploaded "$dir/Rel/new$runs.r00" user1 crew 900 15000
    awk 'NR > 2 && !/^-/ && !/total/ { printf "  %-16s %s\n", $NF, $4 } /total/ { print "  total            " $4 }' "$local/strace"
  done
fi
