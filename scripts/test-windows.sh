#!/usr/bin/env bash
# The Windows leg: cross-builds crevik.exe (32-bit, GUI subsystem, static)
# with MinGW-w64 into build-win32/, checks what was built, and runs the unit
# and end-to-end tests under Wine in a private, headless Wine prefix.
# Installs the Debian packages it needs when run as root; otherwise, with
# any of them missing, it says so and skips.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build-win32
packages=(g++-mingw-w64-i686 libz-mingw-w64-dev wine wine32:i386 googletest cmake make file)

source scripts/packages.sh
mapfile -t missing < <(missing_packages "${packages[@]}")
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "skipping the Windows leg: missing packages ${missing[*]}; run as root to install them," \
         "or: dpkg --add-architecture i386; apt-get update; apt-get install ${packages[*]}"
    exit 0
  fi
  echo "== windows: installing ${missing[*]} =="
  dpkg --add-architecture i386  # before the update that install_packages runs
  install_packages "${missing[@]}"
fi

echo "== windows: cross build =="
jobs=$(nproc 2>/dev/null || echo 2)
cmake --no-warn-unused-cli -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$jobs" >/dev/null

kind=$(file -b "$build/crevik.exe")
echo "crevik.exe: $kind"
case "$kind" in
  PE32\ executable*\(GUI\)*Intel\ 80386*) ;;
  *) echo "crevik.exe is not a 32-bit GUI executable for Intel 80386" >&2; exit 1 ;;
esac
# Nothing but system DLLs: the program is copied alone beside the server.
dlls=$(i686-w64-mingw32-objdump -p "$build/crevik.exe" | sed -n 's/^\s*DLL Name: //p' | tr '\n' ' ')
echo "crevik.exe imports: $dlls"
for dll in $dlls; do
  case "${dll,,}" in
    kernel32.dll|msvcrt.dll|user32.dll|advapi32.dll) ;;
    *) echo "crevik.exe needs $dll, which Windows does not ship" >&2; exit 1 ;;
  esac
done

echo "== windows: tests under Wine =="
export WINEPREFIX="$PWD/$build/wine" WINEARCH=win32 WINEDEBUG=-all
# No Mono or Gecko prompt, no window: console programs only.
export WINEDLLOVERRIDES="mscoree=;mshtml="
unset DISPLAY WAYLAND_DISPLAY
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
wineboot -i >/dev/null 2>&1
wineserver -w

status=0
for exe in unit_tests e2e_tests; do
  log="$build/$exe.log"
  if [ ! -f "$build/tests/$exe.exe" ]; then
    echo "$exe.exe was not built" >&2
    status=1
    continue
  fi
  if wine "$build/tests/$exe.exe" --gtest_color=no >"$log" 2>&1; then
    echo "$exe.exe: $(grep -E '^\[  PASSED  \]' "$log")"
  else
    cat "$log"
    echo "$exe.exe under Wine FAILED (log: $log)" >&2
    status=1
  fi
done
exit $status
