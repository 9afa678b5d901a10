#!/usr/bin/env bash
# History files that cannot be written, under Wine with the short-period program:
# another process holds Uplink.csv open with read sharing only (as a spreadsheet
# holds the file it shows), and Backup.csv is read-only, for three cycles. Once
# both are free again every cycle's row is there, in order, each with its own
# time, and the log says "History write failure" and "History write resumed" once
# for each file. The devices' addresses are refused at once, so a cycle costs
# nothing beyond the program's period. It runs under a wineserver of its own, as the
# end-to-end run does, from a copy of the build's prefix (E2E_SOURCE_PREFIX).
#
# Wine lets root write a file whose read-only attribute is set, as Linux does: the
# file is made immutable instead (chattr +i), which root cannot write either.
#
# held-files.sh <program.exe> <hold_file.exe> <later period in seconds>
set -uo pipefail
exe=$(realpath "$1")
holder=$(realpath "$2")
period=$3
held_cycles=3

skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAILED: $*"; failed=1; }
failed=0

command -v wine >/dev/null || skip "wine is not installed"
[ -n "${DISPLAY:-}" ] || skip "no display: run it under xvfb-run"
work=$(mktemp -d "${TMPDIR:-/tmp}/vellary-held.XXXXXX")
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
cleanup() {
  wineserver -k 2>/dev/null
  wait 2>/dev/null
  chattr -i "$work/run/Backup.csv" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
. "$(dirname "$0")/../../scripts/lib.sh"
private_wine_prefix "${E2E_SOURCE_PREFIX:-}" "$WINEPREFIX" || { echo "FAILED: no Wine prefix"; exit 1; }
mkdir "$work/run" && cd "$work/run" || exit 1

printf 'Uplink,none,public,1000,1.3.6.1.2.1.2.2.1.10.2,1.3.6.1.2.1.2.2.1.16.2,\r\n' >vellary.cfg
printf 'Backup,none,public,1000,1.3.6.1.2.1.2.2.1.10.3,1.3.6.1.2.1.2.2.1.16.3,\r\n' >>vellary.cfg
# Left by an earlier run: no header may follow.
printf 'Date,Hour,Time,%% In,%% Out\r\n04-12-2026,23,23:58:00,7,1' >earlier.csv
cp earlier.csv Uplink.csv
cp earlier.csv Backup.csv

wine "$holder" Uplink.csv release >holder.out 2>&1 &
for _ in $(seq 300); do grep -q held holder.out 2>/dev/null && break; sleep 0.1; done
grep -q held holder.out || { echo "FAILED: the holder did not take Uplink.csv: $(cat holder.out)"; exit 1; }
chattr +i Backup.csv 2>/dev/null || skip "chattr +i is refused here, so Backup.csv cannot be made read-only for root"

# The first cycle takes the baselines and writes no row; the next three cannot write.
started=$(date +%s)
wine "$exe" &
program=$!
wait_cycles() {  # wait_cycles <n>: until n cycles have polled Backup, the last interface
  local deadline=$((started + 5 + $1 * (period + 10)))
  local n
  while n=$(grep -c ',Backup,Not able to ping' vellarylog.txt 2>/dev/null); [ "${n:-0}" -lt "$1" ]; do
    [ "$(date +%s)" -lt "$deadline" ] || { echo "FAILED: $1 cycles did not complete in time"; exit 1; }
    kill -0 "$program" 2>/dev/null || { echo "FAILED: the program ended early"; exit 1; }
    sleep 0.2
  done
  sleep 1  # the cycle's history rows follow its last ping line
}
wait_cycles $((1 + held_cycles))
cmp -s earlier.csv Uplink.csv || fail "Uplink.csv was written while held"
cmp -s earlier.csv Backup.csv || fail "Backup.csv was written while read-only"
touch release
chattr -i Backup.csv
wait_cycles $((2 + held_cycles))
wineserver -k 2>/dev/null

for name in Uplink Backup; do
  f=$name.csv
  rows=$(tail -n +3 "$f" | tr -d '\r')
  n=$(echo "$rows" | grep -c .)
  [ "$n" -eq $((held_cycles + 1)) ] || fail "$f has $n new rows, not $((held_cycles + 1)): $(tr '\r\n' ' ' <"$f")"
  [ "$(head -c "$(stat -c %s earlier.csv)" "$f")" = "$(cat earlier.csv)" ] || fail "$f lost its earlier content"
  # Each row with its own cycle's time: one period after the one before, give or take a second.
  echo "$rows" | awk -F, -v p="$period" -v f="$f" '{
      split($3, t, ":"); s = t[1] * 3600 + t[2] * 60 + t[3]
      if (NR > 1 && (s - prev < p - 1 || s - prev > p + 1)) printf "FAILED: %s rows %d s apart: %s\n", f, s - prev, $0
      prev = s }' | grep FAILED && failed=1
  said=$(grep ",$f\$" <(tr -d '\r' <vellarylog.txt) | cut -d, -f3 | tr '\n' ';')
  [ "$said" = "History write failure;History write resumed;" ] || fail "the log says of $f: $said"
done
echo "Uplink.csv: $(tr '\r\n' ' ' <Uplink.csv)"
echo "log: $(grep -v 'Not able to ping' vellarylog.txt | tr '\r\n' ' ')"
[ "$failed" -eq 0 ] && echo "held files: PASSED"
exit "$failed"
