#!/usr/bin/env bash
# Alerts under Wine, with the short-period program against the scripted agent
# (script_agent.cpp) and a vellary.ini that turns them on, seven cycles long:
#   Silent  no answer in polls 3 to 5: "down" at poll 4 (down = 2), "up" at 6
#   Busy    95 % both ways for polls 2 to 4, then 40 %: "above" at 4
#           (above-for = 3), "normal" at 7
# Each event must be in vellary-alerts.csv and in the environment of the
# program that run names (alert_program.cpp, which writes it to a file), the
# program started within 1 s of the end of the poll that raised it. The tray's
# tooltip and balloon are read back from Wine's tray window (read_tray.cpp),
# and a screenshot of the balloon lands in the artefact folder. File > Exit
# takes the icon away. With WEBHOOK_CHECKS=1, a receiver (Python's http.server)
# takes the posts too: see "the webhook" below.
#
# The agent needs 127.0.0.1:161, so everything runs in a network namespace of
# its own, each program under a wineserver of its own, the agent at a real-time
# priority (see faults.sh). Needs root.
#
# alerts.sh <vellary-quick.exe> <script_agent.exe> <read_tray.exe> <alert_program.exe> <artefact folder> <period in seconds>
set -uo pipefail
quick=$(realpath "$1")
agent=$(realpath "$2")
reader=$(realpath "$3")
alerter=$(realpath "$4")
artefacts=$(realpath -m "$5")
period=$6
cycles=7
webhook=${WEBHOOK_CHECKS:-0}

skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAILED: $*"; failed=1; }
failed=0

[ "$(id -u)" -eq 0 ] || skip "needs root: a network namespace"
for tool in ip Xvfb wine wineserver import xdotool python3; do
  command -v "$tool" >/dev/null || skip "$tool is not installed"
done

work=$(mktemp -d -t vellary-alerts.XXXXXX)
run=$work/run
mkdir -p "$run" "$artefacts"
ns=vel-alerts-$$
xvfb=
receiver=
export WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
cleanup() {
  local r
  for r in program agent; do WINEPREFIX=$work/prefix-$r wineserver -k 2>/dev/null; done
  [ -n "$receiver" ] && kill "$receiver" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  wait 2>/dev/null
  ip netns del "$ns" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
err=$(ip netns add "$ns" 2>&1) || skip "cannot create a network namespace (ip netns add: ${err:-failed})"
ip -n "$ns" link set lo up || skip "cannot bring up the loopback of $ns"

. "$(dirname "$0")/../../scripts/lib.sh"
for r in program agent; do
  private_wine_prefix "${E2E_SOURCE_PREFIX:-}" "$work/prefix-$r" || { echo "FAILED: no Wine prefix"; exit 1; }
done
start_xvfb "$work/display" "$ns" || { echo "FAILED: Xvfb did not start"; exit 1; }
in_ns() { WINEPREFIX=$work/prefix-program ip netns exec "$ns" "$@"; }
tray() { in_ns wine "$reader" 2>/dev/null | tr -d '\r'; }

# --- the devices, the program's files ---------------------------------------------
cat >"$work/script" <<EOF
silent 12345678 2345678 silent=3+3
busy   95000000 95000000 then=5:40000000:40000000
EOF
line() { printf '%s,127.0.0.1,%s,100000000,1.3.6.1.2.1.2.2.1.10.1,1.3.6.1.2.1.2.2.1.16.1,\r\n' "$1" "$2"; }
{ line Silent silent; line Busy busy; } >"$run/vellary.cfg"
{
  printf '[alerts]\r\ndown = 2\r\nabove = 90\r\nabove-for = 3\r\ntray = yes\r\n'
  printf 'run = Z:%s\r\n' "$(echo "$alerter" | tr / '\\')"
} >"$run/vellary.ini"

# --- the webhook ---------------------------------------------------------------------
# Its receiver: every POST's arrival (wall clock, ms) and body, one JSON line each,
# answered 200. tests/app/CMakeLists.txt sets WEBHOOK_CHECKS=1, and the
# checks at the end of this file run.
port=8025
if [ "$webhook" = 1 ]; then
  cat >"$work/receiver.py" <<'EOF'
import json, sys, time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
log = open(sys.argv[2], "a")
class Hook(BaseHTTPRequestHandler):
    def do_POST(self):
        ms = time.time() * 1000
        body = self.rfile.read(int(self.headers.get("Content-Length", 0))).decode("utf-8", "replace")
        log.write(json.dumps({"ms": ms, "path": self.path, "type": self.headers.get("Content-Type", ""),
                              "body": body}) + "\n")
        log.flush()
        self.send_response(200)
        self.send_header("Content-Length", "0")
        self.end_headers()
    def log_message(self, *args):
        pass
ThreadingHTTPServer(("127.0.0.1", int(sys.argv[1])), Hook).serve_forever()
EOF
  ip netns exec "$ns" python3 "$work/receiver.py" "$port" "$work/posts.log" &
  receiver=$!
  printf 'post = http://127.0.0.1:%s/hook/T000;v=1\r\n' "$port" >>"$run/vellary.ini"
fi

# --- the run -----------------------------------------------------------------------------
urgent="chrt -f 10"
$urgent true 2>/dev/null || urgent="nice -n -15"
$urgent ip netns exec "$ns" env WINEPREFIX="$work/prefix-agent" wine "$agent" "$work/script" \
  "$work/requests.log" >"$work/agent.out" 2>&1 &
for _ in $(seq 300); do grep -q ready "$work/agent.out" && break; sleep 0.1; done
grep -q ready "$work/agent.out" || { echo "FAILED: the agent did not start: $(cat "$work/agent.out")"; exit 1; }
agent_epoch=$(awk '/^ready/ { print $3 }' "$work/agent.out" | tr -d '\r')
nice -n -15 ip netns exec "$ns" env WINEPREFIX="$work/prefix-program" wineserver -p
started=$(date +%s)
(cd "$run" && exec env WINEPREFIX="$work/prefix-program" ip netns exec "$ns" wine "$quick") &
program=$!

polled() {  # polled <community> <poll>: whether the agent has seen that poll's outbound request
  tr -d '\r' <"$work/requests.log" 2>/dev/null |
    awk -v c="$1" -v p="$2" '$2 == c && $4 >= p && $5 == "out" { found = 1 } END { exit !found }'
}
alerted() { grep -lx "VELLARY_EVENT=$1" "$run"/alert-*.txt 2>/dev/null | xargs -r grep -lx "VELLARY_INTERFACE=$2"; }
wait_for() {  # wait_for <what> <command...>
  local what=$1 deadline=$((started + 10 + (cycles + 1) * (period + 15)))
  shift
  until "$@" >/dev/null; do
    [ "$(date +%s)" -lt "$deadline" ] || { echo "FAILED: no $what in time"; exit 1; }
    kill -0 "$program" 2>/dev/null || { echo "FAILED: the program ended early"; exit 1; }
    sleep 0.1
  done
}
# Cycle 4: Silent went down, then Busy above. The balloon is Busy's.
wait_for '"above" of Busy' alerted above Busy
# Wine's tray shows a balloon a moment (about 2 s) after it is asked for.
for _ in $(seq 50); do
  tray >"$work/tray-4.txt"
  grep -q $'^shown\t.* in and out' "$work/tray-4.txt" && break
  sleep 0.1
done
ip netns exec "$ns" import -window root "$artefacts/alerts-balloon.png"
wait_for '"normal" of Busy' alerted normal Busy
tray >"$work/tray-7.txt"
wait_for 'end of poll 8' polled busy 8

# File > Exit from the keyboard, between cycles.
x() { ip netns exec "$ns" xdotool "$@"; }
window=$(x search --name '^Vellary - SNMP Monitor$' | head -1)
[ -n "$window" ] && x windowfocus "$window" && sleep 0.3 && x key alt+f && sleep 0.5 && x key x
for _ in $(seq 150); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
kill -0 "$program" 2>/dev/null && fail "File > Exit did not end the program"
tray >"$work/tray-end.txt"

# --- when each poll ended ---------------------------------------------------------------
# The outbound query ends a poll: it sleeps 200 ms before it first looks for the
# answer, and 4.2 s in all when none comes. "COMMUNITY POLL MS", the wall clock's.
tr -d '\r' <"$work/requests.log" |
  awk -v epoch="$agent_epoch" '$5 == "out" { printf "%s %d %.0f\n", $2, $4, epoch + $1 + ($6 == "silent" ? 4200 : 200) }' \
    >"$work/ends.txt"
poll_end() { awk -v c="$1" -v p="$2" '$1 == c && $2 == p { print $3 }' "$work/ends.txt"; }
expected=("silent down 4" "busy above 4" "silent up 6" "busy normal 7")
name_of() { [ "$1" = silent ] && echo Silent || echo Busy; }

# --- the alert log ---------------------------------------------------------------------------
echo "vellary-alerts.csv:"
tr -d '\r' <"$run/vellary-alerts.csv" | sed 's/^/  /'
echo
[ "$(head -n 1 "$run/vellary-alerts.csv")" = $'Date,Time,Interface,Event,% In,% Out,Detail\r' ] ||
  fail "vellary-alerts.csv does not start with its header"
[ "$(tail -c 1 "$run/vellary-alerts.csv" | od -An -c | tr -d ' ')" != '\n' ] || fail "the alert log ends in a line break"
got=$(tail -n +2 "$run/vellary-alerts.csv" | tr -d '\r' | cut -d, -f3,4 | tr '\n' ' ')
[ "$got" = "Silent,down Busy,above Silent,up Busy,normal " ] || fail "the alert log holds $got"
tail -n +2 "$run/vellary-alerts.csv" | tr -d '\r' | while IFS=, read -r date time name event pin pout detail; do
  c=$(echo "$name" | tr A-Z a-z)
  p=$(printf '%s\n' "${expected[@]}" | awk -v c="$c" -v e="$event" '$1 == c && $2 == e { print $3 }')
  end=$(poll_end "$c" "$p")
  at=$(date -d "$(echo "$date" | awk -F- '{ print $3 "-" $2 "-" $1 }') $time" +%s)
  # The row's time has whole seconds: it is the second of the poll's end, or the next.
  [ -n "$end" ] && [ "$at" -ge $((end / 1000)) ] && [ "$at" -le $((end / 1000 + 1)) ] ||
    echo "FAILED: $name $event logged at $time, its poll $p ended at $(date -d @$((${end:-0} / 1000)) +%T)"
  case $event in
    down) want=",,127.0.0.1" ;;
    up) want="12,2,127.0.0.1" ;;
    above) want="9[0-9],9[0-9],127.0.0.1 in and out" ;;
    normal) want="(39|40),(39|40),127.0.0.1" ;;
  esac
  [[ "$pin,$pout,$detail" =~ ^$want$ ]] || echo "FAILED: $name $event row with $pin,$pout,$detail"
done | grep FAILED && failed=1

# --- the program's environment, and when it started -------------------------------------------
n=$(ls "$run"/alert-*.txt 2>/dev/null | wc -l)
[ "$n" -eq 4 ] || fail "the program ran $n times, not 4"
for e in "${expected[@]}"; do
  read -r c event p <<<"$e"
  name=$(name_of "$c")
  f=$(alerted "$event" "$name")
  [ "$(echo "$f" | wc -w)" -eq 1 ] || { fail "$name $event: $(echo "$f" | wc -w) programs"; continue; }
  start_ms=$(($(sed -n 's/^started=//p' "$f") / 1000))
  end=$(poll_end "$c" "$p")
  late=$((start_ms - end))
  echo "$name $event: the program started $late ms after the end of poll $p"
  # The end of a poll without an answer is reckoned from the agent's clock: a few ms early or late.
  [ "$late" -ge -100 ] && [ "$late" -le 1000 ] || fail "$name $event: the program started $late ms after its poll"
  row=$(tail -n +2 "$run/vellary-alerts.csv" | tr -d '\r' | awk -F, -v n="$name" -v e="$event" '$3 == n && $4 == e')
  IFS=, read -r date time _ _ pin pout detail <<<"$row"
  iso="$(echo "$date" | awk -F- '{ print $3 "-" $2 "-" $1 }')T$time$(date -d "${date:6:4}-${date:3:2}-${date:0:2} $time" +%:z)"
  want=$(printf '%s\n' "VELLARY_ADDRESS=127.0.0.1" "VELLARY_DETAIL=$detail" "VELLARY_EVENT=$event" \
    "VELLARY_IN=$pin" "VELLARY_INTERFACE=$name" "VELLARY_OUT=$pout" "VELLARY_TIME=$iso")
  have=$(grep '^VELLARY_' "$f" | sort)
  [ "$have" = "$want" ] || fail "$name $event: the environment holds $(echo "$have" | tr '\n' ' '), not $(echo "$want" | tr '\n' ' ')"
  grep -q '^argument=' "$f" && fail "$name $event: the program got a command line of $(grep '^argument=' "$f")"
done

# --- the tray ------------------------------------------------------------------------------------
echo "tray after cycle 4: $(tr '\n' '|' <"$work/tray-4.txt")"
echo "tray after cycle 7: $(tr '\n' '|' <"$work/tray-7.txt")"
echo "tray after the exit: $(tr '\n' '|' <"$work/tray-end.txt")"
echo "screenshot: $artefacts/alerts-balloon.png"
grep -qx $'hidden\tVellary: 1 down, 1 above' "$work/tray-4.txt" || fail "the tooltip after cycle 4"
grep -qE $'^shown\t127\\.0\\.0\\.1 in and out\\\\n% In 9[0-9], % Out 9[0-9]\\\\nat [0-9]{2}:[0-9]{2}:[0-9]{2}$' \
  "$work/tray-4.txt" || fail "no balloon of Busy's above after cycle 4"
grep -qx $'hidden\tVellary: nothing down or above' "$work/tray-7.txt" || fail "the tooltip after cycle 7"
grep -q 'Vellary' "$work/tray-end.txt" && fail "the icon is still there after the exit"

# --- the log ---------------------------------------------------------------------------------------
said=$(tr -d '\r' <"$run/vellarylog.txt" | cut -d, -f3- | tr '\n' ';')
echo "log: $said"
[ "$said" = "Silent,SNMP no answer;Silent,SNMP answer again;" ] || fail "the log says $said"

# --- the webhook -------------------------------------------------------------------------------------
# One JSON POST per event, each arriving within 1 s of the end of the poll that
# raised it, with the fields of the event as the program had them.
if [ "$webhook" = 1 ]; then
  for e in "${expected[@]}"; do
    read -r c event p <<<"$e"
    name=$(name_of "$c")
    echo "$name $event $(poll_end "$c" "$p") $(alerted "$event" "$name")"
  done >"$work/events.txt"
  python3 - "$work/posts.log" "$work/events.txt" <<'EOF' || failed=1
import json, sys
posts = [json.loads(line) for line in open(sys.argv[1])]
events = [line.split() for line in open(sys.argv[2])]
ok = len(posts) == len(events)
if not ok:
    print(f"FAILED: {len(posts)} posts for {len(events)} events")
for name, event, end, program in events:
    env = dict(l.rstrip("\n").split("=", 1) for l in open(program) if l.startswith("VELLARY_"))
    mine = [p for p in posts if json.loads(p["body"]).get("interface") == name and json.loads(p["body"]).get("event") == event]
    if len(mine) != 1:
        print(f"FAILED: {name} {event} posted {len(mine)} times"); ok = False; continue
    post, body = mine[0], json.loads(mine[0]["body"])
    late = post["ms"] - int(end)
    print(f"{name} {event}: arrived {late:.0f} ms after the end of its poll")
    figure = lambda v: None if v == "" else int(v)
    want = {"interface": name, "event": event, "in": figure(env["VELLARY_IN"]), "out": figure(env["VELLARY_OUT"]),
            "address": "127.0.0.1", "time": env["VELLARY_TIME"]}
    for key, value in want.items():
        if body.get(key) != value:
            print(f"FAILED: {name} {event}: \"{key}\" is {body.get(key)!r}, not {value!r}"); ok = False
    # As "Uplink down (192.0.2.1) at 2026-12-09 03:14:07 +01:00"; "above" and
    # "normal" then give their figures after a colon.
    stamp = env["VELLARY_TIME"].replace("T", " ")
    text = str(body.get("text", ""))
    head = f"{name} {event} (127.0.0.1) at {stamp[:19]} {stamp[19:]}"
    if text != head and not text.startswith(head + ": "):
        print(f"FAILED: {name} {event}: \"text\" is {text!r}"); ok = False
    if post["path"] != "/hook/T000;v=1" or not post["type"].startswith("application/json"):
        print(f"FAILED: {name} {event} posted to {post['path']} as {post['type']}"); ok = False
    if not -100 <= late <= 1000:
        print(f"FAILED: {name} {event} arrived {late:.0f} ms after its poll"); ok = False
sys.exit(0 if ok else 1)
EOF
  grep -q 'Alert post' "$run/vellarylog.txt" && fail "the log speaks of the posts: $(grep 'Alert post' "$run/vellarylog.txt")"
else
  echo "webhook: not checked (WEBHOOK_CHECKS is not 1)"
fi

if [ "$failed" -ne 0 ]; then
  rm -rf "$artefacts/alerts-run"
  cp -r "$run" "$artefacts/alerts-run"
  cp "$work/requests.log" "$artefacts/alerts-run/"
  echo "the run's files are in $artefacts/alerts-run"
  exit 1
fi
echo "alerts: PASSED"
