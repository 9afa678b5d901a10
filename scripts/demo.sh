#!/usr/bin/env bash
# The monitor at work on this machine: snmpd on a loopback address is the demo
# device, and the Windows program runs under Wine watching that device's real
# interfaces while some traffic flows over the loopback interface. Ctrl-C stops
# everything the demo started; the history files and the log stay in build/demo.
# After each cycle vellary-report.exe draws the history as build/demo/vellary-report.html.
# Alerts are on (build/demo/vellary.ini): a tray icon, and a program that appends
# each event to build/demo/alerts.txt.
#
#   scripts/demo.sh            the program as shipped: first poll after 5 s, then every 5 minutes
#   scripts/demo.sh --quick    a demo-only build: first poll after 2 s, then every 10 s
#   scripts/demo.sh --history  first 7 days of made-up rows for interfaces without history
#                              (either way: scripts/demo.sh --quick --history)
set -uo pipefail
cd "$(dirname "$0")/.."
top=$PWD
. scripts/lib.sh

program=vellary
history=0
for arg in "$@"; do
  case $arg in
    --quick) program=vellary-quick ;;
    --history) history=1 ;;
    *) sed -n '2,13s/^# \{0,1\}//p' "$0"; exit 2 ;;
  esac
done

sudo=
[ "$(id -u)" -eq 0 ] || sudo=sudo  # snmpd listens on port 161
ensure_packages "${BUILD_PACKAGES[@]}" || exit 1

echo "== building $program.exe, vellary-cfg.exe and vellary-report.exe"
cmake --preset windows -Wno-dev >/dev/null &&
  cmake --build --preset windows --target "$program" vellary-cfg vellary-report >/dev/null || exit 1
exe=$top/build/windows/app/$program.exe
report=$top/build/windows/report/vellary-report.exe

demo=$top/build/demo
mkdir -p "$demo/screenshots"
cd "$demo"

pids=()
xvfb=
stop() {
  trap - INT TERM EXIT
  echo
  echo "== stopping"
  # A polite close first: the window ends once any running cycle is over.
  if [ -n "${monitor:-}" ] && kill -0 "$monitor" 2>/dev/null; then
    wine taskkill /im "$program.exe" >/dev/null 2>&1
    for _ in $(seq 100); do kill -0 "$monitor" 2>/dev/null || break; sleep 0.2; done
  fi
  wineserver -k 2>/dev/null
  local p
  for p in "${pids[@]}"; do $sudo kill "$p" 2>/dev/null; done
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  wait 2>/dev/null
  echo "history files and log in $demo:"
  ls "$demo" | grep -E '\.csv$|^vellarylog\.txt$|^vellary-report\.html$|^alerts\.txt$' | sed 's/^/  /'
  [ -f "$demo/prometheus/vellary.prom" ] && echo "  prometheus/vellary.prom"
  [ -f "$demo/vellarylog.txt" ] || echo "  (no vellarylog.txt: nothing failed)"
  if [ -f "$demo/alerts.txt" ]; then
    echo "the alert program's lines (alerts.txt):"
    tail -n 8 "$demo/alerts.txt" | tr -d '\r' | sed 's/^/  /'
  fi
  exit 0
}
trap stop INT TERM EXIT

# --- the demo device ---------------------------------------------------------
community=demo
setter=demo-set-$$  # a loopback-only write community, to switch the counter cache off below
agent=
for n in 77 78 79 76 75; do
  a=127.0.0.$n
  printf 'agentAddress udp:%s:161\nrocommunity %s default\nrwcommunity %s 127.0.0.0/8\n' \
    "$a" "$community" "$setter" >snmpd.conf
  mkdir -p snmpd-state
  $sudo env SNMP_PERSISTENT_DIR="$demo/snmpd-state" snmpd -f -C -c "$demo/snmpd.conf" -Lf "$demo/snmpd.log" &
  pid=$!
  for _ in $(seq 30); do
    snmpget -v1 -c "$community" -t 0.2 -r 0 "$a" 1.3.6.1.2.1.1.3.0 >/dev/null 2>&1 && { agent=$a; break; }
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ -n "$agent" ]; then pids+=("$pid"); break; fi
  $sudo kill "$pid" 2>/dev/null
done
[ -n "$agent" ] || { echo "could not start snmpd on 127.0.0.75-79 port 161" >&2; exit 1; }
echo "== demo device: snmpd on $agent, community \"$community\""
# The interface counters fresh at every request (nsCacheTimeout of the ifTable 0),
# not from a cache reloaded every 3 s: In and Out of the loopback, read 0.2 s apart,
# then measure the same interval.
snmpset -v2c -c "$setter" -t 1 -r 2 "$agent" 1.3.6.1.4.1.8072.1.5.3.1.2.1.3.6.1.2.1.2.2 i 0 >/dev/null ||
  echo "   (could not turn off snmpd's counter cache: In and Out may disagree)" 

# --- Wine and a screen ------------------------------------------------------
# The screen comes before the first Wine program: the prefix's desktop lives as
# long as the prefix's wineserver and keeps the display it first found.
export WINEPREFIX=$demo/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
headless=0
if [ -z "${DISPLAY:-}" ]; then
  headless=1
  start_xvfb "$demo/.display"
fi
echo "== Wine prefix (the first run creates it, which takes a minute)"
ensure_wine_prefix "$WINEPREFIX" || exit 1
if [ "$headless" -eq 0 ]; then
  # On a real display the window manager draws the frame.
  wine reg delete 'HKCU\Software\Wine\X11 Driver' /v Managed /f >/dev/null 2>&1
  wineserver -w
fi

# Its interfaces that are up, written by vellary-cfg.exe: the walker a Windows
# user runs, from the build the demo makes anyway.
wine "$top/build/windows/cfgtool/vellary-cfg.exe" -o vellary.cfg "$agent" "$community" || exit 1
count=$(grep -c '' vellary.cfg)
echo "== vellary.cfg from vellary-cfg.exe: $count interfaces"
sed 's/\r$//; s/^/  /' vellary.cfg

# vellary.ini turns on the optional features: the exact history beside each
# history file, the Prometheus export in build/demo/prometheus, and alerts (below).
mkdir -p prometheus
ini=$'[history]\r\nexact = yes\r\n\r\n[export]\r\nprometheus = prometheus\r\n\r\n'

if [ "$history" -eq 1 ]; then
  # Not for a link of speed 0: the monitor writes 0 % for it whatever the traffic.
  names=$(awk -F, '$4 > 0 { print $1 ".csv" }' vellary.cfg)
  echo "== 7 days of made-up history for: $(echo $names)"
  # Each at its own speed, as the monitor would have written it; a seed each.
  seed=1
  while IFS=, read -r name _ _ speed _; do
    [ "${speed:-0}" -gt 0 ] 2>/dev/null || continue
    node "$top/tests/report/history.mjs" --days 7 --seed $seed --exact --speed "$speed" "$name.csv" || exit 1
    seed=$((seed + 1))
  done < <(tr -d '\r' <vellary.cfg)
fi

# The loopback interface's speed as the agent gives it; the traffic below is
# sized to it, so its percentages stay in range.
lo_speed=$(awk -F, '$1 == "lo" { print $4 }' vellary.cfg)
[ "${lo_speed:-0}" -gt 0 ] 2>/dev/null || lo_speed=10000000

# Alerts: the tray, and a batch file that appends each event to alerts.txt. Its
# values are read with delayed expansion (!NAME!), which takes a & or | in them
# as text. The loopback is "above" from 50 % of its speed, in one cycle.
ini+=$'[alerts]\r\ntray = yes\r\n'
ini+="run = Z:${demo//\//\\}\\alert.cmd"$'\r\n'
if awk -F, '$1 == "lo" { found = 1 } END { exit !found }' vellary.cfg; then
  ini+=$'\r\n[alerts lo]\r\nabove = 50\r\nabove-for = 1\r\n'
fi
printf '%s' "$ini" >vellary.ini
printf '%s\r\n' '@echo off' 'setlocal EnableDelayedExpansion' \
  '>>"%~dp0alerts.txt" echo !VELLARY_TIME! !VELLARY_INTERFACE! !VELLARY_EVENT! in=!VELLARY_IN! out=!VELLARY_OUT! !VELLARY_DETAIL!' \
  >alert.cmd
echo "== vellary.ini: the exact history (NAME.exact.csv), the export (prometheus/vellary.prom) and"
echo "   alerts on: the tray, and alert.cmd appending to alerts.txt"
sed 's/\r$//; s/^/  /' vellary.ini

# Traffic over the loopback interface, changing every 20 seconds: 15, 45, 90 and
# 30 % of its speed. 100 echoes a second, each request and reply counted in both
# directions, with 42 bytes of headers.
sizes=
for pct in 15 45 90 30; do
  size=$((lo_speed * pct / 100 / 1600 - 42))
  [ "$size" -ge 16 ] || size=16
  [ "$size" -le 65000 ] || size=65000
  sizes="$sizes $size"
done
(
  trap "$sudo kill \$ping 2>/dev/null; exit 0" TERM
  while :; do
    for size in $sizes; do
      $sudo timeout 20 ping -q -i 0.01 -s "$size" 127.0.0.1 >/dev/null 2>&1 &
      ping=$!
      wait $ping
    done
  done
) &
pids+=($!)

# --- the monitor -------------------------------------------------------------
if [ "$program" = vellary ]; then
  echo "== the shipped periods: the first poll only takes a baseline, figures appear"
  echo "   after the second poll, 5 minutes later (scripts/demo.sh --quick polls every 10 s)"
fi
wine "$exe" >"$demo/wine.log" 2>&1 &
monitor=$!
echo "== monitor running (Ctrl-C stops the demo)"

# The page of graphs, after each cycle, and a picture of it beside the window's.
draw() {
  wine "$report" >/dev/null 2>"$demo/report.log" || { sed 's/^/   /' "$demo/report.log"; return; }
  # Room for the summary, up to 20 alerts, and each interface's four graphs.
  local height=$(($(grep -c "" vellary.cfg) * 800 + 1100))
  chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking \
    --disable-component-update --disable-sync --hide-scrollbars --user-data-dir="$demo/chromium" \
    --window-size=1340,$height --screenshot="$demo/screenshots/report-$1.png" "file://$demo/vellary-report.html" \
    >/dev/null 2>&1 && echo "   screenshots/report-$1.png"
}
[ "$headless" -eq 1 ] && echo "   no display: screenshots after each cycle go to $demo/screenshots"
echo "   after each cycle the history is drawn in $demo/vellary-report.html"
first=5
[ "$program" = vellary-quick ] && first=2
last=$(sed -n '$s/,.*//p' vellary.cfg).csv
rows() { echo $(($(grep -c '' "$last" 2>/dev/null || echo 1) - 1)); }
before=$(rows)  # history of earlier runs stays; count this run's rows only
shot() {
  [ "$headless" -eq 1 ] || return 0
  import -window root -crop 500x350+300+50 +repage "screenshots/cycle-$1.png" && echo "   screenshots/cycle-$1.png"
}
# The tray's corner once an event has come, with its balloon (Wine shows one
# about 2 s after it is asked for).
alert_rows() { echo $(($(grep -c '' vellary-alerts.csv 2>/dev/null || echo 1) - 1)); }
alerts_seen=$(alert_rows)
tray_shot() {
  [ "$headless" -eq 1 ] || return 0
  local n
  n=$(alert_rows)
  [ "$n" -gt "$alerts_seen" ] || return 0
  alerts_seen=$n
  sleep 2
  import -window root -crop 300x150+0+0 +repage "screenshots/tray-$1.png" && echo "   screenshots/tray-$1.png"
}
timeout 60 xdotool search --sync --name '^Vellary - SNMP Monitor$' >/dev/null
# The first cycle writes no history: its screenshot is taken by time.
sleep $((first + 1 + count))
shot 01
draw 01
cycle=1
while kill -0 "$monitor" 2>/dev/null; do
  done_rows=$(($(rows) - before))
  if [ "$done_rows" -ge "$cycle" ]; then
    sleep 1
    cycle=$((done_rows + 1))
    shot "$(printf '%02d' "$cycle")"
    tray_shot "$(printf '%02d' "$cycle")"
    draw "$(printf '%02d' "$cycle")"
  fi
  sleep 1
done
