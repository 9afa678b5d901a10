#!/usr/bin/env bash
# The shipped programs define none of the hooks tests once set: the tests link
# twins of the seams instead (a clock, a sleep, a file write that fails).
#
# no-test-hooks.sh <nm> <program>...
set -uo pipefail
nm=$1
shift
hooks='g_querySleep|g_localTimeHook'
failed=0
for program in "$@"; do
  symbols=$("$nm" "$program") || { echo "FAILED: $nm cannot read $program"; failed=1; continue; }
  [ -n "$symbols" ] || { echo "FAILED: $program has no symbols to check"; failed=1; continue; }
  found=$(grep -owE "$hooks" <<<"$symbols" | sort -u | tr '\n' ' ')
  if [ -n "$found" ]; then
    echo "FAILED: $(basename "$program") defines $found"
    failed=1
  else
    echo "$(basename "$program"): no test hook"
  fi
done
exit $failed
