#!/usr/bin/env bash
# vellary-report as a program against what it must survive: a history file of 1 GB
# of garbage (sparse, so it costs no disk: a few MB of random bytes, then zeros), a
# line of 10 MB with no line break, and a page that cannot be written whole (a
# file-size limit, as a full disk would): a message and exit 1, the old page kept
# byte for byte and no temporary file left.
#
# bad-input.sh <vellary-report>
set -uo pipefail
program=$(realpath "$1")
work=$(mktemp -d /tmp/vellary-report-bad.XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failed=0
fail() { echo "FAILED: $*"; failed=1; }

line() { printf '%s,192.0.2.1,public,100000000,1.3.6.1.2.1.2.2.1.10.1,1.3.6.1.2.1.2.2.1.16.1,\r\n' "$1"; }

{ line Junk; line Long; line Fine; } >vellary.cfg
head -c 4000000 /dev/urandom >Junk.csv
truncate -s 1G Junk.csv
printf 'Date,Hour,Time,%% In,%% Out\r\n' >Long.csv
head -c 10485760 /dev/zero | tr '\0' '7' >>Long.csv
printf 'Date,Hour,Time,%% In,%% Out\r\n05-12-2026,14,14:08:07,12,3' >Fine.csv

start=$(date +%s%N)
timeout 120 "$program" >out 2>err
code=$?
ms=$((($(date +%s%N) - start) / 1000000))
echo "1 GB of garbage and a 10 MB line: exit $code in $ms ms"
[ "$code" -eq 0 ] || fail "exit $code: $(cat err)"
page=vellary-report.html
grep -q '<li>Long.csv line 2: <code>7777' "$page" || fail "the 10 MB line is not named"
grep -q '(10,485,760 characters)' "$page" || fail "the 10 MB line's length is not given"
grep -q '<li>Junk.csv line 1: <code>' "$page" || fail "the garbage is not named"
grep -q 'Fine.csv, 1 row from 05-12-2026 14:08' "$page" || fail "the good file is not read"
grep -o "and [0-9,]* more" "$page"

# A page that cannot be written whole: the old one stays.
cp "$page" old.html
(
  ulimit -f 1  # KiB: far less than the page
  trap '' XFSZ  # a write past the limit then fails instead of ending the program
  exec "$program"
) >out 2>err
code=$?
[ "$code" -eq 1 ] || fail "past a file-size limit: exit $code"
grep -q 'could not write the whole page' err || fail "past a file-size limit: $(cat err)"
cmp -s old.html "$page" || fail "past a file-size limit: the old page changed"
ls | grep -q '\.tmp$' && fail "a temporary file was left: $(ls)"

[ "$failed" -eq 0 ] || exit 1
echo "vellary-report on bad input: PASSED"
