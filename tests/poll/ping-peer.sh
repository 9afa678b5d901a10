#!/usr/bin/env bash
# Peers for the probe tests, in network namespaces of our own:
#   P  (vel-ping-<pid>)   behind a veth pair from this namespace; takes echo
#                         requests and never answers them, and routes one more
#                         address to an "unreachable" route, so that it reports
#                         back the way a router does. A sleeper inside lets
#                         /proc/<pid>/net show P's counters to any reader.
#   H  (vel-ping-<pid>-h) a second host wired to P, where the native tests run
#                         the probe with the socket kind of their choice.
#
#   ping-peer.sh setup <state-file>     writes key=value lines for the tests,
#                                       or skip=<reason> when it cannot
#   ping-peer.sh cleanup <state-file>
set -u
action=${1:?setup or cleanup}
state=${2:?state file}

value() { sed -n "s/^$1=//p" "$state" 2>/dev/null; }

# Removes whatever of the set-up exists; a part that was never made is passed
# over, and nothing here may stop the removal of the rest.
remove() {  # remove <ns> <hostns> <root link> <holder pid>
  if [ -n "$4" ]; then kill "$4" 2>/dev/null || true; fi
  if [ -n "$3" ]; then ip link del "$3" 2>/dev/null || true; fi
  if [ -n "$2" ]; then ip netns del "$2" 2>/dev/null || true; fi
  if [ -n "$1" ]; then ip netns del "$1" 2>/dev/null || true; fi
  return 0
}

if [ "$action" = cleanup ]; then
  [ -f "$state" ] && remove "$(value ns)" "$(basename "$(value hostns)")" "$(value link)" "$(value holder)"
  rm -f "$state"
  exit 0
fi

pid=$$
ns=vel-ping-$pid
hostns=vel-ping-$pid-h
link=velr$pid
holder=

skip() {
  # Called from the ERR trap too: the clean-up must not stop at its first miss.
  set +eE
  trap - ERR
  remove "$ns" "$hostns" "$link" "$holder"
  echo "skip=$1" >"$state"
  echo "ping peer: $1"
  exit 0
}

rm -f "$state"
[ "$(id -u)" -eq 0 ] || { ns= hostns= link=; skip "needs root to create network namespaces"; }
command -v ip >/dev/null || { ns= hostns= link=; skip "needs iproute2 (ip)"; }

# A /30 for the link and a /32 behind P, from the benchmarking range, that no
# route here knows yet.
routed() { ip -4 route show match "$1" | grep -qv '^default'; }
for try in 0 1 2 3 4 5 6 7 8; do
  [ "$try" -eq 8 ] && { ns= hostns= link=; skip "no free test address for the peer link"; }
  slot=$(((pid + try * 977) % 16384))
  net=$((slot / 64)).$((slot % 64 * 4))
  near=198.18.${net%.*}.$((${net#*.} + 1))
  peer=198.18.${net%.*}.$((${net#*.} + 2))
  unreachable=198.19.${net%.*}.$((${net#*.} + 1))
  routed "$near" || routed "$unreachable" || break
done

err=$(ip netns add "$ns" 2>&1) || { ns= hostns= link=; skip "cannot create a network namespace (ip netns add: ${err:-failed})"; }
trap 'skip "setting up the peer namespaces failed at: $BASH_COMMAND"' ERR
set -eE

ip link add "$link" type veth peer name velp$pid netns "$ns"
ip addr add "$near/30" dev "$link"
ip link set "$link" up
ip -n "$ns" addr add "$peer/30" dev velp$pid
ip -n "$ns" link set velp$pid up
ip -n "$ns" link set lo up
ip netns exec "$ns" sysctl -qw net.ipv4.icmp_echo_ignore_all=1 net.ipv4.ip_forward=1
ip -n "$ns" route add unreachable "$unreachable/32"
ip route add "$unreachable/32" via "$peer" dev "$link"

ip netns add "$hostns"
ip link add velh$pid netns "$hostns" type veth peer name velq$pid netns "$ns"
ip -n "$hostns" addr add 10.0.0.1/30 dev velh$pid
ip -n "$hostns" link set velh$pid up
ip -n "$hostns" link set lo up
ip -n "$ns" addr add 10.0.0.2/30 dev velq$pid
ip -n "$ns" link set velq$pid up
ip -n "$hostns" route add "$unreachable/32" via 10.0.0.2

# Bounded, in case the cleanup never runs.
ip netns exec "$ns" sleep 900 </dev/null >/dev/null 2>&1 &
holder=$!
for _ in $(seq 50); do
  [ "$(ip netns identify "$holder" 2>/dev/null)" = "$ns" ] && break
  sleep 0.1
done
[ "$(ip netns identify "$holder")" = "$ns" ]
set +eE
trap - ERR

cat >"$state" <<EOF
ns=$ns
link=$link
holder=$holder
peer=$peer
unreachable=$unreachable
hostns=/run/netns/$hostns
hostpeer=10.0.0.2
EOF
echo "ping peer: namespace $ns, silent peer $peer, unreachable $unreachable"
