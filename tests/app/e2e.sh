#!/usr/bin/env bash
# End to end: the real program under Wine against three snmpd agents on loopback
# addresses and one device that does not answer (in a network namespace of its
# own), through several poll cycles. One interface, the host's end of the veth pair
# to that device's namespace, is shown seven times through the first agent: through its 32-bit counters, through its 64-bit (HC) ones over
# SNMPv2c, and over SNMPv3 as five users of vellary-v3.cfg (made in snmpd by
# createUser), one for each kind of security. Checks the log, the history files,
# the window's status images and that each of those rows measures the traffic
# (their rates cannot agree closely: the rows read the agent seconds apart, and
# how exact a rate is, app_faults checks against a scripted agent); leaves a
# screenshot in the artefact folder. Then vellary-report.exe draws the history
# files the program wrote: its summary must give the rows' percentages. There is
# no vellary.ini: no alert log among the files, and no icon in the tray.
#
# e2e.sh <program.exe> <artefact folder> <later period in seconds> <read_table.exe> <vellary-report.exe> <read_tray.exe>
set -uo pipefail
exe=$(realpath "$1")
artefacts=$(realpath -m "$2")
period=$3
reader=$(realpath "$4")
report=$(realpath "$5")
tray_reader=$(realpath "$6")
cycles=3

skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAILED: $*"; failed=1; }
failed=0

[ "$(id -u)" -eq 0 ] || skip "needs root: snmpd on port 161 and a network namespace"
for tool in snmpd snmpget snmpwalk ip Xvfb wine wineserver import convert xdotool ping; do
  command -v "$tool" >/dev/null || skip "$tool is not installed"
done

work=$(mktemp -d /tmp/vellary-e2e.XXXXXX)
run=$work/run
mkdir -p "$run" "$artefacts"
ns=vel-app-$$
veth=va$$
pids=()
xvfb=
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='

cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  wineserver -k 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  wait 2>/dev/null
  ip link del "${veth}a" 2>/dev/null
  ip netns del "$ns" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# --- the device that does not answer: ICMP echo ignored inside a namespace -------
err=$(ip netns add "$ns" 2>&1) || skip "cannot create a network namespace (ip netns add: ${err:-failed})"
net=198.19.$(($$ % 200 + 30))
ip link add "${veth}a" type veth peer name "${veth}b" &&
  ip link set "${veth}b" netns "$ns" &&
  ip addr add "$net.1/30" dev "${veth}a" && ip link set "${veth}a" up &&
  ip netns exec "$ns" sysctl -qw net.ipv4.icmp_echo_ignore_all=1 &&
  ip netns exec "$ns" ip addr add "$net.2/30" dev "${veth}b" &&
  ip netns exec "$ns" ip link set "${veth}b" up ||
  skip "cannot set up the veth pair into $ns"
dead=$net.2
ping -c 1 -W 1 "$dead" >/dev/null 2>&1 && { echo "FAILED: $dead answers pings"; exit 1; }

# --- three snmpd agents, each on the first free address of 127.0.0.61-79 -----------
next_addr=61
agent_addr=
start_agent() {  # start_agent <community>: sets agent_addr
  local community=$1 a conf pid
  agent_addr=
  while [ "$next_addr" -le 79 ]; do
    a=127.0.0.$next_addr
    next_addr=$((next_addr + 1))
    conf=$work/snmpd-$community.conf
    printf 'agentAddress udp:%s:161\nrocommunity %s default\nrwcommunity w%s 127.0.0.0/8\n' \
      "$a" "$community" "$community" >"$conf"
    printf '%s\n' "${v3_users[@]}" >>"$conf"
    mkdir -p "$work/persist-$community"
    SNMP_PERSISTENT_DIR=$work/persist-$community snmpd -f -C -c "$conf" -Lf "$work/snmpd-$community.log" \
      >/dev/null 2>&1 &
    pid=$!
    pids+=("$pid")
    # The community is this run's own, so an agent left on the address by someone
    # else does not pass for ours.
    for _ in $(seq 30); do
      kill -0 "$pid" 2>/dev/null || break  # the port was taken
      if snmpget -v1 -c "$community" -t 0.2 -r 0 "$a" 1.3.6.1.2.1.1.3.0 >/dev/null 2>&1; then
        agent_addr=$a
        # The interface counters fresh at every request (nsCacheTimeout of the
        # ifTable 0), not from a cache reloaded every 3 s: two rows polled a fraction
        # of a second apart then measure the same 10 s, not 9 s against 12 s.
        snmpset -v2c -c "w$community" -t 1 -r 2 "$a" 1.3.6.1.4.1.8072.1.5.3.1.2.1.3.6.1.2.1.2.2 i 0 >/dev/null ||
          { echo "FAILED: cannot turn off the interface cache of snmpd on $a"; exit 1; }
        return 0
      fi
      sleep 0.1
    done
    kill "$pid" 2>/dev/null
  done
  return 1
}
# The SNMPv3 users: snmpd's createUser lines and vellary-v3.cfg's, row by row.
v3_users=(
  "createUser v3sha256 SHA-256 e2eauth256 AES e2epriv256" "rouser v3sha256 priv"
  "createUser v3sha512 SHA-512 e2eauth512 AES-256 e2epriv512" "rouser v3sha512 priv"
  "createUser v3shac SHA e2eauthshac AES-256-C e2eprivshac" "rouser v3shac priv"
  "createUser v3md5 MD5 e2eauthmd5 AES e2eprivmd5" "rouser v3md5 priv"
  "createUser v3auth SHA e2eauthonly" "rouser v3auth auth")
v3_rows=(V3Sha256 V3Sha512 V3ShaC V3Md5 V3AuthOnly)
agents=()
communities=()
for stem in a b g; do
  community=$stem$$
  start_agent "$community" || { echo "FAILED: no free address for snmpd in 127.0.0.61-79"; exit 1; }
  agents+=("$agent_addr")
  communities+=("$community")
done
echo "agents: ${agents[*]}, silent device: $dead"

# The counters of the host's end of the veth pair, with pings from the namespace
# and their replies on it: a flow both ways that no other test's traffic (as on
# the loopback) moves.
if_index=$(snmpwalk -v1 -c "${communities[0]}" -On "${agents[0]}" 1.3.6.1.2.1.2.2.1.2 |
  awk -F' = STRING: ' -v name="${veth}a" '$2 == name || $2 == "\"" name "\"" { n = split($1, p, "."); print p[n]; exit }')
[ -n "$if_index" ] || { echo "FAILED: snmpd does not list the interface ${veth}a"; exit 1; }
ip netns exec "$ns" ping -q -i 0.01 -s 60000 "$net.1" >/dev/null 2>&1 &
pids+=($!)

in_oid=1.3.6.1.2.1.2.2.1.10.$if_index
out_oid=1.3.6.1.2.1.2.2.1.16.$if_index
hc_in_oid=1.3.6.1.2.1.31.1.1.1.6.$if_index
hc_out_oid=1.3.6.1.2.1.31.1.1.1.10.$if_index
{
  printf 'Alpha,%s,%s,1000000000,%s,%s,\r\n' "${agents[0]}" "${communities[0]}" "$in_oid" "$out_oid"
  printf 'AlphaHC,%s,%s,1000000000,%s,%s,\r\n' "${agents[0]}" "${communities[0]}" "$hc_in_oid" "$hc_out_oid"
  printf 'Dead,%s,public,1000000000,%s,%s,\r\n' "$dead" "$in_oid" "$out_oid"
  printf 'Beta,%s,%s,1000000000,%s,%s,\r\n' "${agents[1]}" "${communities[1]}" "$in_oid" "$out_oid"
  printf 'Gamma,%s,%s,1000000000,%s,%s,\r\n' "${agents[2]}" "${communities[2]}" "$in_oid" "$out_oid"
  # SNMPv3: the HC counters as for AlphaHC, the 32-bit ones for the authNoPriv row.
  printf 'V3Sha256,%s,sha256,1000000000,%s,%s,\r\n' "${agents[0]}" "$hc_in_oid" "$hc_out_oid"
  printf 'V3Sha512,%s,sha512,1000000000,%s,%s,\r\n' "${agents[0]}" "$hc_in_oid" "$hc_out_oid"
  printf 'V3ShaC,%s,shac,1000000000,%s,%s,\r\n' "${agents[0]}" "$hc_in_oid" "$hc_out_oid"
  printf 'V3Md5,%s,md5,1000000000,%s,%s,\r\n' "${agents[0]}" "$hc_in_oid" "$hc_out_oid"
  printf 'V3AuthOnly,%s,authonly,1000000000,%s,%s,\r\n' "${agents[0]}" "$in_oid" "$out_oid"
} >"$run/vellary.cfg"
{
  printf 'sha256,v3sha256,SHA-256,e2eauth256,AES,e2epriv256\r\n'
  printf 'sha512,v3sha512,SHA-512,e2eauth512,AES-256,e2epriv512\r\n'
  printf 'shac,v3shac,SHA,e2eauthshac,AES-256C,e2eprivshac\r\n'
  printf 'md5,v3md5,MD5,e2eauthmd5,AES,e2eprivmd5\r\n'
  printf 'authonly,v3auth,SHA,e2eauthonly,,\r\n'
} >"$run/vellary-v3.cfg"

# --- a screen and a Wine prefix of the test's own ---------------------------------
. "$(dirname "$0")/../../scripts/lib.sh"
start_xvfb "$work/display" || { echo "FAILED: Xvfb did not start"; exit 1; }
private_wine_prefix "${E2E_SOURCE_PREFIX:-}" "$WINEPREFIX" || { echo "FAILED: no Wine prefix"; exit 1; }

# --- the run ------------------------------------------------------------------------
rows() {  # rows <file>: history rows in the file
  [ -f "$1" ] || { echo 0; return; }
  local n
  n=$(grep -c '' "$1")
  echo $((n - 1))
}
started=$(date +%s)
(cd "$run" && exec wine "$exe") &
program=$!
pids+=("$program")
wait_cycles() {  # wait_cycles <n>: until the program has run n cycles
  local deadline=$((started + 5 + $1 * (period + 15)))
  while [ "$(rows "$run/V3AuthOnly.csv")" -lt $(($1 - 1)) ]; do
    [ "$(date +%s)" -lt "$deadline" ] || { echo "FAILED: $1 cycles did not complete in time"; exit 1; }
    kill -0 "$program" 2>/dev/null || { echo "FAILED: the program ended early"; exit 1; }
    sleep 0.5
  done
}
wait_cycles "$cycles"
# The screenshot as soon as the cycle is over, before the next one begins.
import -window root "$artefacts/e2e-window.png"
# The table as the program shows it; a row's "image bps-in bps-out". Read until
# every row has been seen with the figures of a finished poll (green, or red),
# since the next cycle may already be polling the first rows.
for _ in $(seq 5); do
  wine "$reader" 2>/dev/null | tr -d '\r' | awk -F, '$1 != 2' >>"$work/table.txt"
  [ "$(cut -d, -f2 "$work/table.txt" | sort -u | wc -l)" -eq 10 ] && break
done
row() { awk -F, -v n="$1" '$2 == n { print $1, $5, $6 }' "$work/table.txt" | tail -n 1; }
tray=$(wine "$tray_reader" 2>/dev/null | tr -d '\r' | grep Vellary)
[ -z "$tray" ] || fail "without vellary.ini the tray shows $tray"
echo "screenshot: $artefacts/e2e-window.png"
# The report while the program runs: the history files are open to both.
(cd "$run" && wine "$report" -o "$work/during.html") || fail "vellary-report.exe failed while the program ran"

# File > Exit from the keyboard; it is handled between cycles.
window=$(xdotool search --name '^Vellary - SNMP Monitor$' | head -1)
[ -n "$window" ] && xdotool windowfocus "$window" && sleep 0.3 && xdotool key alt+f && sleep 0.5 && xdotool key x
for _ in $(seq 150); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$program" 2>/dev/null; then
  fail "File > Exit did not end the program"
else
  wait "$program"
  code=$?
  [ "$code" -eq 0 ] || fail "exit code $code"
fi

# --- what it left ------------------------------------------------------------------
done_cycles=$(($(rows "$run/Alpha.csv") + 1))
echo "cycles run: $done_cycles"
[ "$done_cycles" -ge "$cycles" ] || fail "only $done_cycles cycles"

files=$(cd "$run" && ls | sort | tr '\n' ' ')
[ "$files" = "Alpha.csv AlphaHC.csv Beta.csv Dead.csv Gamma.csv V3AuthOnly.csv V3Md5.csv V3Sha256.csv \
V3Sha512.csv V3ShaC.csv vellary-v3.cfg vellary.cfg vellarylog.txt " ] || fail "files left: $files"

# The log: one line per cycle for the silent device, nothing else.
log=$run/vellarylog.txt
lines=$(grep -c '' "$log")
[ "$lines" -eq "$done_cycles" ] || fail "$lines log lines for $done_cycles cycles"
bad=$(grep -cvE $'^[0-9]{2}-[0-9]{2}-[0-9]{4},[0-9]{2}:[0-9]{2}:[0-9]{2},Dead,Not able to ping\r$' "$log")
[ "$bad" -eq 0 ] || fail "unexpected log lines: $(grep -vE ',Dead,Not able to ping' "$log" | head -3)"
# Cycles start one period after the first one began, not after it ended.
prev=
while IFS=, read -r date time _; do
  t=$(date -d "$(echo "$date" | awk -F- '{ print $3 "-" $2 "-" $1 }') $time" +%s)
  if [ -n "$prev" ]; then
    gap=$((t - prev))
    [ "$gap" -ge $((period - 1)) ] && [ "$gap" -le $((period + 2)) ] || fail "cycles $gap s apart, not $period"
  fi
  prev=$t
done <"$log"

# History: the header, then one row per cycle after the first, for every interface.
header=$'Date,Hour,Time,% In,% Out'
for name in Alpha AlphaHC Dead Beta Gamma "${v3_rows[@]}"; do
  f=$run/$name.csv
  [ "$(head -n 1 "$f")" = "$header"$'\r' ] || fail "$name.csv does not start with the header"
  [ "$(tail -c 2 "$f" | od -An -c | tr -d ' ')" != '\r\n' ] || fail "$name.csv ends in a line break"
  n=$(rows "$f")
  [ "$n" -eq $((done_cycles - 1)) ] || fail "$name.csv has $n rows for $done_cycles cycles"
  tail -n +2 "$f" | tr -d '\r' | while IFS=, read -r date hour time pin pout; do
    [[ $date =~ ^[0-9]{2}-[0-9]{2}-[0-9]{4}$ && $hour =~ ^[0-9]{2}$ && $time == "$hour":??:?? ]] ||
      echo "FAILED: $name.csv row $date,$hour,$time"
    case $name in
      Dead) [ "$pin,$pout" = "," ] || echo "FAILED: Dead.csv row with $pin,$pout (not measured: empty)" ;;
      *) [[ $pin =~ ^[0-9]+$ && $pout =~ ^[0-9]+$ && $pin -ge 1 && $pin -le 150 ]] ||
        echo "FAILED: $name.csv row with $pin,$pout (traffic of about 50 Mbit/s on a 1 Gbit/s link)" ;;
    esac
  done | grep FAILED && failed=1
done

# The interface seven times, green, each measuring the flow (about 50 Mbit/s each
# way); the silent device red, with no figures.
echo "table: $(tr '\n' ' ' <"$work/table.txt")"
for name in AlphaHC Alpha "${v3_rows[@]}"; do
  read -r img in out <<<"$(row "$name")"
  echo "$name: image ${img:-?}, bps in/out ${in:-?}/${out:-?}"
  [ "${img:-}" = 1 ] || fail "$name is not green (image ${img:-?})"
  [[ ${in:-} =~ ^[0-9]+$ && ${out:-} =~ ^[0-9]+$ ]] && [ "$in" -gt 1000000 ] && [ "$out" -gt 1000000 ] ||
    fail "$name does not measure the flow: bps in/out ${in:-?}/${out:-?}"
done
[ "$(awk -F, '$2 == "Dead"' "$work/table.txt" | tail -n 1)" = "0,Dead,,,," ] ||
  fail "the silent device's row: $(awk -F, '$2 == "Dead"' "$work/table.txt" | tail -n 1)"

# The screenshot: nine green rows and one red, nothing yellow (no poll running).
count() { convert "$artefacts/e2e-window.png" -crop 500x350+300+50 +repage -fill black +opaque "$1" \
  -fill white -opaque "$1" -format '%[fx:int(mean*w*h+0.5)]' info:; }
green=$(count '#00FF00') red=$(count '#FF0000') yellow=$(count '#FFFF00')
echo "status pixels: green $green, red $red, yellow $yellow"
[ "$green" -ge 2700 ] || fail "fewer green pixels ($green) than nine status images"
[ "$red" -ge 300 ] && [ "$red" -lt 900 ] || fail "not one red status image ($red red pixels)"
[ "$yellow" -lt 100 ] || fail "a yellow status image after the cycle ($yellow pixels)"

# The report of what the program wrote: now, average and maximum of each interface's rows.
(cd "$run" && wine "$report" -o "$work/report.html") || fail "vellary-report.exe failed"
for name in Alpha AlphaHC Dead Beta Gamma "${v3_rows[@]}"; do
  # Two rows per interface: In (after its name, speed and "In") and Out (after "Out").
  rows=$(grep -A1 "<tr class=\"in\"><td class=\"name\"[^>]*><a href=\"#if[0-9]*\">$name</a>" "$work/report.html" |
    tr -d '\r' | sed 's/<\/td>/|/g; s/<[^>]*>//g; s/ %//g')
  shown=$( (echo "$rows" | sed -n 1p | cut -d'|' -f4-6; echo "$rows" | sed -n 2p | cut -d'|' -f2-4) | paste -sd'|' |
    awk -F'|' '{ for (i = 1; i <= 6; i++) printf "%s ", ($i == "" ? "-" : $i) }')
  # An empty field is no figure: "-" where a direction has none, on the page and in the rows.
  want=$(tail -n +2 "$run/$name.csv" | tr -d '\r' | awk -F, '
    function add(v, d) { if (v == "") return; n[d]++; s[d] += v; if (n[d] == 1 || v > m[d]) m[d] = v }
    function put(d, last) { if (last == "") printf "- "; else printf "%d ", last
      if (n[d]) printf "%.2f %d ", s[d] / n[d], m[d]; else printf "- - " }
    { add($4, 1); add($5, 2); li = $4; lo = $5 }
    END { put(1, li); put(2, lo) }')
  echo "report of $name (now, average, maximum of In, then of Out): $shown; rows: $want"
  echo "$shown $want" | awk '{ for (i = 1; i <= 6; i++) if (($i == "-") != ($(i + 6) == "-") || ($i != "-" && ($i - $(i + 6)) ^ 2 > 0.0026)) exit 1 }' ||
    fail "the report of $name shows $shown, its rows give $want"
done
cp "$work/report.html" "$artefacts/e2e-report.html"

if [ "$failed" -ne 0 ]; then
  cp -r "$run" "$artefacts/e2e-run"
  echo "the run's files are in $artefacts/e2e-run"
  exit 1
fi
echo "end-to-end: PASSED"
