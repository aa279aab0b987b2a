#!/usr/bin/env bash
# The Windows leg. It always cross-builds the crevik.exe that ships (32-bit,
# GUI subsystem, static) with MinGW-w64 into build-win32/ and checks what was
# built. Then it runs the unit and end-to-end tests under Wine, in a private,
# headless Wine prefix: those of that 32-bit build under 32-bit Wine where
# this machine can run 32-bit x86 programs; elsewhere those of a 64-bit build
# of the same code (build-win64/) under 64-bit Wine. CREVIK_WINE=64 takes the
# 64-bit run on any machine. Installs the Debian packages it needs when run
# as root; otherwise, with any of them missing, it says so and skips.
set -euo pipefail
cd "$(dirname "$0")/.."

# Some kernels are built without 32-bit support: there even the 32-bit
# dynamic loader fails with "Exec format error". A three-instruction program
# that exits 0 tells.
runs_32bit_programs() {
  local dir status=1
  dir=$(mktemp -d)
  printf '.globl _start\n_start:\n movl $1, %%eax\n xorl %%ebx, %%ebx\n int $0x80\n' >"$dir/exit.s"
  if as --32 -o "$dir/exit.o" "$dir/exit.s" && ld -m elf_i386 -o "$dir/exit" "$dir/exit.o" && "$dir/exit" 2>/dev/null
  then status=0; fi
  rm -rf "$dir"
  return $status
}

if [ "${CREVIK_WINE:-}" != 64 ] && runs_32bit_programs; then
  bits=32 test_build=build-win32 wine=(wine) wineserver=/usr/lib/wine/wineserver32
  packages=(g++-mingw-w64-i686 wine wine32:i386)
  say="this machine runs 32-bit programs: the tests of the 32-bit build under 32-bit Wine"
else
  bits=64 test_build=build-win64 wine=(/usr/lib/wine/wine64) wineserver=/usr/lib/wine/wineserver64
  packages=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine64)
  say="this machine cannot run 32-bit programs"
  [ "${CREVIK_WINE:-}" = 64 ] && say="CREVIK_WINE=64"
  say+=": the tests of a 64-bit build under 64-bit Wine"
fi
packages+=(libz-mingw-w64-dev googletest cmake make file binutils)

source scripts/packages.sh
mapfile -t missing < <(missing_packages "${packages[@]}")
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "skipping the Windows leg: missing packages ${missing[*]}; run as root to install them," \
         "or: dpkg --add-architecture i386; apt-get update; apt-get install ${packages[*]}"
    exit 0
  fi
  echo "== windows: installing ${missing[*]} =="
  [ $bits = 32 ] && dpkg --add-architecture i386  # before the update that install_packages runs
  install_packages "${missing[@]}"
fi
echo "== windows: $say =="

jobs=$(nproc 2>/dev/null || echo 2)
cross_build() {  # build dir, toolchain, targets...
  local dir=$1 toolchain=$2
  shift 2
  cmake --no-warn-unused-cli -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$dir" -j"$jobs" "$@" >/dev/null
}

echo "== windows: cross build =="
if [ $bits = 32 ]; then
  cross_build build-win32 cmake/mingw-i686.cmake
else
  cross_build build-win32 cmake/mingw-i686.cmake --target crevik
  cross_build build-win64 cmake/mingw-x86_64.cmake
fi

kind=$(file -b build-win32/crevik.exe)
echo "crevik.exe: $kind"
case "$kind" in
  PE32\ executable*\(GUI\)*Intel\ 80386*) ;;
  *) echo "crevik.exe is not a 32-bit GUI executable for Intel 80386" >&2; exit 1 ;;
esac
# Nothing but system DLLs: the program is copied alone beside the server.
dlls=$(objdump -p build-win32/crevik.exe | sed -n 's/^\s*DLL Name: //p' | tr '\n' ' ')
echo "crevik.exe imports: $dlls"
for dll in $dlls; do
  case "${dll,,}" in
    kernel32.dll|msvcrt.dll|user32.dll|advapi32.dll) ;;
    *) echo "crevik.exe needs $dll, which Windows does not ship" >&2; exit 1 ;;
  esac
done

echo "== windows: tests under $bits-bit Wine =="
export WINEPREFIX="$PWD/$test_build/wine" WINEARCH=win$bits WINEDEBUG=-all WINELOADER=${wine[0]}
[ $bits = 32 ] && unset WINELOADER
# No Mono or Gecko prompt, no window: console programs only.
export WINEDLLOVERRIDES="mscoree=;mshtml="
unset DISPLAY WAYLAND_DISPLAY
trap '"$wineserver" -k >/dev/null 2>&1 || true' EXIT
# A prefix that came out incomplete shows in the tests' own failures.
"${wine[@]}" wineboot -i >/dev/null 2>&1 || true
"$wineserver" -w || true
# One server for both test programs: one that lingers after the first and
# quits as the second connects cuts the second off ("recvmsg: Connection
# reset by peer"). The trap above stops it.
"$wineserver" -p

status=0
for exe in unit_tests e2e_tests; do
  log="$test_build/$exe.log"
  if [ ! -f "$test_build/tests/$exe.exe" ]; then
    echo "$exe.exe was not built" >&2
    status=1
    continue
  fi
  if "${wine[@]}" "$test_build/tests/$exe.exe" --gtest_color=no >"$log" 2>&1; then
    echo "$exe.exe: $(grep -E '^\[  PASSED  \]' "$log")"
  else
    cat "$log"
    echo "$exe.exe under $bits-bit Wine FAILED (log: $log)" >&2
    status=1
  fi
done
exit $status
