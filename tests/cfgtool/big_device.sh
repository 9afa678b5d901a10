# A device with many interfaces, for the walker's test and its benchmark: a
# network namespace of the caller's own holding COUNT ifb links (every other
# one up) and snmpd serving them on the namespace's own 127.0.0.1.
#   . tests/cfgtool/big_device.sh
#   big_device_up <ns> <count> <community> <dir>   0 when it answers, else a reason on stdout
#   big_device_down <ns> <dir>
#   in_device <ns> <command...>                    runs a command inside the namespace
#   datagrams_in <ns>                              UDP datagrams received in the namespace so far

in_device() {
  local ns=$1
  shift
  ip netns exec "$ns" env MIBS= "$@"
}

datagrams_in() {
  ip netns exec "$1" awk '/^Udp:/ { n++; if (n == 2) print $2 }' /proc/net/snmp
}

big_device_up() {
  local ns=$1 count=$2 community=$3 dir=$4 err k
  err=$(ip netns add "$ns" 2>&1) || { echo "cannot create a network namespace (ip netns add: ${err:-failed})"; return 1; }
  # One batch: a link a line is far quicker than a command each.
  {
    echo "link set lo up"
    for k in $(seq 1 "$count"); do echo "link add vif$k type ifb"; done
    for k in $(seq 1 2 "$count"); do echo "link set vif$k up"; done
  } >"$dir/links.batch"
  err=$(ip -n "$ns" -batch "$dir/links.batch" 2>&1) || { echo "cannot add ifb links in $ns: ${err:0:200}"; return 1; }
  mkdir -p "$dir/state"
  printf 'agentaddress udp:127.0.0.1:161\nrocommunity %s 127.0.0.0/8\n[snmp] persistentDir %s/state\n' \
    "$community" "$dir" >"$dir/snmpd.conf"
  in_device "$ns" snmpd -f -C -c "$dir/snmpd.conf" -Lf "$dir/snmpd.log" -M /nonexistent -p "$dir/snmpd.pid" \
    </dev/null >/dev/null 2>&1 &
  # snmpd reads its interfaces on the first request: up once ifNumber is in.
  for k in $(seq 100); do
    [ -n "$(in_device "$ns" snmpget -v2c -c "$community" -m '' -Oqv -t 2 -r 0 127.0.0.1 1.3.6.1.2.1.2.1.0 2>/dev/null)" ] &&
      return 0
    sleep 0.1
  done
  echo "snmpd did not answer in $ns"
  return 1
}

big_device_down() {
  local ns=$1 dir=$2 pid
  pid=$(cat "$dir/snmpd.pid" 2>/dev/null)
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null; fi
  for _ in $(seq 50); do [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null && sleep 0.1; done
  ip netns del "$ns" 2>/dev/null
  return 0
}
