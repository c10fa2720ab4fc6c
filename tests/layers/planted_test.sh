#!/usr/bin/env bash
# The layering check must fail on what it exists to catch: an upward include
# and writable variables with static storage.
# Usage: planted_test.sh SRC_DIR CXX_COMPILER
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
check="$here/../../scripts/check-layers.py"
src="$1"
cxx="$2"
work=$(mktemp -d "${TMPDIR:-/tmp}/qv-layers.XXXXXX")
trap 'rm -rf "$work"' EXIT

cp -r "$src" "$work/src"
echo '#include "frontend/settings.h"' >>"$work/src/search/line_match.h"
echo '#include "sinks/delay_chart.h"' >>"$work/src/transitions/transitions.h"
echo '#include "sources/byte_source.h"' >>"$work/src/platform/platform.h"
if out=$(python3 "$check" includes "$work/src"); then
  echo "FAIL: planted upward includes passed"; exit 1
fi
grep -q "search may not include frontend" <<<"$out" || { echo "FAIL: $out"; exit 1; }
grep -q "transitions may not include sinks" <<<"$out" || { echo "FAIL: $out"; exit 1; }
grep -q "platform may not include sources" <<<"$out" || { echo "FAIL: $out"; exit 1; }

cat >"$work/planted.cpp" <<'CPP'
#include <string>
namespace qv {
int counter;
std::string lastName;
const char* current = "x";
const int fixed = 3;
int* calls() {
    static int n;
    return &n;
}
const int* table() {
    static const int values[] = {1, 2};
    return values;
}
} // namespace qv
CPP
"$cxx" -std=c++20 -O2 -c "$work/planted.cpp" -o "$work/planted.o"
if out=$(python3 "$check" statics "$work/planted.o"); then
  echo "FAIL: planted statics passed"; exit 1
fi
for name in "qv::counter" "qv::lastName" "qv::current" "qv::calls()::n"; do
  grep -qF "$name" <<<"$out" || { echo "FAIL: $name not reported: $out"; exit 1; }
done
if grep -qE "fixed|values" <<<"$out"; then echo "FAIL: constants reported: $out"; exit 1; fi
echo "planted offences caught"
