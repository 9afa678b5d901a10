#!/usr/bin/env bash
# Builds both builds and runs every test: the native build under AddressSanitizer
# and UBSan (and its threaded tests under ThreadSanitizer), the Windows build
# under Wine. Installs the Debian packages it needs first.
set -uo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh

ensure_packages "${BUILD_PACKAGES[@]}" || exit 1

failed=()
step() {  # step <name> <command...>: runs a step, remembering a failure
  local name=$1; shift
  echo "== $name"
  "$@" || failed+=("$name")
}

# Counts the test cases of one build from GoogleTest's XML reports.
count_cases() {
  local dir=build/$1/test-results total=0 failures=0 n f
  for f in "$dir"/*.xml; do
    [ -f "$f" ] || continue
    n=$(grep -m1 -o '<testsuites [^>]*' "$f" | grep -o ' tests="[0-9]*"' | grep -o '[0-9]*')
    total=$((total + ${n:-0}))
  done
  echo "$total"
}

for preset in native native-tsan windows; do
  rm -rf "build/$preset/test-results"
  step "configure $preset" cmake --preset "$preset" -Wno-dev >/dev/null
  step "build $preset" cmake --build --preset "$preset"
done

step "test native" ctest --preset native -j2
step "test native-tsan" ctest --preset native-tsan -j2

ensure_wine_prefix "$PWD/build/windows/wineprefix" || failed+=("wine prefix")
export WINEPREFIX=$PWD/build/windows/wineprefix
step "test windows" xvfb-run -a -s '-screen 0 1024x768x24' ctest --preset windows -j2
wineserver -k 2>/dev/null || true

summary="native: $(count_cases native) cases, native-tsan: $(count_cases native-tsan) cases, windows: $(count_cases windows) cases"
if [ ${#failed[@]} -eq 0 ]; then
  echo "ALL TESTS PASSED — $summary"
else
  echo "FAILED: ${failed[*]} — $summary"
  exit 1
fi
