#!/usr/bin/env bash
# vellary-cfg against snmpd serving 1,500 interfaces (ifb links in a namespace
# of this run's own): --list shows every one, the walk succeeds, and it takes
# fewer round trips than snmpbulkwalk over the same seven columns.
#
# walk-big.sh <vellary-cfg>
set -uo pipefail
exe=$1
here=$(dirname "$0")
. "$here/big_device.sh"

skip() { echo "SKIPPED: $*"; exit 77; }
failed=0
fail() { echo "FAILED: $*"; failed=1; }

[ "$(id -u)" -eq 0 ] || skip "needs root: a network namespace and snmpd on port 161"
for tool in ip snmpd snmpbulkwalk; do
  command -v "$tool" >/dev/null || skip "$tool is not installed"
done

count=1500
community=big$$
community=${community:0:10}
ns=vel-cfg-$$
work=$(mktemp -d /tmp/vellary-walk-big.XXXXXX)
cleanup() {
  big_device_down "$ns" "$work"
  rm -rf "$work"
}
trap cleanup EXIT

why=$(big_device_up "$ns" "$count" "$community" "$work") || skip "$why"

# --- --list: the loopback and every ifb link -----------------------------------------
in_device "$ns" "$exe" --list 127.0.0.1 "$community" >"$work/list" 2>"$work/err"
code=$?
[ "$code" -eq 0 ] || fail "--list: exit code $code: $(cat "$work/err")"
rows=$(($(grep -c '' "$work/list") - 1))
[ "$rows" -eq $((count + 1)) ] || fail "--list shows $rows interfaces, not $((count + 1))"
[ "$(grep -c ' vif[0-9]* *ethernetCsmacd *up ' "$work/list")" -eq $((count / 2)) ] ||
  fail "--list does not show $((count / 2)) ifb links up"

# --- the walk, and its round trips against snmpbulkwalk's ----------------------------
before=$(datagrams_in "$ns")
in_device "$ns" "$exe" 127.0.0.1 "$community" >"$work/lines" 2>"$work/err"
code=$?
ours=$((($(datagrams_in "$ns") - before) / 2))
[ "$code" -eq 0 ] || fail "walk: exit code $code: $(cat "$work/err")"
[ "$(grep -c '' "$work/lines")" -eq 10 ] || fail "walk: $(grep -c '' "$work/lines") lines, not 10"
grep -q "$((count / 2 + 1)) interfaces are up and vellary.cfg holds ten" "$work/err" ||
  fail "walk: no note of the interfaces left out: $(head -c 300 "$work/err")"

before=$(datagrams_in "$ns")
for column in 1.3.6.1.2.1.2.2.1.{1,2,3,5,8} 1.3.6.1.2.1.31.1.1.1.{1,15}; do
  in_device "$ns" snmpbulkwalk -v2c -c "$community" -m '' -On 127.0.0.1 "$column" >/dev/null
done
theirs=$((($(datagrams_in "$ns") - before) / 2))
echo "round trips for $count interfaces: vellary-cfg $ours, snmpbulkwalk $theirs"
[ "$ours" -lt "$theirs" ] || fail "vellary-cfg took $ours round trips, snmpbulkwalk $theirs"

[ "$failed" -eq 0 ] || exit 1
echo "vellary-cfg against $count interfaces: PASSED"
