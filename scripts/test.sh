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

# Counts the test cases of one build: GoogleTest's XML reports give the cases of
# each test program; a ctest entry without one (a script) counts as one case.
# Prints "N cases (K skipped)".
count_cases() {
  local dir=build/$1 total=0 skipped=0 n f name status
  for f in "$dir"/test-results/*.xml; do
    [ -f "$f" ] || continue
    n=$(grep -m1 -o '<testsuites [^>]*' "$f" | grep -o ' tests="[0-9]*"' | grep -o '[0-9]*')
    total=$((total + ${n:-0}))
    skipped=$((skipped + $(grep -c 'result="skipped"' "$f")))
  done
  if [ -f "$dir/ctest-junit.xml" ]; then
    while read -r name status; do
      [ -f "$dir/test-results/$name.xml" ] && continue
      total=$((total + 1))
      [ "$status" = notrun ] && skipped=$((skipped + 1))
    done < <(sed -n 's/.*<testcase name="\([^"]*\)".* status="\([a-z]*\)".*/\1 \2/p' "$dir/ctest-junit.xml")
  fi
  echo "$total cases ($skipped skipped)"
}

# Says why tests of one build skipped, once per reason: GoogleTest's skip
# messages, and the "SKIPPED: reason" line of a script.
skip_reasons() {
  local dir=build/$1
  {
    cat "$dir"/test-results/*.xml 2>/dev/null | grep -o '<skipped message="[^"]*"' | sed 's/.*&#x0A;//; s/"$//; s/&quot;/"/g; s/&apos;/'"'"'/g; s/&lt;/</g; s/&gt;/>/g; s/&amp;/\&/g'
    grep -o 'SKIPPED: [^<]*' "$dir/ctest-junit.xml" 2>/dev/null | sed 's/^SKIPPED: //'
  } | sort | uniq -c | sed "s/^ *\([0-9]*\) /$1: \1 skipped: /"
}

for preset in native native-tsan windows; do
  rm -rf "build/$preset/test-results" "build/$preset/ctest-junit.xml"
  step "configure $preset" cmake --preset "$preset" -Wno-dev >/dev/null
  step "build $preset" cmake --build --preset "$preset"
done

# clang-tidy's bugprone and performance checks (.clang-tidy) over the product code the
# native build compiles: every .cpp of the product folders in its compile database.
tidy_product() {
  local files
  files=$(sed -n 's#^ *"file": "'"$PWD"'/\(\(alerts\|cfgtool\|config\|poll\|records\|report\|snmp\)/[^"]*\.cpp\)"$#\1#p' \
    build/native/compile_commands.json | sort -u)
  [ -n "$files" ] || { echo "no product sources in build/native/compile_commands.json"; return 1; }
  # shellcheck disable=SC2086
  clang-tidy -p build/native --quiet $files 2>/dev/null | grep -E 'warning:|error:' && return 1
  echo "clang-tidy: $(echo "$files" | wc -l) files, no findings"
}
step "clang-tidy native" tidy_product

# The release zip as a user downloads it, and what it holds, for the log.
package_zip() {
  local name
  cmake --build --preset windows --target package >/dev/null || return 1
  name=$(sed -n 's/^set(CPACK_PACKAGE_FILE_NAME "\(.*\)")$/\1/p' build/windows/CPackConfig.cmake)
  echo "build/windows/$name.zip:"
  cmake -E tar tvf "build/windows/$name.zip"
}
step "package windows" package_zip

# ctest's own report (relative to the build folder) names the scripts that skipped.
step "test native" ctest --preset native -j2 --output-junit ctest-junit.xml
step "test native-tsan" ctest --preset native-tsan -j2 --output-junit ctest-junit.xml

ensure_wine_prefix "$PWD/build/windows/wineprefix" || failed+=("wine prefix")
export WINEPREFIX=$PWD/build/windows/wineprefix
step "test windows" xvfb-run -a -s '-screen 0 1024x768x24' ctest --preset windows -j2 --output-junit ctest-junit.xml
wineserver -k 2>/dev/null || true

for preset in native native-tsan windows; do skip_reasons "$preset"; done
summary="native: $(count_cases native), native-tsan: $(count_cases native-tsan), windows: $(count_cases windows)"
if [ ${#failed[@]} -eq 0 ]; then
  echo "ALL TESTS PASSED — $summary"
else
  echo "FAILED: ${failed[*]} — $summary"
  exit 1
fi
