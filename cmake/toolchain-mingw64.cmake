# Cross-build for 64-bit Windows with Debian's MinGW-w64 g++ (package
# g++-mingw-w64-x86-64-posix or -win32). Usage:
#   cmake -S . -B build-mingw -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake
# The .exe is linked statically, so it needs no MinGW DLLs on the target.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUORVEX_MINGW_TRIPLET x86_64-w64-mingw32)
find_program(CMAKE_CXX_COMPILER NAMES ${QUORVEX_MINGW_TRIPLET}-g++-posix
                                      ${QUORVEX_MINGW_TRIPLET}-g++-win32 ${QUORVEX_MINGW_TRIPLET}-g++
             REQUIRED)
find_program(CMAKE_C_COMPILER NAMES ${QUORVEX_MINGW_TRIPLET}-gcc-posix
                                    ${QUORVEX_MINGW_TRIPLET}-gcc-win32 ${QUORVEX_MINGW_TRIPLET}-gcc
             REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${QUORVEX_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUORVEX_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# MinGW's own C99 printf family instead of the system C runtime's, whose
# "%lld" support and float formatting vary between Windows versions; the
# reports must be the same bytes as on Linux.
add_compile_definitions(__USE_MINGW_ANSI_STDIO=1)

# Lets CTest run the unit tests of this build under Wine when it is installed.
# Debian's wine64 package alone installs its loader outside the PATH.
find_program(QUORVEX_WINE NAMES wine64 wine PATHS /usr/lib/wine)
if(QUORVEX_WINE AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QUORVEX_WINE})
endif()
