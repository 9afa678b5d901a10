#!/usr/bin/env bash
# vellary-cfg.exe under Wine against snmpd (native): the lines it prints, as
# written on Windows, the same over SNMPv3 for a label of vellary-v3.cfg (the
# keys and ciphers from CNG), and the tries, message and untouched file of a
# wrong community.
#
# walk-wine.sh <vellary-cfg.exe> <wine-run>
set -uo pipefail
exe=$1
wine_run=$2

skip() { echo "SKIPPED: $*"; exit 77; }
failed=0
fail() { echo "FAILED: $*"; failed=1; }

[ "$(id -u)" -eq 0 ] || skip "needs root: snmpd on port 161"
for tool in snmpd snmpget wine; do
  command -v "$tool" >/dev/null || skip "$tool is not installed"
done

work=$(mktemp -d /tmp/vellary-walk-wine.XXXXXX)
pid=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# snmpd on the first free address of 127.0.0.91-99, with a community of this run's own.
community=w$$
community=${community:0:10}
agent=
for n in $(seq 91 99); do
  a=127.0.0.$n
  printf 'agentAddress udp:%s:161\nrocommunity %s default\n' "$a" "$community" >"$work/snmpd.conf"
  printf 'createUser wwalker SHA-512 wineauth1 AES-256 winepriv1\nrouser wwalker priv\n' >>"$work/snmpd.conf"
  mkdir -p "$work/state"
  SNMP_PERSISTENT_DIR=$work/state MIBS= snmpd -f -C -c "$work/snmpd.conf" -Lf "$work/snmpd.log" -M /nonexistent &
  pid=$!
  for _ in $(seq 30); do
    kill -0 "$pid" 2>/dev/null || break
    snmpget -v1 -c "$community" -t 0.2 -r 0 "$a" 1.3.6.1.2.1.1.3.0 >/dev/null 2>&1 && { agent=$a; break; }
    sleep 0.1
  done
  [ -n "$agent" ] && break
  kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; pid=
done
[ -n "$agent" ] || { echo "FAILED: snmpd did not start on 127.0.0.91-99"; exit 1; }

# --- the lines: the program as shipped, its output as written on Windows ----------------
# (What the lines hold is checked natively against the same agent, walk_snmpd_test.)
"$wine_run" "$exe" "$agent" "$community" >"$work/out" 2>"$work/err"
code=$?
[ "$code" -eq 0 ] || fail "exit code $code: $(cat "$work/err")"
lo=$(cat /sys/class/net/lo/ifindex)
lines=$(grep -c '' "$work/out")
[ "$lines" -ge 1 ] && [ "$lines" -le 10 ] || fail "$lines lines"
grep -vqE '^([^,]+,){6}'$'\r''$' "$work/out" && fail "a line is not six fields, each with its comma, and CR LF"
tail -n 1 "$work/out" | grep -qF "lo,$agent,$community," || fail "the loopback is not the last line"
tail -n 1 "$work/out" | grep -qF ",1.3.6.1.2.1.31.1.1.1.6.$lo,1.3.6.1.2.1.31.1.1.1.10.$lo," ||
  fail "the loopback is not on its 64-bit counters"
echo "lines:"
sed 's/\r$//; s/^/  /' "$work/out"

# --- a label: the same lines over SNMPv3, carrying the label ----------------------------
printf 'v3lab,wwalker,SHA-512,wineauth1,AES-256,winepriv1\r\n' >"$work/vellary-v3.cfg"
(cd "$work" && "$wine_run" "$exe" "$agent" v3lab >"$work/out3" 2>"$work/err3")
code=$?
[ "$code" -eq 0 ] || fail "label: exit code $code: $(cat "$work/err3")"
# Other tests add and remove interfaces meanwhile; the loopback's line stays.
[ "$(tail -n 1 "$work/out3")" = "$(tail -n 1 "$work/out" | sed "s/,$community,/,v3lab,/")" ] ||
  fail "label: the loopback's line differs from the community's: $(cat "$work/out3")"
rm "$work/vellary-v3.cfg"

# --- a wrong community: no answer to four tries a second apart in each version ----------
printf 'edited\r\n' >"$work/vellary.cfg"
start=$(date +%s%N)
(cd "$work" && "$wine_run" "$exe" -o vellary.cfg "$agent" wrong >"$work/out" 2>"$work/err")
code=$?
ms=$((($(date +%s%N) - start) / 1000000))
[ "$code" -eq 1 ] || fail "wrong community: exit code $code"
[ -s "$work/out" ] && fail "wrong community: printed $(cat "$work/out")"
grep -qF "no answer from $agent over SNMPv2c or SNMPv1 (4 tries each, 1000 ms apart)" "$work/err" ||
  fail "wrong community: $(cat "$work/err")"
[ "$(cat "$work/vellary.cfg")" = $'edited\r' ] || fail "wrong community: vellary.cfg was changed"
[ "$ms" -ge 8000 ] && [ "$ms" -le 20000 ] || fail "wrong community: took $ms ms"

[ "$failed" -eq 0 ] || exit 1
echo "vellary-cfg.exe under Wine: PASSED"
