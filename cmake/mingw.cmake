# Cross-build for Windows with Debian's MinGW-w64, for the processor that the
# including file sets (mingw-i686.cmake, mingw-x86_64.cmake).
set(CMAKE_SYSTEM_NAME Windows)

set(MINGW_PREFIX ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)
# The posix thread model keeps std::thread available to test code; the
# static link below leaves no runtime DLL behind either way.
set(CMAKE_C_COMPILER ${MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every executable, tests included, needs only the system's DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# The 64-bit loader by its own name: Debian's `wine` picks the 32-bit one
# whenever wine32 is installed, even on a kernel that cannot run it.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  find_program(WINE_PROGRAM NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
else()
  find_program(WINE_PROGRAM wine)
endif()
if(WINE_PROGRAM)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_PROGRAM})
endif()
