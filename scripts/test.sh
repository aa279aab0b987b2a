#!/usr/bin/env bash
# Builds crevik and runs every test: the normal build, the same tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, and the Windows leg
# (crevik.exe under Wine), the Debian package's round trip, then the fuzz
# targets for a minute each. Installs missing Debian packages when run as
# root.
set -euo pipefail
cd "$(dirname "$0")/.."

# cksfv writes .sfv files for the check test; python3 runs the feed checker and example script;
# zlib1g-dev is built in; zip and unzip make and judge the zips of the zip tests
packages=(cmake make g++ libgtest-dev cksfv python3 zlib1g-dev zip unzip)
# As root also the servers, clients and file system of the proftpd, watch and
# GlusterFS tests (they skip without root); no other FTP server, as Debian's FTP servers conflict
# with each other.
if [ "$(id -u)" -eq 0 ]; then packages+=(proftpd-core openssh-server openssh-client rsync glusterfs-server); fi
source scripts/packages.sh
mapfile -t missing < <(missing_packages "${packages[@]}")
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -eq 0 ]; then
    install_packages "${missing[@]}"
  else
    echo "missing packages: ${missing[*]} (run as root to install them)" >&2
    exit 1
  fi
fi

jobs=$(nproc 2>/dev/null || echo 2)
leg() {  # name, build dir, extra cmake arguments...
  local name=$1 dir=$2 log=$2/ctest.log
  shift 2
  echo "== $name =="
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCREVIK_TESTS=ON "$@" >/dev/null
  cmake --build "$dir" -j"$jobs" >/dev/null
  if ctest --test-dir "$dir" --output-on-failure -j"$jobs" >"$log" 2>&1; then
    tail -n 3 "$log"
    return
  fi
  # Every line but those of passed tests: the failed tests' own output and the summary.
  grep -vE '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .* +Passed +[0-9.]+ sec$' "$log"
  echo "$name: tests FAILED (log: $log)" >&2
  return 1
}
timed() {  # command...: runs it, then says how long it took
  local start=$SECONDS
  "$@"
  echo "   (took $((SECONDS - start)) s)"
}

timed leg "sanitizers" build-asan -DCREVIK_SANITIZE=ON
timed scripts/test-windows.sh
timed leg "tests" build
timed scripts/test-package.sh build  # as root: the Debian package installed, tested behind proftpd, purged
timed scripts/fuzz.sh
