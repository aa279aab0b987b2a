#!/usr/bin/env bash
# The fuzz leg: builds the libFuzzer targets of tests/fuzz/ with clang,
# AddressSanitizer and UndefinedBehaviorSanitizer into build-fuzz/ and runs
# each for FUZZ_SECONDS (default 60), FUZZ_JOBS (default 2) at a time, on a
# scratch copy of its seed corpus: the committed corpus, crash inputs found
# earlier included, is replayed on every run and never changed. Fails when a
# target crashes; its input is kept in build-fuzz/artifacts/. Installs the
# Debian packages it needs when run as root; otherwise, with any missing, it
# says so and skips.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=build-fuzz
seconds=${FUZZ_SECONDS:-60}
parallel=${FUZZ_JOBS:-2}

packages=(cmake make clang libclang-rt-14-dev zlib1g-dev)
source scripts/packages.sh
mapfile -t missing < <(missing_packages "${packages[@]}")
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "skipping the fuzz leg: missing packages ${missing[*]} (run as root to install them)"
    exit 0
  fi
  install_packages "${missing[@]}"
fi

echo "== fuzz: ${seconds}s per target =="
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCREVIK_FUZZ=ON -DCREVIK_TESTS=OFF \
  >/dev/null
cmake --build "$build" -j"$(nproc 2>/dev/null || echo 2)" >/dev/null

# The targets' own scratch directories go in here too (TMPDIR), so that a
# crashed target leaves nothing behind.
work=$(mktemp -d -p /dev/shm 2>/dev/null || mktemp -d)
trap 'rm -rf "$work"' EXIT
artifacts=$root/$build/artifacts
rm -rf "$artifacts"
mkdir -p "$artifacts"

run() {  # target; absolute paths throughout, as the targets change directory
  local t=$1 rc=0
  cp -r "$root/tests/fuzz/corpus/$t" "$work/$t"
  TMPDIR=$work "$root/$build/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$artifacts/$t-" "$work/$t" >"$work/$t.log" 2>&1 || rc=$?
  echo "$rc" >"$work/$t.rc"
}

targets=()
for dir in tests/fuzz/corpus/*/; do targets+=("$(basename "$dir")"); done
for t in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$parallel" ]; do wait -n; done
  run "$t" &
done
wait

failed=0
for t in "${targets[@]}"; do
  log=$work/$t.log
  done_line=$(sed -n 's/^Done \([0-9]*\) runs in \([0-9]*\) second.*/\1 \2/p' "$log")
  stats=$(sed -n 's/.*DONE *cov: \([0-9]*\) ft: \([0-9]*\) corp: \([^ ]*\).*/cov \1, ft \2, corpus \3/p' "$log")
  if [ "$(cat "$work/$t.rc")" = 0 ] && [ -n "$done_line" ]; then
    read -r runs secs <<<"$done_line"
    printf '%-13s ok    %10d runs in %3d s (%d/s), %s\n' "$t" "$runs" "$secs" $((runs / (secs > 0 ? secs : 1))) "$stats"
  else
    failed=1
    printf '%-13s CRASH (exit %s); input kept in %s\n' "$t" "$(cat "$work/$t.rc")" "$artifacts"
    tail -n 40 "$log"
  fi
done
exit "$failed"
