#!/usr/bin/env bash
# Measures the monitor and writes docs/performance.md: query latency, SNMPv3 against
# SNMPv2c, the clean-up, the webhook, cycle time, alerts, the flood, soak, idle cost, codec,
# the walker, the report over two years of history, and fuzzing. Takes about 40 minutes: the four
# 30-minute fuzz runs (nice 10, sharing the two cores) start once the timed figures are
# taken, and go on beside the soak and the idle measurement.
#   bench/run.sh
# Shorter runs for trying the script out (the report says what was used):
#   FUZZ_SECONDS=60 SOAK_ROUNDS=500 WINE_SOAK_ROUNDS=100 IDLE_SECONDS=10 WALK_ROUNDS=3 V3_FIRST=5 bench/run.sh
# Only vellary-report's step, its rows of docs/performance.md replaced:
#   BENCH_ONLY=report bench/run.sh
# Needs root: snmpd on port 161 of 127.0.0.11-20, network namespaces
# (vel-bench-<pid>) for the device that does not answer and (vel-bwalk-<pid>)
# for the device with 1,500 interfaces, raw ICMP.
set -uo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh

FUZZ_SECONDS=${FUZZ_SECONDS:-1800}
SOAK_ROUNDS=${SOAK_ROUNDS:-10000}
WINE_SOAK_ROUNDS=${WINE_SOAK_ROUNDS:-2000}
IDLE_SECONDS=${IDLE_SECONDS:-60}
QUERIES=${QUERIES:-200}
V3_FIRST=${V3_FIRST:-20}  # processes, each timing its first SNMPv3 query
V3_ROUNDS=${V3_ROUNDS:-5}  # rounds of SNMPv2c then SNMPv3 queries, QUERIES each
WALK_ROUNDS=${WALK_ROUNDS:-11}
COMMUNITY=vellbench

ensure_packages "${BUILD_PACKAGES[@]}" "${BENCH_PACKAGES[@]}" || exit 1

root=$PWD
work=$root/build/bench
results=$work/results
rm -rf "$work"
mkdir -p "$results"
commands=$results/commands.txt
: >"$commands"
failures=()

note() { echo "== $*"; }
# Runs a command, keeping it (relative to the repository) for the report.
run() {
  echo "${*//$root\//}" >>"$commands"
  "$@"
}
fail() { echo "bench: $*" >&2; failures+=("$*"); }

wine_env() {
  export WINEPREFIX=$root/build/bench-windows/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
}

# ---- builds --------------------------------------------------------------------
note "building (native Release, windows Release)"
win_targets=(netbench flood_test idle_ref vellary cycle_bench cycle_ui vellary-report webhookbench alerts_bench
  alert_program)
native_targets=(netbench codec_bench flood_test vellary-report vellary-cfg webhookbench alerts_bench alert_program)
if [ "${BENCH_ONLY:-}" = report ]; then
  win_targets=(vellary-report)
  native_targets=(vellary-report)
fi
{
  run cmake --preset bench-native -Wno-dev >/dev/null &&
    run cmake --build --preset bench-native -j2 --target "${native_targets[@]}"
} || { fail "native build"; exit 1; }
{
  run cmake --preset bench-windows -Wno-dev >/dev/null &&
    run cmake --build --preset bench-windows -j2 --target "${win_targets[@]}"
} || { fail "windows build"; exit 1; }
ensure_wine_prefix "$root/build/bench-windows/wineprefix" || { fail "wine prefix"; exit 1; }
native=$root/build/bench-native
windows=$root/build/bench-windows

# ---- the machine ---------------------------------------------------------------
{
  echo "cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
  echo "cores=$(nproc)"
  echo "memory=$(free -m | awk '/^Mem:/ {print $2 " MiB"}')"
  echo "kernel=$(uname -srm)"
  echo "os=$(. /etc/os-release && echo "$PRETTY_NAME")"
  echo "wine=$(wine --version 2>/dev/null)"
  echo "gcc=$(g++ -dumpfullversion)"
  echo "mingw=$(x86_64-w64-mingw32-g++-posix -dumpfullversion 2>/dev/null)"
  echo "clang=$(clang++ --version | head -1)"
  echo "snmpd=$(snmpd -v 2>/dev/null | grep -m1 -o 'version: *[0-9.]*' | sed 's/version: *//')"
  echo "date=$(date -u '+%Y-%m-%d %H:%M UTC')"
  echo "fuzz_seconds=$FUZZ_SECONDS"
  echo "soak_rounds=$SOAK_ROUNDS"
  echo "wine_soak_rounds=$WINE_SOAK_ROUNDS"
  echo "idle_seconds=$IDLE_SECONDS"
  echo "queries=$QUERIES"
  echo "hyperfine=$(hyperfine --version 2>/dev/null)"
  echo "walk_rounds=$WALK_ROUNDS"
} >"$results/machine.txt"

# ---- codec, on a quiet machine ---------------------------------------------------
note "codec"
[ "${BENCH_ONLY:-}" = report ] ||
  run "$native/bench/codec_bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
  --benchmark_out="$results/codec.json" --benchmark_out_format=json >/dev/null || fail "codec benchmark"

# ---- the report: ten interfaces with two years of 5-minute rows each ---------------
# Both kinds of file, as the monitor writes them with the exact history on (the
# report draws NAME.exact.csv and looks only at the start of NAME.csv), and the
# percent files alone, as without it.
note "vellary-report over 10 x 2 years of history, against cat of the same files"
rdir=$work/report
pdir=$work/report-percent
mkdir -p "$rdir" "$pdir"
for n in 01 02 03 04 05 06 07 08 09 10; do
  printf 'if%s,192.0.2.%d,public,1000000000,1.3.6.1.2.1.2.2.1.10.1,1.3.6.1.2.1.2.2.1.16.1,\r\n' "$n" "${n#0}"
done >"$rdir/vellary.cfg"
cp "$rdir/vellary.cfg" "$pdir/vellary.cfg"
echo "node tests/report/history.mjs --days 730 --exact if01.csv ... if10.csv" >>"$commands"
(cd "$rdir" && node "$root/tests/report/history.mjs" --days 730 --exact if{01..10}.csv) || fail "report: history"
echo "node tests/report/history.mjs --days 730 if01.csv ... if10.csv" >>"$commands"
(cd "$pdir" && node "$root/tests/report/history.mjs" --days 730 if{01..10}.csv) || fail "report: percent history"
{
  echo "report_bytes=$(cat "$rdir"/*.csv | wc -c)"
  echo "report_rows=$(($(cat "$rdir"/*.exact.csv | grep -c '') - 10))"
  echo "report_percent_bytes=$(cat "$pdir"/*.csv | wc -c)"
  echo "report_percent_rows=$(($(cat "$pdir"/*.csv | grep -c '') - 10))"
} >"$results/report.txt"
(cd "$rdir" && run hyperfine -N --warmup 3 --runs 30 --export-json "$results/report-native.json" \
  "cat $(echo if{01..10}.csv if{01..10}.exact.csv)" "$native/report/vellary-report -o $rdir/page.html") >/dev/null ||
  fail "report benchmark (native)"
(cd "$pdir" && run hyperfine -N --warmup 3 --runs 30 --export-json "$results/report-percent.json" \
  "cat $(echo if{01..10}.csv)" "$native/report/vellary-report -o $pdir/page.html") >/dev/null ||
  fail "report benchmark (native, percent files)"
# Its memory, which must not grow with the files' age.
(cd "$rdir" && /usr/bin/time -f 'report_rss_kb=%M' -a -o "$results/report.txt" "$native/report/vellary-report" \
  -o "$rdir/page.html") || fail "report memory"
wine_env
# The second command only starts and ends the program (a usage error): Wine's share of the time.
(cd "$rdir" && run hyperfine -i --warmup 2 --runs 10 --export-json "$results/report-wine.json" \
  "$root/scripts/wine-run $windows/report/vellary-report.exe -o page-wine.html" \
  "$root/scripts/wine-run $windows/report/vellary-report.exe -o page-empty.html --no-such-option") >/dev/null ||
  fail "report benchmark (Wine)"
wineserver -k 2>/dev/null

# BENCH_ONLY=report: this step alone, its rows put in place of the old ones.
if [ "${BENCH_ONLY:-}" = report ]; then
  note "updating the report's rows in docs/performance.md"
  python3 bench/report.py --report-only "$results" docs/performance.md >"$results/performance.md" &&
    cp "$results/performance.md" docs/performance.md || { echo "report failed" >&2; exit 1; }
  [ ${#failures[@]} -eq 0 ] && echo "bench: the report's rows written" || { printf '%s\n' "${failures[@]}"; exit 1; }
  exit 0
fi

# ---- peers: ten snmpd agents and a device that never answers ---------------------
agent_pids=()
ns=vel-bench-$$
link=velb$$
. tests/cfgtool/big_device.sh
bigns=vel-bwalk-$$
cleanup() {
  local pid
  for pid in "${agent_pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${agent_pids[@]}"; do wait "$pid" 2>/dev/null; done
  ip link del "$link" 2>/dev/null
  ip netns del "$ns" 2>/dev/null
  big_device_down "$bigns" "$work/big"
  if [ -n "${WINEPREFIX:-}" ]; then wineserver -k 2>/dev/null; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

note "starting snmpd on 127.0.0.11-20"
ifindex=$(cat /sys/class/net/lo/ifindex)
OID_IN=1.3.6.1.2.1.2.2.1.10.$ifindex
OID_OUT=1.3.6.1.2.1.2.2.1.16.$ifindex
HC_IN=1.3.6.1.2.1.31.1.1.1.6.$ifindex  # the same counter in 64 bits, over SNMPv2c
agents=()
for host in $(seq 11 20); do
  addr=127.0.0.$host
  dir=$work/agents/$addr
  mkdir -p "$dir/state"
  printf 'agentaddress udp:%s:161\nrocommunity %s 127.0.0.0/8\n[snmp] persistentDir %s/state\n' \
    "$addr" "$COMMUNITY" "$dir" >"$dir/snmpd.conf"
  # An SNMPv3 user too, for the SNMPv3 rows (authPriv: HMAC-SHA-256 and AES-128).
  printf 'createUser vbench SHA-256 benchauth1 AES benchpriv1\nrouser vbench priv\n' >>"$dir/snmpd.conf"
  up=0
  for attempt in 1 2 3 4 5; do  # another run's agent may still hold the address
    MIBS= snmpd -f -C -c "$dir/snmpd.conf" -Lf "$dir/snmpd.log" -M /nonexistent -p "$dir/snmpd.pid" &
    pid=$!
    for _ in $(seq 50); do
      kill -0 "$pid" 2>/dev/null || break
      if [ -n "$(MIBS= snmpget -v1 -c $COMMUNITY -m '' -Oqv -t 1 -r 0 "$addr" "$OID_IN" 2>/dev/null)" ]; then
        up=1
        break
      fi
      sleep 0.1
    done
    [ $up = 1 ] && break
    kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
    sleep 2
  done
  [ $up = 1 ] || { fail "snmpd would not start on $addr"; exit 1; }
  agent_pids+=("$pid")
  agents+=("$addr")
done
echo "snmpd: MIBS= snmpd -f -C -c <conf: agentaddress udp:127.0.0.N:161, rocommunity $COMMUNITY> (N = 11..20)" >>"$commands"

note "the device that does not answer: namespace $ns"
routed() { ip -4 route show match "$1" | grep -qv '^default'; }
silent=
for k in $(seq 0 63); do
  near=198.18.255.$((k * 4 + 1))
  peer=198.18.255.$((k * 4 + 2))
  routed "$near" || { silent=$peer; break; }
done
if [ -n "$silent" ] && ip netns add "$ns" &&
  ip link add "$link" type veth peer name velc$$ netns "$ns" &&
  ip addr add "$near/30" dev "$link" && ip link set "$link" up &&
  ip -n "$ns" addr add "$silent/30" dev velc$$ && ip -n "$ns" link set velc$$ up &&
  ip netns exec "$ns" sysctl -qw net.ipv4.icmp_echo_ignore_all=1; then
  echo "silent=$silent" >>"$results/machine.txt"
else
  fail "could not build the namespace for the silent device"
  silent=
fi

# ---- 1. query latency ------------------------------------------------------------
note "query latency: $QUERIES queries each"
a=${agents[0]}
run "$native/bench/netbench" query "$a" $COMMUNITY "$OID_IN" "$QUERIES" >"$results/query-native.txt" ||
  fail "native queries"
run "$native/bench/netbench" query "$a" $COMMUNITY "$OID_IN" "$QUERIES" slot >"$results/query-native-slot.txt" ||
  fail "native queries (slot wait)"
run "$native/bench/netbench" query "$a" $COMMUNITY "$HC_IN" "$QUERIES" slot >"$results/query-native-hc-slot.txt" ||
  fail "native HC queries (slot wait)"
echo "python3 (time each of $QUERIES runs of) MIBS= snmpget -v1 -c $COMMUNITY -m '' -Oqv -t 1 -r 0 $a $OID_IN" \
  >>"$commands"
python3 - "$QUERIES" "$a" "$COMMUNITY" "$OID_IN" >"$results/snmpget.txt" <<'EOF' || fail "snmpget timing"
import os, subprocess, sys, time
count, addr, community, oid = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
env = dict(os.environ, MIBS="")
cmd = ["snmpget", "-v1", "-c", community, "-m", "", "-Oqv", "-t", "1", "-r", "0", addr, oid]
ms, failures = [], 0
for i in range(count + 1):
    t0 = time.perf_counter()
    r = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=env)
    elapsed = (time.perf_counter() - t0) * 1000
    if i == 0:
        continue
    ms.append(elapsed)
    failures += r.returncode != 0 or not r.stdout.strip()
ms.sort()
rank = lambda q: ms[max(1, min(len(ms), int(q * len(ms) + 0.999999))) - 1]
print(f"snmpget_count={len(ms)}\nsnmpget_median_ms={rank(0.5):.3f}\nsnmpget_p95_ms={rank(0.95):.3f}")
print(f"snmpget_failures={failures}")
EOF
wine_env
run "$root/scripts/wine-run" "$windows/bench/netbench.exe" query "$a" $COMMUNITY "$OID_IN" "$QUERIES" \
  >"$results/query-wine.txt" || fail "queries under Wine"
run "$root/scripts/wine-run" "$windows/bench/netbench.exe" query "$a" $COMMUNITY "$OID_IN" "$QUERIES" slot \
  >"$results/query-wine-slot.txt" || fail "queries under Wine (slot wait)"

note "SNMPv3 authPriv against SNMPv2c, same agent and counter: $QUERIES queries each, then $V3_FIRST first queries"
# The label "bench" in vellary-v3.cfg names agent 0's user; netbench runs in that folder.
v3dir=$work/v3
mkdir -p "$v3dir"
printf 'bench,vbench,SHA-256,benchauth1,AES,benchpriv1\n' >"$v3dir/vellary-v3.cfg"
echo "vellary-v3.cfg: bench,vbench,SHA-256,benchauth1,AES,benchpriv1 (snmpd: createUser vbench SHA-256 benchauth1 AES benchpriv1)" \
  >>"$commands"
v3_rows() {  # v3_rows <label> <netbench command...>
  local label=$1 k
  shift
  # Rounds of each in turn, so that a slower spell of the machine or the agent
  # weighs on both alike.
  : >"$results/v3-v2c-$label.txt"
  : >"$results/v3-$label.txt"
  for k in $(seq "$V3_ROUNDS"); do
    (cd "$v3dir" && "$@" query "$a" $COMMUNITY "$HC_IN" "$QUERIES" slot) >>"$results/v3-v2c-$label.txt" ||
      fail "SNMPv2c queries for the SNMPv3 rows ($label)"
    (cd "$v3dir" && "$@" query "$a" bench "$HC_IN" "$QUERIES" slot) >>"$results/v3-$label.txt" ||
      fail "SNMPv3 queries ($label)"
  done
  echo "(cd v3 && ${*//$root\//} query $a $COMMUNITY $HC_IN $QUERIES slot), then the same with bench, $V3_ROUNDS rounds" \
    >>"$commands"
  # A process's first query discovers the engine and makes the user's keys.
  : >"$results/v3-first-$label.txt"
  for k in $(seq "$V3_FIRST"); do
    (cd "$v3dir" && "$@" query "$a" bench "$HC_IN" 1 slot first) | tr -d '\r' |
      sed -n 's/^query_median_ms=/first_ms=/p; s/^query_failures=/first_failures=/p' >>"$results/v3-first-$label.txt" ||
      fail "first SNMPv3 query ($label)"
  done
  echo "(cd v3 && ${*//$root\//} query $a bench $HC_IN 1 slot first), $V3_FIRST times" >>"$commands"
}
v3_rows native "$native/bench/netbench"
v3_rows wine "$root/scripts/wine-run" "$windows/bench/netbench.exe"

note "what a query is made of: sleep, thread, socket, a query that does not wait"
run "$native/bench/netbench" parts "$a" "$QUERIES" >"$results/parts-native.txt" || fail "native parts"
run "$root/scripts/wine-run" "$windows/bench/netbench.exe" parts "$a" "$QUERIES" >"$results/parts-wine.txt" ||
  fail "parts under Wine"

note "clean-up with 40 replies queued behind a 50 ms callback"
run "$native/bench/netbench" cleanup 20 >"$results/cleanup-native.txt" || fail "native clean-up"
run "$root/scripts/wine-run" "$windows/bench/netbench.exe" cleanup 20 >"$results/cleanup-wine.txt" ||
  fail "clean-up under Wine"

note "probe round trip"
run "$native/bench/netbench" probe "$a" 200 >"$results/probe-native.txt" || fail "native probes"
run "$root/scripts/wine-run" "$windows/bench/netbench.exe" probe "$a" 200 >"$results/probe-wine.txt" ||
  fail "probes under Wine"
if [ -n "$silent" ]; then
  run "$root/scripts/wine-run" "$windows/bench/netbench.exe" probe "$silent" 2 >"$results/probe-silent-wine.txt" ||
    fail "silent probes under Wine"
fi

# ---- the webhook: PostAlert to a receiver's arrival ---------------------------------
note "webhook: PostAlert to Python's http.server on 127.0.0.1, 20 arrivals, 200 calls"
# webhook_rows <label> <drive> <command...>: the receiver's URL and log go last.
webhook_rows() {
  local label=$1 drive=$2 dir=$work/webhook-$1 pid
  shift 2
  mkdir -p "$dir"
  python3 tests/alerts/receiver.py "$dir/port" "$dir/receiver.log" &
  pid=$!
  for _ in $(seq 100); do [ -f "$dir/port" ] && break; sleep 0.05; done
  run "$@" "http://127.0.0.1:$(cat "$dir/port" 2>/dev/null)/ok/bench" "$drive$dir/receiver.log" 20 200 |
    tr -d '\r' >"$results/webhook-$label.txt" || fail "webhook ($label)"
  kill "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
}
echo "python3 tests/alerts/receiver.py PORTFILE LOG (http.server on 127.0.0.1, a port of its own)" >>"$commands"
webhook_rows native "" "$native/bench/webhookbench"
webhook_rows wine Z: "$root/scripts/wine-run" "$windows/bench/webhookbench.exe"

# ---- 2. cycle time of the real window procedure -----------------------------------
# The webhook's Wine run had no display: a wineserver still up from it would give
# these windows none either.
wineserver -k 2>/dev/null
wineserver -w 2>/dev/null
write_config() {  # write_config <file> <address>...: one interface per address
  local file=$1 n=0 addr
  shift
  : >"$file"
  for addr in "$@"; do
    n=$((n + 1))
    printf 'if%02d,%s,%s,1000000000,%s,%s,\r\n' "$n" "$addr" $COMMUNITY "$OID_IN" "$OID_OUT" >>"$file"
  done
}
note "cycle time: ten answering devices, then one that does not answer"
mkdir -p "$work/cycle-all" "$work/cycle-silent"
write_config "$work/cycle-all/vellary.cfg" "${agents[@]}"
(cd "$work/cycle-all" &&
  run xvfb-run -a -s '-screen 0 1024x768x24' "$root/scripts/wine-run" "$windows/bench/cycle_bench.exe" 3) \
  >"$results/cycle-all.txt" || fail "cycle time, all answering"
# The same window and rows with polls that answer at once: the window's own work.
(cd "$work/cycle-all" &&
  run xvfb-run -a -s '-screen 0 1024x768x24' "$root/scripts/wine-run" "$windows/bench/cycle_ui.exe" 3) \
  >"$results/cycle-ui.txt" || fail "cycle time, the window alone"
if [ -n "$silent" ]; then
  write_config "$work/cycle-silent/vellary.cfg" "${agents[@]:0:5}" "$silent" "${agents[@]:6:4}"
  (cd "$work/cycle-silent" &&
    run xvfb-run -a -s '-screen 0 1024x768x24' "$root/scripts/wine-run" "$windows/bench/cycle_bench.exe" 3) \
    >"$results/cycle-silent.txt" || fail "cycle time, one silent"
  # The same, the silent device's "down" posted to a receiver that takes the
  # connection and never answers: the sender waits 10 s for it, the window not.
  mkdir -p "$work/cycle-post"
  cp "$work/cycle-silent/vellary.cfg" "$work/cycle-post/"
  python3 tests/alerts/receiver.py "$work/cycle-post/port" "$work/cycle-post/receiver.log" &
  rpid=$!
  for _ in $(seq 100); do [ -f "$work/cycle-post/port" ] && break; sleep 0.05; done
  printf '[alerts]\r\ndown = 1\r\npost = http://127.0.0.1:%s/silent/bench\r\n' "$(cat "$work/cycle-post/port")" \
    >"$work/cycle-post/vellary.ini"
  (cd "$work/cycle-post" &&
    run xvfb-run -a -s '-screen 0 1024x768x24' "$root/scripts/wine-run" "$windows/bench/cycle_bench.exe" 3) \
    >"$results/cycle-post.txt" || fail "cycle time, a post to a silent receiver"
  echo "posts=$(grep -c . "$work/cycle-post/receiver.log" 2>/dev/null)" >>"$results/cycle-post.txt"
  kill "$rpid" 2>/dev/null
  wait "$rpid" 2>/dev/null
fi

# ---- alerts: from a poll's end to the program's start, and the window thread's share ----
note "alerts: 20 program starts, then 200 events on the window thread, natively and under Wine"
alerts_rows() {  # alerts_rows <results file> <program> <alerts_bench command...>
  local out=$1 program=$2 dir
  shift 2
  : >"$out"
  for mode in start window log; do
    dir=$work/alerts-$mode-$(basename "$out" .txt)
    mkdir -p "$dir"
    local n=200 arg=$program
    [ "$mode" = start ] && n=20
    [ "$mode" = log ] && arg=
    # shellcheck disable=SC2086  # no program for the alert log alone
    (cd "$dir" && "$@" "$mode" "$n" $arg) >>"$out" || fail "alerts: $mode ($(basename "$out"))"
    echo "(in an empty folder) ${*//$root\//} $mode $n ${arg//$root\//}" >>"$commands"
  done
}
alerts_rows "$results/alerts-native.txt" "$native/tests/alerts/alert_program" "$native/bench/alerts_bench"
alerts_rows "$results/alerts-wine.txt" "Z:$windows/tests/alerts/alert_program.exe" \
  "$root/scripts/wine-run" "$windows/bench/alerts_bench.exe"
wineserver -k 2>/dev/null

# ---- flood, on a quiet machine: how late another thread's sleep comes back is a timing ----
note "flood: 10,000 bad datagrams, then 10,000 large numberless replies, during one query each"
# The flood's scripted agent binds 127.0.0.21-29 natively, 127.0.0.1 under Wine.
mkdir -p "$work/flood"
(cd "$work/flood" && run "$native/tests/snmp/flood_test") >"$work/flood-native.out" 2>&1 || fail "flood test (native)"
grep -o 'flood: .*' "$work/flood-native.out" | tr ' ' '\n' | grep = >"$results/flood-native.txt"
grep -o 'large: .*' "$work/flood-native.out" | tr ' ' '\n' | grep = >"$results/large-native.txt"
(cd "$work/flood" && run "$root/scripts/wine-run" "$windows/tests/snmp/flood_test.exe") >"$work/flood-wine.out" 2>&1 ||
  fail "flood test (Wine)"
grep -o 'flood: .*' "$work/flood-wine.out" | tr -d '\r' | tr ' ' '\n' | grep = >"$results/flood-wine.txt"
grep -o 'large: .*' "$work/flood-wine.out" | tr -d '\r' | tr ' ' '\n' | grep = >"$results/large-wine.txt"
wineserver -k 2>/dev/null

# ---- walk of a big device, on a quiet machine: vellary-cfg against snmpbulkwalk ----------
note "walk of 1,500 interfaces: vellary-cfg against snmpbulkwalk over the same columns, $WALK_ROUNDS rounds"
mkdir -p "$work/big"
columns="1.3.6.1.2.1.2.2.1.1 1.3.6.1.2.1.2.2.1.2 1.3.6.1.2.1.2.2.1.3 1.3.6.1.2.1.2.2.1.5 1.3.6.1.2.1.2.2.1.8"
columns="$columns 1.3.6.1.2.1.31.1.1.1.1 1.3.6.1.2.1.31.1.1.1.15"
bulkwalk() {
  local column
  for column in $columns; do
    in_device "$bigns" snmpbulkwalk -v2c -c $COMMUNITY -m '' -On 127.0.0.1 "$column" >/dev/null || return 1
  done
}
ourwalk() { in_device "$bigns" "$native/cfgtool/vellary-cfg" 127.0.0.1 $COMMUNITY >/dev/null 2>&1; }
# timed <key> <command...>: wall time and round trips (UDP datagrams received in
# the namespace, a request and its reply each) of one run.
timed() {
  local key=$1 t0 d0 us
  shift
  d0=$(datagrams_in "$bigns")
  t0=$(date +%s%N)
  "$@" || fail "walk of the big device: $key"
  us=$((($(date +%s%N) - t0) / 1000))
  printf '%s_ms=%d.%03d\n' "$key" $((us / 1000)) $((us % 1000))
  echo "${key}_round_trips=$((($(datagrams_in "$bigns") - d0) / 2))"
}
if why=$(big_device_up "$bigns" 1500 $COMMUNITY "$work/big"); then
  {
    echo "interfaces=1500"
    # Alternating, so whichever meets snmpd's reload of its interface list does not always pay.
    for round in $(seq "$WALK_ROUNDS"); do
      if [ $((round % 2)) -eq 1 ]; then
        timed ours ourwalk; timed bulk bulkwalk
      else
        timed bulk bulkwalk; timed ours ourwalk
      fi
    done
  } >"$results/walk-big.txt"
  echo "(in namespace $bigns, 1,500 ifb links, snmpd on 127.0.0.1) build/bench-native/cfgtool/vellary-cfg 127.0.0.1 $COMMUNITY; against: for each of the seven columns snmpbulkwalk -v2c -c $COMMUNITY -m '' -On 127.0.0.1 COLUMN; round trips from the namespace's Udp InDatagrams / 2" >>"$commands"
else
  fail "the big device: $why"
fi
big_device_down "$bigns" "$work/big"

# ---- fuzzing, in the background from here on: the timed figures above are taken ---
# ---- without them; soak and idle CPU time do not depend on a free core ----------------
note "fuzzing config_scan, settings_scan, ber_decode and v3_decode for ${FUZZ_SECONDS}s each, in the background"
fuzz_one() {  # fuzz_one <target> <corpus>
  local target=$1 corpus=$2 before after rc
  before=$(ls "fuzz/corpus/$corpus" | wc -l)
  rm -f "build/fuzz/$target.log"
  nice -n 10 fuzz/run.sh "$target" "$FUZZ_SECONDS" >"$work/fuzz-$target.out" 2>&1
  rc=$?
  after=$(ls "fuzz/corpus/$corpus" | wc -l)
  {
    echo "exit=$rc"
    echo "corpus_before=$before"
    echo "corpus_after=$after"
    grep -o 'stat::number_of_executed_units: *[0-9]*' "build/fuzz/$target.log" | tail -1 | sed 's/.*: */execs=/'
    grep -o 'stat::average_exec_per_sec: *[0-9]*' "build/fuzz/$target.log" | tail -1 | sed 's/.*: */execs_per_s=/'
    grep -o 'stat::peak_rss_mb: *[0-9]*' "build/fuzz/$target.log" | tail -1 | sed 's/.*: */peak_rss_mb=/'
    grep -E '^#[0-9]+' "build/fuzz/$target.log" | grep -o 'cov: [0-9]*' | tail -1 | sed 's/cov: /cov=/'
    grep -E '^#[0-9]+' "build/fuzz/$target.log" | grep -o 'ft: [0-9]*' | tail -1 | sed 's/ft: /ft=/'
    echo "findings=$(grep -c 'Test unit written' "build/fuzz/$target.log")"
  } >"$results/fuzz-$target.txt"
}
echo "nice -n 10 fuzz/run.sh config_scan $FUZZ_SECONDS" >>"$commands"
echo "nice -n 10 fuzz/run.sh settings_scan $FUZZ_SECONDS" >>"$commands"
echo "nice -n 10 fuzz/run.sh ber_decode $FUZZ_SECONDS" >>"$commands"
echo "nice -n 10 fuzz/run.sh v3_decode $FUZZ_SECONDS" >>"$commands"
fuzz_one config_scan config &
fuzz_config_pid=$!
fuzz_one settings_scan settings &
fuzz_settings_pid=$!
fuzz_one ber_decode ber &
fuzz_ber_pid=$!
fuzz_one v3_decode v3 &
fuzz_v3_pid=$!

# ---- 3. soak -----------------------------------------------------------------
note "soak: $SOAK_ROUNDS rounds natively, $WINE_SOAK_ROUNDS under Wine"
mkdir -p "$work/soak-native" "$work/soak-wine"
# glibc's per-thread cache counts as heap in use: off, so the heap figure is exact.
(cd "$work/soak-native" &&
  run env GLIBC_TUNABLES=glibc.malloc.tcache_count=0 "$native/bench/netbench" soak "${agents[1]}" $COMMUNITY "$OID_IN" "$OID_OUT" "$SOAK_ROUNDS") \
  >"$results/soak-native.txt" || fail "native soak"
(cd "$work/soak-wine" &&
  run "$root/scripts/wine-run" "$windows/bench/netbench.exe" soak "${agents[2]}" $COMMUNITY "$OID_IN" "$OID_OUT" \
    "$WINE_SOAK_ROUNDS") >"$results/soak-wine.txt" || fail "soak under Wine"

# ---- 4. idle cost under Wine ---------------------------------------------------------
# CPU time of every thread of a process, in nanoseconds.
cpu_ns() {
  local pid=$1 total=0 t f
  for f in /proc/"$pid"/task/*/schedstat; do
    read -r t _ <"$f" 2>/dev/null && total=$((total + t))
  done
  echo $total
}
# Times the threads of a process were switched out (each wait that ended is one).
switches() {
  cat /proc/"$1"/task/*/status 2>/dev/null | awk '/^(non)?voluntary_ctxt_switches:/ {n += $2} END {print n + 0}'
}
# The Linux process that runs a given .exe under our prefix.
exe_pid() {
  local exe=$1 pid
  for pid in $(pgrep -f "$exe"); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" || continue
    [ "$(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | cut -d' ' -f1 | xargs basename 2>/dev/null)" = xvfb-run ] &&
      continue
    grep -q 'wine' "/proc/$pid/maps" 2>/dev/null && { echo "$pid"; return; }
  done
}
server_pid() {
  local pid
  for pid in $(pgrep -x 'wineserver(64)?'); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" && { echo "$pid"; return; }
  done
}
# measure_idle <name> <exe> <settle seconds>: CPU time over IDLE_SECONDS, after the settle time.
measure_idle() {
  local name=$1 exe=$2 settle=$3 dir=$work/idle-$1 pid spid c0 c1 s0 s1 launcher
  mkdir -p "$dir"
  [ "$name" = vellary ] && write_config "$dir/vellary.cfg" "${agents[@]}"
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
  (cd "$dir" && exec xvfb-run -a -s '-screen 0 1024x768x24' "$root/scripts/wine-run" "$exe") >/dev/null 2>&1 &
  launcher=$!
  sleep "$settle"
  pid=$(exe_pid "$(basename "$exe")")
  spid=$(server_pid)
  if [ -z "$pid" ] || [ -z "$spid" ]; then
    fail "idle $name: the process was not found"
    wineserver -k 2>/dev/null
    wait "$launcher" 2>/dev/null
    return
  fi
  c0=$(cpu_ns "$pid") s0=$(cpu_ns "$spid") w0=$(switches "$pid")
  sleep "$IDLE_SECONDS"
  c1=$(cpu_ns "$pid") s1=$(cpu_ns "$spid") w1=$(switches "$pid")
  {
    echo "${name}_cpu_us=$(((c1 - c0) / 1000))"
    echo "${name}_switches=$((w1 - w0))"
    echo "${name}_cpu_before_ms=$((c0 / 1000000))"
    echo "${name}_server_cpu_us=$(((s1 - s0) / 1000))"
    echo "${name}_threads=$(ls /proc/"$pid"/task | wc -l)"
    echo "${name}_rss_kb=$(awk '/^VmRSS:/ {print $2}' /proc/"$pid"/status)"
  } >>"$results/idle.txt"
  echo "(in ${dir#"$root"/}) xvfb-run -a scripts/wine-run ${exe//$root\//}; CPU of its threads and of wineserver over ${IDLE_SECONDS}s, from ${settle}s on" \
    >>"$commands"
  wineserver -k 2>/dev/null
  wait "$launcher" 2>/dev/null
}
note "idle cost over ${IDLE_SECONDS}s: vellary.exe between cycles, then the reference window"
# The first cycle starts 5 s after the window and takes a few seconds: from 20 s
# on, the program waits for its next cycle, 300 s after the first began.
measure_idle vellary "$windows/app/vellary.exe" 20
measure_idle reference "$windows/bench/idle_ref.exe" 20

# ---- wait for the fuzzers, then the report ----------------------------------------------
note "waiting for the fuzzers"
wait "$fuzz_config_pid"
wait "$fuzz_settings_pid"
wait "$fuzz_ber_pid"
wait "$fuzz_v3_pid"
printf '%s\n' "${failures[@]}" >"$results/failures.txt"

note "writing docs/performance.md"
python3 bench/report.py "$results" >docs/performance.md || { echo "report failed" >&2; exit 1; }
cat "$results/failures.txt"
[ ${#failures[@]} -eq 0 ] && echo "bench: done, docs/performance.md written" || { echo "bench: ${#failures[@]} step(s) failed"; exit 1; }
