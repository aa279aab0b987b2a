#!/usr/bin/env bash
# A release's whole life on defaults: builds crevik, lays out an upload area
# with a small real release (one file arrives corrupted), sends the events an
# FTP server would send, and shows the tree after each one and the report.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v cmake >/dev/null || ! command -v g++ >/dev/null || [ ! -d /usr/include/gtest ]; then
  if [ "$(id -u)" -eq 0 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq cmake make g++ libgtest-dev >/dev/null
  else
    echo "cmake, g++ and libgtest-dev are needed (run as root to install them)" >&2
    exit 1
  fi
fi
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target crevik -j"$(nproc)" >/dev/null

area=$(mktemp -d /tmp/crevik-demo-XXXXXX)
trap 'rm -rf "$area"' EXIT
mkdir -p "$area/bin" "$area/up/Some.Release"
ln -s "$PWD/build/crevik" "$area/bin/crevik"
# Defaults everywhere, but for a report file and keeping the .sfv out of the race.
printf '[GENERAL]\nMESSAGE=race.txt\nNO_CNT_FEXT=.sfv .nfo\n' >"$area/bin/Crevik.ini"
rel="$area/up/Some.Release"

crc32() {  # the CRC-32 a .sfv lists: gzip's trailer carries it
  gzip -c <"$1" | tail -c 8 | head -c 4 | od -An -tx4 | tr -d ' \n' | tr a-f A-F
}
files=(some.r00 some.r01 some.r02 some.r03 some.rar)
for f in "${files[@]}"; do head -c $((300 * 1024 + RANDOM)) /dev/urandom >"$area/$f"; done
{
  echo "; Some.Release"
  for f in "${files[@]}"; do echo "$f $(crc32 "$area/$f")"; done
} >"$area/Some.Release.sfv"

step=0
tree() {
  echo "-- upload area --"
  (cd "$area/up" && find . -mindepth 1 | sort | while read -r p; do
    if [ -d "$p" ]; then echo "  ${p#./}/"; else echo "  ${p#./}"; fi
  done)
  if [ -f "$rel/.upChk.log" ]; then
    echo "-- upload log (key|user|group|KB|KBps|status) --"
    sed 's/^/  /' "$rel/.upChk.log"
  fi
}
event() {  # event word, file name, arguments...
  local word=$1 name=$2
  shift 2
  step=$((step + 1))
  echo
  echo "== $step. $word $name $* =="
  "$area/bin/crevik" "$word" "$rel/$name" "$@"
  tree
}
upload() {  # name, user, group, KBps; the server reports the size in KB
  cp "$area/$1" "$rel/$1"
  event fileuploaded "$1" "$2" "$3" "$4" $(( $(stat -c %s "$rel/$1") / 1024 ))
}
verified() {  # name, user, group, KBps, good so far
  event sfvsuccess "$1" "$2" "$3" "$4" $(( $(stat -c %s "$rel/$1") / 1024 )) ${#files[@]} "$5"
}

cp "$area/Some.Release.sfv" "$rel/"
event sfvuploaded Some.Release.sfv ${#files[@]} 0
upload some.r00 joe crew 900;  verified some.r00 joe crew 900 1
upload some.r01 ann flow 1500; verified some.r01 ann flow 1500 2
# some.r02 arrives damaged: the server's check fails and the file is put aside.
cp "$area/some.r02" "$rel/some.r02"; printf 'XXXX' | dd of="$rel/some.r02" conv=notrunc status=none
event fileuploaded some.r02 joe crew 800 $(( $(stat -c %s "$rel/some.r02") / 1024 ))
event sfvfailed some.r02 joe crew 800 $(( $(stat -c %s "$rel/some.r02") / 1024 ))
# The damaged copy is cleared away, which takes its record with it, and re-sent.
rm "$rel/some.r02.bad"
event filedeleted some.r02.bad
upload some.r02 ann flow 1400; verified some.r02 ann flow 1400 3
upload some.r03 bob crew 600;  verified some.r03 bob crew 600 4
upload some.rar ann flow 1600; verified some.rar ann flow 1600 5
event sfvcomplete Some.Release.sfv

echo
echo "== race report ($rel/race.txt) =="
cat "$rel/race.txt"
