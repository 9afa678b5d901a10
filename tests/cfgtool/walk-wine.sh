#!/usr/bin/env bash
# vellary-cfg.exe under Wine against snmpd (native): the lines it prints, byte
# for byte against what snmpwalk reads from the same agent, and its failures.
#
# walk-wine.sh <vellary-cfg.exe> <wine-run>
set -uo pipefail
exe=$1
wine_run=$2

skip() { echo "SKIPPED: $*"; exit 77; }
failed=0
fail() { echo "FAILED: $*"; failed=1; }

[ "$(id -u)" -eq 0 ] || skip "needs root: snmpd on port 161"
for tool in snmpd snmpwalk snmpget wine; do
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

column() {  # column <oid>: "index value" per row
  MIBS= snmpwalk -v1 -c "$community" -m '' -On -Oq "$agent" "$1" | sed 's/^.*\.\([0-9]*\) /\1 /; s/"//g'
}

# --- the lines --------------------------------------------------------------------
# What the walker should print, from snmpwalk: the interfaces that are up, in
# ifIndex order with the loopback (ifType 24) last, at most ten, named by ifName,
# at ifSpeed unless that is 0 or saturated (then ifHighSpeed in Mbit/s), on the
# HC counters, which snmpd serves over v2c.
predict() {  # predict <file>
  local loopback index status type name speed high
  : >"$1.all"
  for loopback in 0 1; do
    while read -r index status; do
      [ "$status" = 1 ] || continue
      type=$(column 1.3.6.1.2.1.2.2.1.3 | awk -v i="$index" '$1 == i { print $2 }')
      { [ "$type" = 24 ] && [ $loopback = 1 ]; } || { [ "$type" != 24 ] && [ $loopback = 0 ]; } || continue
      name=$(column 1.3.6.1.2.1.31.1.1.1.1 | awk -v i="$index" '$1 == i { print $2 }')
      speed=$(column 1.3.6.1.2.1.2.2.1.5 | awk -v i="$index" '$1 == i { print $2 }')
      high=$(column 1.3.6.1.2.1.31.1.1.1.15 | awk -v i="$index" '$1 == i { print $2 }')
      if { [ "$speed" = 0 ] || [ "$speed" = 4294967295 ]; } && [ "${high:-0}" -gt 0 ]; then
        speed=$((high * 1000000))
      fi
      printf '%s,%s,%s,%s,1.3.6.1.2.1.31.1.1.1.6.%s,1.3.6.1.2.1.31.1.1.1.10.%s,\r\n' \
        "$name" "$agent" "$community" "$speed" "$index" "$index" >>"$1.all"
    done < <(column 1.3.6.1.2.1.2.2.1.8)
  done
  head -n 10 "$1.all" >"$1"
}
# Other tests add and remove interfaces (veth pairs): the prediction must hold
# from before the walk to after it.
for _ in 1 2 3 4 5; do
  predict "$work/before"
  "$wine_run" "$exe" "$agent" "$community" >"$work/out" 2>"$work/err"
  code=$?
  predict "$work/after"
  cmp -s "$work/before.all" "$work/after.all" && break
done
[ "$code" -eq 0 ] || fail "exit code $code: $(cat "$work/err")"
# Past ten interfaces a note names those left out; otherwise nothing is said.
if [ "$(grep -c '' "$work/after.all")" -le 10 ] && [ -s "$work/err" ]; then
  fail "standard error: $(cat "$work/err")"
fi
if cmp -s "$work/after" "$work/out"; then
  echo "lines:"
  sed 's/\r$//; s/^/  /' "$work/out"
else
  fail "the lines differ from snmpwalk's reading"
  echo "expected:"; od -c "$work/after" | head -20
  echo "printed:"; od -c "$work/out" | head -20
fi
grep -q $'^lo,.*\r$' "$work/out" || fail "no line for the loopback interface"

# --- failures: the message on standard error, nothing on standard output --------------
expect_failure() {  # expect_failure <what> <message part> <least ms> <most ms> <args...>
  local what=$1 part=$2 least=$3 most=$4 start ms
  shift 4
  start=$(date +%s%N)
  "$wine_run" "$exe" "$@" >"$work/out" 2>"$work/err"
  code=$?
  ms=$((($(date +%s%N) - start) / 1000000))
  [ "$code" -eq 1 ] || fail "$what: exit code $code"
  [ -s "$work/out" ] && fail "$what: printed $(cat "$work/out")"
  grep -qF -- "$part" "$work/err" || fail "$what: message $(cat "$work/err")"
  [ "$ms" -ge "$least" ] && [ "$ms" -le "$most" ] || fail "$what: took $ms ms"
  echo "$what: $(head -c 100 "$work/err") ($ms ms)"
}
expect_failure "wrong community" "no answer from $agent within 4200 ms" 4200 12000 "$agent" wrong
expect_failure "host name" "is not an IPv4 address" 0 8000 router.example "$community"
expect_failure "no arguments" "usage: vellary-cfg HOST COMMUNITY" 0 8000

[ "$failed" -eq 0 ] || exit 1
echo "vellary-cfg.exe under Wine: PASSED"
