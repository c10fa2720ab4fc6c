#!/usr/bin/env bash
# The package leg: builds the Debian package from the Release build in build/,
# checks it with lintian, installs it on this machine with dpkg, checks what
# it installed and removes it again, also when a check fails (a quorvex
# package installed before is replaced, then removed). Checks the Windows .zip
# when the Windows leg has made one, and that a machine without GoogleTest can
# configure the tool. Safe to run again after any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh g++ cmake ninja-build zlib1g-dev libisal-dev dpkg-dev lintian man-db unzip

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
work=$(mktemp -d)
installed=0
cleanup() {
    if [ "$installed" -eq 1 ]; then
        $SUDO dpkg -r quorvex >/dev/null || echo "package: dpkg -r quorvex failed" >&2
    fi
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "package: $*" >&2
    exit 1
}

echo "== package: configure without GoogleTest"
cmake -S . -B "$work/no-gtest" -G Ninja -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON \
    >"$work/no-gtest.log" 2>&1 || { cat "$work/no-gtest.log"; fail "configure failed"; }
grep -q "GoogleTest not found" "$work/no-gtest.log" || fail "no message on missing GoogleTest"
cmake -S . -B "$work/no-tests" -G Ninja -DQUORVEX_BUILD_TESTS=OFF >"$work/no-tests.log" 2>&1 ||
    { cat "$work/no-tests.log"; fail "configure with QUORVEX_BUILD_TESTS=OFF failed"; }

echo "== package: Debian package, lintian"
[ -f build/CMakeCache.txt ] || cmake -S . -B build -G Ninja -DQUORVEX_WERROR=ON >/dev/null
cmake --build build
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/CMakeCache.txt)
deb="build/quorvex_${version}_$(dpkg --print-architecture).deb"
rm -f "$deb"
(cd build && cpack -G DEB >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack failed"; }
[ -f "$deb" ] || fail "cpack made no $deb"
[ "$(dpkg-deb -f "$deb" Maintainer)" = "quorvex developers <quorvex@example.org>" ] ||
    fail "wrong maintainer: $(dpkg-deb -f "$deb" Maintainer)"
lintian_args=(--fail-on error,warning)
[ "$(id -u)" -eq 0 ] && lintian_args+=(--allow-root)
lintian "${lintian_args[@]}" "$deb" | tee "$work/lintian.txt" || fail "lintian failed"
if grep -E '^[EW]: ' "$work/lintian.txt"; then fail "lintian tags above"; fi

# Two runs of this leg at once would remove each other's package.
exec 9>"${TMPDIR:-/tmp}/quorvex-package-leg.lock"
flock 9

echo "== package: install, check, remove"
installed=1
$SUDO dpkg -i "$deb" >/dev/null
doc=/usr/share/doc/quorvex
man_page=/usr/share/man/man1/quorvex.1.gz
dpkg -L quorvex >"$work/files.txt"
for path in /usr/bin/quorvex "$man_page" "$doc/copyright" "$doc/changelog.gz" "$doc/README.md" \
    "$doc/examples/qv.cfg.sample" "$doc/docs/monitoring/quorvex-rules.yml"; do
    grep -qx "$path" "$work/files.txt" || fail "dpkg -L lists no $path"
    [ -f "$path" ] || fail "$path is not installed"
done
(cd "$work" && /usr/bin/quorvex /v >version.txt)
[ "$(cat "$work/version.txt")" = " QUORVEX PROGRAM VERSION $version" ] ||
    fail "quorvex /v says: $(cat "$work/version.txt")"
MANWIDTH=80 man --warnings -l "$man_page" >"$work/man.txt" 2>"$work/man-warnings.txt"
[ -s "$work/man-warnings.txt" ] && { cat "$work/man-warnings.txt"; fail "man page warnings"; }
grep -q "EXIT STATUS" "$work/man.txt" || fail "man -l rendered no EXIT STATUS section"
holder=$(sed -n 's/^Copyright (c) //p' LICENSE)
grep -qx "Copyright: $holder" "$doc/copyright" || fail "copyright names no $holder"
grep -q "Permission is hereby granted" "$doc/copyright" || fail "copyright holds no licence text"
# Every relative link of the installed README leads to an installed file.
links=$(grep -o '](\([^)#]*\)[)#]' "$doc/README.md" | sed 's/^](//; s/.$//' || true)
for target in $links; do
    case "$target" in *:*) continue ;; esac # a web address
    [ -f "$doc/$target" ] || fail "README links to $target, which is not installed"
done
# Nor does it send the reader to folders of the sources the package lacks.
if grep -nE '(scripts|sample|bench|tests|build)/' "$doc/README.md"; then
    fail "the installed README names folders the package does not hold (above)"
fi
cmp -s qv.cfg.sample "$doc/examples/qv.cfg.sample" || fail "examples/qv.cfg.sample differs"
$SUDO dpkg -r quorvex >/dev/null
installed=0
! dpkg -s quorvex >/dev/null 2>&1 || fail "still installed after dpkg -r"
[ ! -e /usr/bin/quorvex ] || fail "/usr/bin/quorvex left after dpkg -r"
echo "package: $deb passes"

echo "== package: Windows .zip"
zip="build-mingw/quorvex-${version}-win64.zip"
if [ ! -f "$zip" ]; then
    echo "package: no Windows .zip (the Windows leg makes it): not checked"
    exit 0
fi
unzip -q "$zip" -d "$work/zip"
top="$work/zip/quorvex-${version}-win64"
for name in quorvex.exe README.txt LICENSE.txt qv.cfg.sample docs/chart-day.png docs/chart-week.png \
    docs/chart-month.png docs/monitoring/quorvex-rules.yml; do
    [ -f "$top/$name" ] || fail "$zip holds no $name"
done
for name in README.txt LICENSE.txt qv.cfg.sample; do
    if [ "$(grep -c $'\r$' "$top/$name")" -ne "$(wc -l <"$top/$name")" ]; then
        fail "$name in $zip does not end its lines with CR LF"
    fi
done
if tr -d '\r' <"$top/qv.cfg.sample" | grep -v '^#' | grep -q .; then
    fail "qv.cfg.sample in $zip holds a line that is not commented out"
fi
echo "package: $zip passes"
