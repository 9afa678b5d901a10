#!/usr/bin/env bash
# The export as the real thing reads it: export_poll (the real poll and export
# against snmpd) leaves vellary.prom in a folder, promtool's lint must find
# nothing to say of it, Debian's node exporter serves the folder through its
# textfile collector, and Debian's Prometheus scrapes the node exporter; both
# on loopback ports of their own, started here and stopped at the end (the
# packages' own services are never started: scripts/lib.sh installs them so).
# Through Prometheus's HTTP API (promtool query), each interface's receive and
# transmit rates must be the program's bit rates ÷ 8, to the 1/8 byte that the
# bit rate's truncation leaves, with the collector reporting no error.
#
# prometheus.sh <export_poll>
set -uo pipefail
poll=$(realpath "$1")

skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAILED: $*"; failed=1; }
failed=0

[ "$(id -u)" -eq 0 ] || skip "needs root: snmpd on port 161 and the poll's ping"
for tool in prometheus prometheus-node-exporter promtool snmpd ss; do
  command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/lib.sh installs it)"
done

work=$(mktemp -d -t vellary-prom.XXXXXX)
pids=()
cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
mkdir "$work/textfile" "$work/tsdb"

# --- the export ----------------------------------------------------------------------
(cd "$work" && "$poll" "$work/textfile") >"$work/figures" 2>"$work/poll.err" ||
  { echo "FAILED: export_poll: $(cat "$work/poll.err")"; exit 1; }
echo "the program's figures (bps in, out): $(tr '\n' ';' <"$work/figures")"
file=$work/textfile/vellary.prom
lint=$(promtool check metrics <"$file" 2>&1) || fail "promtool check metrics: $lint"
[ -z "$lint" ] || fail "promtool check metrics says: $lint"
[ "$(tail -c 1 "$file" | od -An -c | tr -d ' ')" = '\n' ] || fail "vellary.prom does not end with a line break"

# --- the node exporter and Prometheus, each on the first free port from its own -------
free_port() {  # free_port <first>: the first port from there that nothing on 127.0.0.1 listens on
  local port=$1
  while [ -n "$(ss -Hltn "sport = :$port")" ]; do port=$((port + 1)); done
  echo "$port"
}
started() {  # started <pid> <url part> <log>: until the server answers, or it ended
  local _
  for _ in $(seq 100); do
    kill -0 "$1" 2>/dev/null || return 1
    grep -q "$2" "$3" 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}
node_port=$(free_port 19100)
prometheus-node-exporter --web.listen-address="127.0.0.1:$node_port" --collector.disable-defaults \
  --collector.textfile --collector.textfile.directory="$work/textfile" >"$work/node.log" 2>&1 &
pids+=($!)
started "$!" "Listening on" "$work/node.log" || { echo "FAILED: the node exporter did not start: $(cat "$work/node.log")"; exit 1; }

prom_port=$(free_port 19090)
[ "$prom_port" -ne "$node_port" ] || prom_port=$(free_port $((node_port + 1)))
cat >"$work/prometheus.yml" <<EOF
global:
  scrape_interval: 1s
scrape_configs:
  - job_name: vellary
    static_configs:
      - targets: ['127.0.0.1:$node_port']
EOF
prometheus --config.file="$work/prometheus.yml" --storage.tsdb.path="$work/tsdb" \
  --web.listen-address="127.0.0.1:$prom_port" >"$work/prometheus.log" 2>&1 &
pids+=($!)
started "$!" "Server is ready to receive web requests" "$work/prometheus.log" ||
  { echo "FAILED: Prometheus did not start: $(tail -5 "$work/prometheus.log")"; exit 1; }
server=http://127.0.0.1:$prom_port

# --- what Prometheus has -----------------------------------------------------------
query() { promtool query instant "$server" "$1" 2>/dev/null; }
series() {  # series <expr>: "interface value" lines
  query "$1" | sed -n 's/.*interface="\([^"]*\)".* => \([^ ]*\) @.*/\1 \2/p' | sort
}
for _ in $(seq 150); do
  [ "$(series vellary_interface_transmit_bytes_per_second | wc -l)" -eq 2 ] && break
  sleep 0.2
done
received=$(series vellary_interface_receive_bytes_per_second)
sent=$(series vellary_interface_transmit_bytes_per_second)
echo "Prometheus: receive $(echo "$received" | tr '\n' ';') transmit $(echo "$sent" | tr '\n' ';')"
[ "$(echo "$received" | grep -c .)" -eq 2 ] || fail "Prometheus holds $(echo "$received" | grep -c .) receive rates, not 2"
while read -r name bps_in bps_out; do
  for direction in receive transmit; do
    if [ "$direction" = receive ]; then rates=$received bps=$bps_in; else rates=$sent bps=$bps_out; fi
    got=$(echo "$rates" | awk -v n="$name" '$1 == n { print $2 }')
    awk -v got="$got" -v bps="$bps" 'BEGIN { d = got - bps / 8; exit !(got != "" && d > -0.125 && d < 0.125) }' ||
      fail "$name: Prometheus has $direction ${got:-nothing} B/s, the program $bps bit/s"
  done
done <"$work/figures"
[ "$(series vellary_interface_up | awk '{ print $2 }' | tr '\n' ' ')" = "1 1 " ] ||
  fail "vellary_interface_up is $(series vellary_interface_up | tr '\n' ';')"
errors=$(query node_textfile_scrape_error | sed -n 's/.* => \([^ ]*\) @.*/\1/p')
[ "$errors" = 0 ] || fail "the textfile collector says scrape_error ${errors:-(none)}: $(grep -i error "$work/node.log" | tail -3)"

if [ "$failed" -ne 0 ]; then
  echo "--- vellary.prom"
  cat "$file"
  exit 1
fi
echo "prometheus: PASSED"
