#!/usr/bin/env bash
# The Windows leg: cross-builds quorvex.exe with MinGW-w64 (warnings as
# errors, statically linked) and runs the unit tests and every golden case
# against it under Wine, in a throwaway Wine prefix. Fails when anything fails.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh g++ cmake ninja-build zlib1g-dev libgtest-dev g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine64

echo "== Windows: cross-build (MinGW-w64, warnings as errors), tests under Wine"
# The golden runner is a host program: take it from the host build.
[ -f build/CMakeCache.txt ] || cmake -S . -B build -G Ninja -DQUORVEX_WERROR=ON >/dev/null
cmake --build build --target golden_runner follow_check

wine=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/qv-wine.XXXXXX")
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
cleanup() {
    "$wineserver" -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
# A persistent server, and the prefix with Wine's own services set up now:
# started later from a test, those would hold CTest's output pipe open.
"$wineserver" -p </dev/null >/dev/null 2>&1
"$wine" cmd /c exit </dev/null >/dev/null 2>&1

cmake -S . -B build-mingw -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake \
    -DCMAKE_BUILD_TYPE=Release -DQUORVEX_WERROR=ON -DCMAKE_CROSSCOMPILING_EMULATOR="$wine" \
    -DQUORVEX_GOLDEN_RUNNER="$PWD/build/tests/golden_runner"
cmake --build build-mingw

# Only system DLLs may be imported, so the .exe runs on a bare Windows.
if x86_64-w64-mingw32-objdump -p build-mingw/quorvex.exe |
    grep -iE 'DLL Name: .*(gcc|stdc\+\+|pthread)'; then
    echo "quorvex.exe depends on MinGW DLLs" >&2
    exit 1
fi
ctest --test-dir build-mingw --output-on-failure -j2
(cd build-mingw && cpack -G ZIP >/dev/null && ls quorvex-*-win64.zip)
