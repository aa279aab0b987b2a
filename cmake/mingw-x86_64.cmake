# Cross-build for 64-bit Windows (g++-mingw-w64-x86-64): the same code, for
# testing under 64-bit Wine where the machine cannot run 32-bit programs.
#   cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
