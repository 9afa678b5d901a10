#!/usr/bin/env bash
# Faults of real networks, under Wine with the short-period program against the
# scripted agent (script_agent.cpp), in one run of a few cycles: each interface of
# vellary.cfg is a device of its own on the agent, told apart by its community.
#   Steady, Steady64  counters growing at a known rate, 32 and 64 bits: every
#                     row's bit rate, read from the table each cycle, within 0.1 %
#   Wrap              a 32-bit counter that really wraps: the one-wrap figure
#   Restart           a device that restarts, on a 100 Mbit/s link: no row from it
#   Silent            no answer for three cycles: empty fields, one "SNMP no
#                     answer" and one "SNMP answer again", then the true average
# Beside it runs a copy of the program whose wall clock steps an hour forward and
# back (stepped_clock.cpp): its rows move in time and keep their figures.
#
# The agent needs 127.0.0.1:161 (see tests/snmp/agent.cpp), so everything runs in
# a network namespace of its own, where no other test can hold that port; each
# program under a wineserver of its own. Needs root.
#
# faults.sh <vellary-quick.exe> <vellary-stepped.exe> <script_agent.exe> <read_table.exe> <period in seconds>
set -uo pipefail
quick=$(realpath "$1")
stepped=$(realpath "$2")
agent=$(realpath "$3")
reader=$(realpath "$4")
period=$5
cycles=6

skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAILED: $*"; failed=1; }
failed=0

[ "$(id -u)" -eq 0 ] || skip "needs root: a network namespace"
for tool in ip Xvfb wine wineserver; do
  command -v "$tool" >/dev/null || skip "$tool is not installed"
done

work=$(mktemp -d /tmp/vellary-faults.XXXXXX)
ns=vel-faults-$$
xvfb=
prefixes=("$work/prefix" "$work/prefix-stepped")
export WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
cleanup() {
  local p
  for p in "${prefixes[@]}"; do WINEPREFIX=$p wineserver -k 2>/dev/null; done
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  wait 2>/dev/null
  ip netns del "$ns" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
err=$(ip netns add "$ns" 2>&1) || skip "cannot create a network namespace (ip netns add: ${err:-failed})"
ip -n "$ns" link set lo up || skip "cannot bring up the loopback of $ns"
in_ns() { ip netns exec "$ns" "$@"; }

. "$(dirname "$0")/../../scripts/lib.sh"
for p in "${prefixes[@]}"; do
  private_wine_prefix "${E2E_SOURCE_PREFIX:-}" "$p" || { echo "FAILED: no Wine prefix"; exit 1; }
done
# ip netns exec becomes the command: $! is the server's own.
ip netns exec "$ns" Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "FAILED: Xvfb did not start"; exit 1; }
export DISPLAY=:$(cat "$work/display")

# --- the devices: rates in bit/s ------------------------------------------------------
in32=12345678 out32=2345678        # 12 % and 2 % of 100 Mbit/s
in64=1234567890 out64=345678901    # 12 % and 3 % of 10 Gbit/s
# The wrap comes 15 s after the first poll: between the second and the third.
wrap_start=$((4294967296 - 15 * in32 / 8))
cat >"$work/script" <<EOF
steady   $in32 $out32
steady64 $in64 $out64
wrap     $in32 $out32 start=$wrap_start
restart  $in32 $out32 start=3000000000 restart=3
silent   $in32 $out32 silent=3+3
stepped  $in32 $out32
EOF
line() {  # line <name> <community> <speed> <32|64>
  local oids='1.3.6.1.2.1.2.2.1.10.1,1.3.6.1.2.1.2.2.1.16.1'
  [ "$4" = 64 ] && oids='1.3.6.1.2.1.31.1.1.1.6.1,1.3.6.1.2.1.31.1.1.1.10.1'
  printf '%s,127.0.0.1,%s,%s,%s,\r\n' "$1" "$2" "$3" "$oids"
}
# The table is read while the last rows are polled: the rows whose rates are
# checked come first.
mkdir "$work/run" "$work/run-stepped"
{
  line Steady steady 100000000 32
  line Steady64 steady64 10000000000 64
  line Wrap wrap 100000000 32
  line Restart restart 100000000 32
  line Silent silent 100000000 32
} >"$work/run/vellary.cfg"
line Stepped stepped 100000000 32 >"$work/run-stepped/vellary.cfg"

# --- the run --------------------------------------------------------------------------
export WINEPREFIX=${prefixes[0]}
ip netns exec "$ns" wine "$agent" "$work/script" "$work/requests.log" >"$work/agent.out" 2>&1 &
for _ in $(seq 300); do grep -q ready "$work/agent.out" && break; sleep 0.1; done
grep -q ready "$work/agent.out" || { echo "FAILED: the agent did not start: $(cat "$work/agent.out")"; exit 1; }
started=$(date +%s)
(cd "$work/run" && exec ip netns exec "$ns" wine "$quick") &
program=$!
(cd "$work/run-stepped" && WINEPREFIX=${prefixes[1]} exec ip netns exec "$ns" wine "$stepped") &

rows() { [ -f "$1" ] && echo $(($(grep -c '' "$1") - 1)) || echo 0; }
wait_rows() {  # wait_rows <file> <n>: until the file holds n rows
  local deadline=$((started + 10 + ($2 + 1) * (period + 15)))
  while [ "$(rows "$1")" -lt "$2" ]; do
    [ "$(date +%s)" -lt "$deadline" ] || { echo "FAILED: $(basename "$1") has no row $2 in time"; exit 1; }
    kill -0 "$program" 2>/dev/null || { echo "FAILED: the program ended early"; exit 1; }
    sleep 0.2
  done
}
# Each cycle's figures of the first three rows, once their history rows are out.
for ((k = 1; k < cycles; k++)); do
  wait_rows "$work/run/Wrap.csv" "$k"
  in_ns wine "$reader" 2>/dev/null | tr -d '\r' | awk -F, -v k="$k" '{ print k, $2, $5, $6 }' >>"$work/table.txt"
done
wait_rows "$work/run/Silent.csv" $((cycles - 1))
wait_rows "$work/run-stepped/Stepped.csv" $((cycles - 1))
for p in "${prefixes[@]}"; do WINEPREFIX=$p wineserver -k 2>/dev/null; done

# --- what the files hold ----------------------------------------------------------------
figures() { tail -n +2 "$work/run/$1.csv" | tr -d '\r' | cut -d, -f4,5 | tr '\n' ' '; }
expect_rows() {  # expect_rows <name> <the rows' figures, "in,out" each>
  local got
  got=$(figures "$1")
  echo "$1.csv: $got"
  [ "$got" = "$2 " ] || fail "$1.csv holds $got, not $2"
}
expect_rows Steady "12,2 12,2 12,2 12,2 12,2"
expect_rows Steady64 "12,3 12,3 12,3 12,3 12,3"
expect_rows Wrap "12,2 12,2 12,2 12,2 12,2"
expect_rows Restart "12,2 , 12,2 12,2 12,2"
expect_rows Silent "12,2 , , , 12,2"

# Every cycle's bit rate of the known-rate rows against the agent's.
echo "table, cycle by cycle: $(tr '\n' ';' <"$work/table.txt")"
awk -v i32="$in32" -v o32="$out32" -v i64="$in64" -v o64="$out64" '
  function check(name, got, want,  e) {
    e = (got - want) / want; if (e < 0) e = -e
    if (e > worst[name]) worst[name] = e
    if (got !~ /^[0-9]+$/ || e > 0.001) printf "FAILED: cycle %d, %s: %s bit/s for %d\n", $1 + 1, name, got, want
  }
  $2 == "Steady" || $2 == "Wrap" { check($2 " in", $3, i32); check($2 " out", $4, o32) }
  $2 == "Steady64" { check($2 " in", $3, i64); check($2 " out", $4, o64) }
  END { for (n in worst) printf "largest error of %s: %.4f %%\n", n, worst[n] * 100 }' "$work/table.txt" |
  sort | tee "$work/rates.txt"
grep -q FAILED "$work/rates.txt" && failed=1
[ "$(grep -c 'largest error' "$work/rates.txt")" -eq 6 ] || fail "the table did not show all six rates"

# The log: the silence, once each way, and nothing else.
said=$(tr -d '\r' <"$work/run/vellarylog.txt" | cut -d, -f3- | tr '\n' ';')
echo "log: $said"
[ "$said" = "Silent,SNMP no answer;Silent,SNMP answer again;" ] || fail "the log says $said"

# What was asked: two GETs a poll, one sysUpTime in SNMPv1 after each decrease.
asked() { awk -v c="$1" -v what="$2" '$2 == c && $5 == what' "$work/requests.log"; }
for c in steady steady64 wrap restart silent; do
  polls=$(asked "$c" in | wc -l)
  outs=$(asked "$c" out | wc -l)
  [ "$polls" -ge "$cycles" ] && [ "$outs" -eq "$polls" ] || fail "$c: $polls inbound and $outs outbound GETs"
done
[ -z "$(asked steady64 in | awk '$3 != "2c"')$(asked steady in | awk '$3 != "1"')" ] ||
  fail "a GET in the wrong version"
for c in steady steady64 silent; do
  [ -z "$(asked "$c" uptime)" ] || fail "$c was asked for sysUpTime without a decrease"
done
[ "$(asked restart uptime | awk '{ print $3, $4 }')" = "1 3" ] ||
  fail "restart: sysUpTime asked as $(asked restart uptime | tr '\n' ';'), not once in SNMPv1 at poll 3"
[ "$(asked wrap uptime | wc -l)" -eq 1 ] && [ "$(asked wrap uptime | awk '{ print $3 }')" = 1 ] ||
  fail "wrap: sysUpTime asked as $(asked wrap uptime | tr '\n' ';')"
asked wrap in | awk 'NR > 1 && $6 < last { wrapped = 1 } { last = $6 } END { exit !wrapped }' ||
  fail "the wrap device's counter never wrapped between two polls"

# The stepped clock: rows an hour ahead and back, each with its figures.
stepped_rows=$(tail -n +2 "$work/run-stepped/Stepped.csv" | tr -d '\r')
echo "Stepped.csv: $(echo "$stepped_rows" | tr '\n' ' ')"
echo "$stepped_rows" | awk -F, '$4 != 12 || $5 != 2 { print "FAILED: a stepped row with " $4 "," $5 }' | grep FAILED && failed=1
steps=$(echo "$stepped_rows" | while IFS=, read -r date _ time _; do
    TZ=UTC date -d "$(echo "$date" | awk -F- '{ print $3 "-" $2 "-" $1 }') $time" +%s
  done | awk '{ if (NR > 1) { d = $1 - prev; printf "%s ", (d > 1800 ? "ahead" : d < -1800 ? "back" : d >= 8 && d <= 14 ? "on" : d) }
    prev = $1 }')
[ "$steps" = "ahead on back on " ] || fail "the stepped rows moved by $steps"

if [ "$failed" -ne 0 ]; then
  for f in "$work"/run/*.csv "$work/run/vellarylog.txt" "$work/requests.log"; do
    echo "--- $(basename "$f")"
    tr -d '\r' <"$f"
    echo
  done
  exit 1
fi
echo "faults: PASSED"
