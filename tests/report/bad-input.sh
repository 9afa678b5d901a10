#!/usr/bin/env bash
# vellary-report as a program against what it must survive: a history file of 1 GB
# of garbage (sparse, so it costs no disk: a few MB of random bytes, then zeros), a
# line of 10 MB with no line break, exact histories that are garbage, cut short, out
# of order, with the clock set back or a UTC time far ahead, an alert log of garbage,
# all read in bounded memory; and a page that cannot be written whole (a file-size
# limit, as a full disk would): a message and exit 1, the old page kept byte for
# byte and no temporary file left.
#
# bad-input.sh <vellary-report>
set -uo pipefail
program=$(realpath "$1")
work=$(mktemp -d /tmp/vellary-report-bad.XXXXXX)
trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
cd "$work" || exit 1
failed=0
fail() { echo "FAILED: $*"; failed=1; }

line() { printf '%s,192.0.2.1,public,100000000,1.3.6.1.2.1.2.2.1.10.1,1.3.6.1.2.1.2.2.1.16.1,\r\n' "$1"; }

{ line Junk; line Long; line Fine; line XJunk; line XLong; line XCut; line XShuffled; line XBack; line XFuture; } \
  >vellary.cfg
# Each starts with a byte that is no line break, so its first line is named with its text.
{ printf 'x'; head -c 4000000 /dev/urandom; } >Junk.csv
truncate -s 1G Junk.csv
printf 'Date,Hour,Time,%% In,%% Out\r\n' >Long.csv
head -c 10485760 /dev/zero | tr '\0' '7' >>Long.csv
printf 'Date,Hour,Time,%% In,%% Out\r\n05-12-2026,14,14:08:07,12,3' >Fine.csv

# Exact histories: a day of rows 300 s apart, in the monitor's format.
exact_header='Date,Time,UTC,Seconds,In octets,Out octets,bps In,bps Out,Speed'
exact_rows() {  # [UTC shift in seconds]
  awk -v shift="${1:-0}" 'BEGIN { for (i = 0; i < 288; i++) { s = i * 300; h = int(s / 3600); m = int(s % 3600 / 60)
    printf "\r\n05-12-2026,%02d:%02d:00,%.0f,300.000,%d,%d,%d,%d,100000000", h, m, 1796479200 + s + shift, i * 1000,
      i * 500, i * 1000 * 8000 / 300000, i * 500 * 8000 / 300000 } }'
}
{ printf 'x'; head -c 3000000 /dev/urandom; } >XJunk.exact.csv
truncate -s 1G XJunk.exact.csv
{ printf '%s\r\n' "$exact_header"; head -c 10485760 /dev/zero | tr '\0' '1'; exact_rows; } >XLong.exact.csv
{ printf '%s' "$exact_header"; exact_rows; } | head -c 9000 >XCut.exact.csv
{ printf '%s' "$exact_header"; exact_rows | tr -d '\r' | sed 1d | shuf --random-source=<(yes) | sed 's/^/\r\n/' |
  tr -d '\n' | sed 's/\r/\r\n/g'; } >XShuffled.exact.csv
# The clock set back an hour half-way: the second half's rows repeat the first's times.
{ printf '%s' "$exact_header"; exact_rows | head -c 12000; exact_rows | head -c 12000; } >XBack.exact.csv
# A UTC time far ahead of the local time: not a row of the monitor.
{ printf '%s' "$exact_header"; exact_rows 95000000000; exact_rows; } >XFuture.exact.csv
{ printf 'Date,Time,Interface,Event,%% In,%% Out,Detail\r\nx'; head -c 2000000 /dev/urandom; } >vellary-alerts.csv
truncate -s 512M vellary-alerts.csv

start=$(date +%s%N)
timeout 120 /usr/bin/time -f '%M' -o rss "$program" >out 2>err
code=$?
ms=$((($(date +%s%N) - start) / 1000000))
rss=$(tail -1 rss)
echo "1 GB of garbage, 10 MB lines, bad exact histories, 512 MB of alert garbage: exit $code in $ms ms, $rss KB at most"
[ "$code" -eq 0 ] || fail "exit $code: $(cat err)"
# Fixed rings, one read block per core: the same memory however large the files
# (the sanitizers' shadow memory is most of it).
[ "$rss" -lt 600000 ] || fail "$rss KB of memory for files read in blocks"
page=vellary-report.html
grep -q '<li>Long.csv line 2: <code>7777' "$page" || fail "the 10 MB line is not named"
grep -q '(10,485,760 characters)' "$page" || fail "the 10 MB line's length is not given"
grep -q '<li>Junk.csv line 1: <code>' "$page" || fail "the garbage is not named"
grep -q 'Fine.csv, 1 row from <span class="d">05-12-2026 14:08' "$page" || fail "the good file is not read"
grep -o "and [0-9,]* more" "$page"
grep -q '<li>XJunk.exact.csv line 1: <code>' "$page" || fail "the exact garbage is not named"
grep -q '<li>XLong.exact.csv line 2: <code>1111.*(10,485,760 characters)' "$page" || fail "the exact 10 MB line is not named"
grep -q 'XLong.exact.csv, 288 rows' "$page" || fail "the rows after the 10 MB line are not read"
grep -q 'XCut.exact.csv, [0-9]* rows' "$page" || fail "the cut-short exact history is not read"
grep -q 'XShuffled.exact.csv, 288 rows' "$page" || fail "the rows out of order are not all read"
grep -q 'XBack.exact.csv, [0-9]* rows' "$page" || fail "the clock set back is not read"
grep -q 'XFuture.exact.csv, 288 rows' "$page" || fail "the rows after those with a UTC time far ahead are not read"
grep -q '<li>XFuture.exact.csv line 2: <code>05-12-2026,00:00:00,96796479200' "$page" ||
  fail "a row with a UTC time far ahead is not named"
grep -q '<li>vellary-alerts.csv line 2: <code>' "$page" || fail "the alert log's garbage is not named"

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
