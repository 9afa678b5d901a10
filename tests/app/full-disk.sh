#!/usr/bin/env bash
# A full disk, under Wine with the short-period program: the working folder is a
# small tmpfs, filled up before the program starts and freed after three of its
# cycles could not write. Old.csv and vellarylog.txt end a few bytes short of a
# page, so their next row and line fit only in part, and New.csv is made while
# nothing fits. Once the disk is free every cycle's row is there once, in order,
# with no part of a row anywhere, each file starts with its header, and the log
# holds every cycle's lines, in time order, with "History write failure" and
# "History write resumed" once for each file. The devices' addresses are refused
# at once, so a cycle costs nothing beyond the program's period. The exact
# history (Old.exact.csv, New.exact.csv) and the Prometheus export (prom\, on
# the same disk, with a file of an earlier run in it) are on: the exact rows
# come through as the rows do, with empty fields for what was not measured,
# and the export keeps the old file while the disk is full and says so once
# each way. It runs under a wineserver of its own, from a copy of the build's
# prefix (E2E_SOURCE_PREFIX).
#
# full-disk.sh <program.exe> <later period in seconds>
set -uo pipefail
exe=$(realpath "$1")
period=$2
full_cycles=3

skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAILED: $*"; failed=1; }
failed=0

command -v wine >/dev/null || skip "wine is not installed"
[ -n "${DISPLAY:-}" ] || skip "no display: run it under xvfb-run"
[ "$(id -u)" -eq 0 ] || skip "needs root to mount a tmpfs"
work=$(mktemp -d "${TMPDIR:-/tmp}/vellary-full.XXXXXX")
run=$work/run
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
cleanup() {
  wineserver -k 2>/dev/null
  wait 2>/dev/null
  cd / && umount "$run" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
. "$(dirname "$0")/../../scripts/lib.sh"
private_wine_prefix "${E2E_SOURCE_PREFIX:-}" "$WINEPREFIX" || { echo "FAILED: no Wine prefix"; exit 1; }
mkdir "$run" || exit 1
err=$(mount -t tmpfs -o size=256k tmpfs "$run" 2>&1) || skip "cannot mount a tmpfs (${err:-failed})"
cd "$run" || exit 1

printf 'Old,none,public,1000,1.3.6.1.2.1.2.2.1.10.2,1.3.6.1.2.1.2.2.1.16.2,\r\n' >vellary.cfg
printf 'New,none,public,1000,1.3.6.1.2.1.2.2.1.10.3,1.3.6.1.2.1.2.2.1.16.3,\r\n' >>vellary.cfg
# 4085 and 4089 bytes: 11 and 7 short of the page, less than any row or line.
{
  printf 'Date,Hour,Time,%% In,%% Out'
  for i in $(seq 145); do printf '\r\n04-12-2026,23,23:%02d:%02d,7,1' $((i / 60)) $((i % 60)); done
} >Old.csv
for _ in $(seq 87); do printf '01-01-2026,00:00:00,Backbone,Not able to ping\r\n'; done >vellarylog.txt
printf '[history]\r\nexact = yes\r\n[export]\r\nprometheus = prom\r\n' >vellary.ini
mkdir prom
echo "# an earlier run's" >prom/vellary.prom
old=$work/old.before earlier=$work/log.before
cp Old.csv "$old"
cp vellarylog.txt "$earlier"
dd if=/dev/zero of=filler bs=4k 2>/dev/null
[ "$(df --output=avail -B1 . | tail -1)" -eq 0 ] || { echo "FAILED: the tmpfs did not fill up"; exit 1; }

wine "$exe" &
program=$!
# New.csv appears, empty, when the second cycle tries its first row.
for _ in $(seq 600); do [ -e New.csv ] && break; sleep 0.1; done
[ -e New.csv ] || { echo "FAILED: no cycle tried to write New.csv"; exit 1; }
sleep $(((full_cycles - 1) * period + period / 2))
cmp -s "$old" Old.csv || fail "Old.csv changed while the disk was full: $(tail -c 80 Old.csv | tr '\r\n' '  ')"
cmp -s "$earlier" vellarylog.txt || fail "the log changed while the disk was full"
[ ! -s New.csv ] || fail "New.csv got bytes while the disk was full"
[ "$(cat prom/vellary.prom)" = "# an earlier run's" ] || fail "the export's old file changed while the disk was full"
rm filler

# Once both files say they are written again, one more cycle.
lines() { grep -c "$1" vellarylog.txt 2>/dev/null; }
deadline=$(($(date +%s) + 3 * period))
while [ "$(lines 'History write resumed')" -lt 4 ] || [ "$(lines 'Prometheus export resumed')" -lt 1 ]; do
  [ "$(date +%s)" -lt "$deadline" ] || { echo "FAILED: the rows were not written once the disk was free"; exit 1; }
  kill -0 "$program" 2>/dev/null || { echo "FAILED: the program ended early"; exit 1; }
  sleep 0.2
done
cycles=$(lines ',New,Not able to ping')
while [ "$(lines ',New,Not able to ping')" -le "$cycles" ]; do
  [ "$(date +%s)" -lt "$deadline" ] || { echo "FAILED: no cycle after the rows were written"; exit 1; }
  sleep 0.2
done
sleep 1  # the cycle's history rows follow its last ping line
wineserver -k 2>/dev/null

stamp='[0-9][0-9]-[0-9][0-9]-[0-9]{4}'
log=$(tail -c +$(($(stat -c %s "$earlier") + 1)) vellarylog.txt)
cmp -s -n "$(stat -c %s "$earlier")" "$earlier" vellarylog.txt || fail "the log lost its earlier lines"
# Every line whole, with its CR LF, in time order (held lines carry their own times).
bad=$(printf '%s' "$log" | grep -Evc "^$stamp,[0-9]{2}:[0-9]{2}:[0-9]{2},[^,]*,[^,]*"$'\r$')
[ "$bad" -eq 0 ] || fail "the log has $bad lines that are not whole: $(printf '%s' "$log" | tr '\r\n' ' ')"
printf '%s' "$log" | tr -d '\r' | awk -F, '{ t = substr($1, 7, 4) substr($1, 4, 2) substr($1, 1, 2) $2
    if (t < prev) { print "FAILED: the log goes back in time at " $0; exit } prev = t }' | grep FAILED && failed=1
for f in Old.csv New.csv Old.exact.csv New.exact.csv; do
  said=$(printf '%s' "$log" | tr -d '\r' | grep ",$f\$" | cut -d, -f3 | tr '\n' ';')
  [ "$said" = "History write failure;History write resumed;" ] || fail "the log says of $f: $said"
done
said=$(printf '%s' "$log" | tr -d '\r' | grep ',Prometheus export' | cut -d, -f3- | tr '\n' ';')
[ "$said" = 'Prometheus export failure,prom\vellary.prom;Prometheus export resumed,prom\vellary.prom;' ] ||
  fail "the log says of the export: $said"
head -1 prom/vellary.prom | grep -q '^# HELP vellary_interface_up ' || fail "the export was not written again"
[ "$(ls prom)" = vellary.prom ] || fail "the export left $(ls prom | tr '\n' ' ')"

printf '%s' "$log" | grep -q ',Log lines held,[1-9]' || fail "no log line says that lines were held"

for name in Old New; do
  f=$name.csv
  if [ "$name" = Old ]; then
    cmp -s -n "$(stat -c %s "$old")" "$old" "$f" || fail "$f lost its earlier content"
    rows=$(tail -c +$(($(stat -c %s "$old") + 3)) "$f")
  else
    cmp -s -n 27 <(printf 'Date,Hour,Time,%% In,%% Out\r\n') "$f" || fail "$f does not start with its header"
    rows=$(tail -c +28 "$f")
  fi
  [ "${rows: -1}" != $'\n' ] || fail "$f ends in a line break"
  rows=$(printf '%s' "$rows" | tr -d '\r')
  n=$(printf '%s\n' "$rows" | grep -c .)
  bad=$(printf '%s\n' "$rows" | grep -Evc "^$stamp,[0-9]{2},[0-9]{2}:[0-9]{2}:[0-9]{2},[^,]*,[^,]*\$")
  [ "$bad" -eq 0 ] || fail "$f has $bad rows that are not whole: $(printf '%s' "$rows" | tr '\n' ' ')"
  # One row for each cycle after the first, each once, in order.
  pings=$(printf '%s' "$log" | grep -c ",$name,Not able to ping")
  [ "$n" -eq $((pings - 1)) ] || fail "$f has $n new rows for $pings cycles: $(printf '%s' "$rows" | tr '\n' ' ')"
  [ "$n" -ge $((full_cycles + 1)) ] || fail "$f has $n new rows, fewer than the cycles it was held for"
  printf '%s\n' "$rows" | cut -d, -f3 | sort -c -u 2>/dev/null || fail "$f has rows twice or out of order"
done
# The exact rows: as many, each whole, and nothing measured.
for name in Old New; do
  f=$name.exact.csv
  cmp -s -n 65 <(printf 'Date,Time,UTC,Seconds,In octets,Out octets,bps In,bps Out,Speed\r\n') "$f" ||
    fail "$f does not start with its header"
  rows=$(tail -c +66 "$f" | tr -d '\r')
  n=$(printf '%s\n' "$rows" | grep -c .)
  bad=$(printf '%s\n' "$rows" | grep -Evc "^$stamp,[0-9]{2}:[0-9]{2}:[0-9]{2},[0-9]+,,,,,,1000\$")
  [ "$bad" -eq 0 ] || fail "$f has $bad rows that are not whole and empty: $(printf '%s' "$rows" | tr '\n' ' ')"
  pings=$(printf '%s' "$log" | grep -c ",$name,Not able to ping")
  [ "$n" -eq $((pings - 1)) ] || fail "$f has $n rows for $pings cycles"
done
echo "Old.csv, new rows: $(tail -c +$(($(stat -c %s "$old") + 1)) Old.csv | tr '\r\n' '  ')"
echo "log: $(printf '%s' "$log" | grep -v 'Not able to ping' | tr '\r\n' '  ')"
[ "$failed" -eq 0 ] && echo "full disk: PASSED"
exit "$failed"
