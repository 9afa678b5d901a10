#!/usr/bin/env python3
"""Writes docs/performance.md (to standard output) from the results that
bench/run.sh left in its results folder. With --report-only RESULTS DOC, writes
DOC with only vellary-report's rows, notes and commands replaced."""
import json
import os
import sys

report_only = sys.argv[1] == "--report-only"
results = sys.argv[2] if report_only else sys.argv[1]


def load(name):
    """key=value lines of one result file; repeated keys keep every value in order."""
    path = os.path.join(results, name)
    values = {}
    if not os.path.exists(path):
        return values
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            line = line.strip()
            if "=" not in line:
                continue
            key, value = line.split("=", 1)
            values.setdefault(key, []).append(value)
    return values


def one(values, key, default=None):
    return values[key][-1] if key in values else default


def num(values, key):
    v = one(values, key)
    try:
        return float(v)
    except (TypeError, ValueError):
        return None


def sample(text):
    """'round:1 handles:5 ...' -> dict of ints."""
    out = {}
    for part in text.split():
        k, _, v = part.partition(":")
        try:
            out[k] = int(v)
        except ValueError:
            pass
    return out


def median(values):
    """The median of a list of numbers given as text, or None."""
    try:
        xs = sorted(float(v) for v in values)
    except ValueError:
        return None
    if not xs:
        return None
    mid = len(xs) // 2
    return xs[mid] if len(xs) % 2 else (xs[mid - 1] + xs[mid]) / 2


def ms(v, digits=1):
    return "n/a" if v is None else f"{v:,.{digits}f} ms"


def ratio(a, b, digits=2):
    if a is None or b is None or b == 0:
        return "n/a"
    return f"{a / b:.{digits}f}"


def far(a, b, low=0.67, high=1.5):
    return a is not None and b is not None and b != 0 and not (low <= a / b <= high)


def types(text):
    out = {}
    for part in (text or "").split(","):
        name, _, n = part.rpartition(":")
        if name:
            out[name] = int(n)
    return out


def HandleNote(label, s, start, end):
    """Says which handles the soak's end holds beyond its start, and whether the count stayed put after."""
    t0, t1 = types(one(s, "types_start")), types(one(s, "types_end"))
    diff = {k: t1.get(k, 0) - t0.get(k, 0) for k in set(t0) | set(t1) if t1.get(k, 0) != t0.get(k, 0)}
    text = ", ".join(f"{n:+d} {k}" for k, n in sorted(diff.items())) or "no change by type"
    rounds = sorted(sample(x)["round"] for x in s.get("sample_at", []) + s.get("sample_end", []))
    counts = {sample(x)["round"]: sample(x)["handles"] for x in s.get("sample_at", []) + s.get("sample_end", [])}
    changed = next((r for r in rounds if counts[r] != start.get("handles")), None)
    steady = changed is not None and all(counts[r] == end.get("handles") for r in rounds if r >= changed)
    note = (f"The {label} soak ends with {end.get('handles')} handles against {start.get('handles')} at its start "
            f"({text}).")
    if set(diff) == {"Event"} and diff["Event"] > 0 and steady:
        note += (f" They appeared by round {changed} and the count stayed there to the end: a lock creates its "
                 "wait event the first time two threads meet at it (here the query's thread and the stack's "
                 "receiver, at the stack's table lock or the heap's) and keeps it with the lock, so each comes "
                 "once, in whichever round that first happens, and does not grow.")
    else:
        note += " This is growth and must be looked into."
    return note


machine = load("machine.txt")
rows = []   # (measurement, figure, reference, ratio)
notes = []  # sentences on figures far from their reference
missing = []

# ---- 1. query latency ----
qn, qns, sg = load("query-native.txt"), load("query-native-slot.txt"), load("snmpget.txt")
qw, qws = load("query-wine.txt"), load("query-wine-slot.txt")
rtt_n = num(qns, "reply_median_ms")
rtt_w = num(qws, "reply_median_ms")
for label, q, rtt in (("native", qn, rtt_n), ("Wine", qw, rtt_w)):
    med, p95 = num(q, "query_median_ms"), num(q, "query_p95_ms")
    if med is None:
        missing.append(f"query latency ({label})")
        continue
    n = one(q, "query_count", "?")
    fails = one(q, "query_failures", "?")
    rows.append((f"Query latency, {label}, median of {n} (failures: {fails})", ms(med, 2), "floor 200 ms",
                 ratio(med, 200, 3)))
    rows.append((f"Query latency, {label}, 95th percentile", ms(p95, 2), "floor 200 ms", ratio(p95, 200, 3)))
    if rtt is not None:
        rows.append((f"Query latency, {label}, median", ms(med, 2),
                     f"floor + stack round trip = 200 + {rtt:.2f} ms", ratio(med, 200 + rtt, 3)))
    if label == "native":
        sgm = num(sg, "snmpget_median_ms")
        rows.append((f"Query latency, {label}, median", ms(med, 2),
                     f"snmpget median {ms(sgm, 2)} (p95 {ms(num(sg, 'snmpget_p95_ms'), 2)})", ratio(med, sgm)))
        if far(med, sgm):
            notes.append(
                f"The query takes {ratio(med, sgm, 1)} times as long as snmpget: snmpget returns as soon as the "
                "reply is in, while the query always sleeps its fixed 200 ms before it first looks at the reply "
                "slot, and that sleep is what the query's figure is made of. Against its own floor plus one round "
                "trip it is within a few per cent.")
    if label == "Wine" and rtt is not None and med < 200 + rtt:
        notes.append(f"Under Wine the query's median lies below the floor plus the round trip ({rtt:.1f} ms, "
                     "taken with the slot wait and mostly Wine's start of the receiver thread and its socket "
                     "wake-up): the round trip runs while the query sleeps its 200 ms, so the query pays only "
                     "the sleep's overshoot and the clean-up on top of the floor.")
    if label == "Wine" and far(p95, 200, 0.9, 1.1):
        notes.append("Under Wine the 95th percentile lies more than 10 % above the floor: Wine's sleeps "
                     "overshoot by a few milliseconds more than Linux's do.")
for label, q, goal in (("native", qns, 1.5), ("Wine", qws, 5.0)):
    r, full = num(q, "reply_median_ms"), num(q, "query_median_ms")
    if r is None:
        continue
    rows.append((f"Stack round trip, {label}: call to value in the slot (sleeps replaced by a slot wait), median",
                 ms(r, 3), f"the whole call, slot wait, median {ms(full, 2)}", ratio(r, full)))
    rows.append((f"Query, {label}, sleeps replaced by a slot wait: the whole call, median", ms(full, 3),
                 f"goal {goal} ms", ratio(full, goal)))
# The 64-bit counter (SNMPv2c, Counter64) against the 32-bit one, same agent, same run.
qhc = load("query-native-hc-slot.txt")
rtt_hc = num(qhc, "reply_median_ms")
if rtt_hc is None:
    missing.append("HC query (native)")
else:
    rows.append((f"Stack round trip, native, HC query (ifHCInOctets over SNMPv2c, slot wait), median of "
                 f"{one(qhc, 'reply_count', '?')} (failures: {one(qhc, 'query_failures', '?')})", ms(rtt_hc, 3),
                 f"32-bit query (ifInOctets over SNMPv1), same agent: {ms(rtt_n, 3)}", ratio(rtt_hc, rtt_n)))
    if far(rtt_hc, rtt_n):
        notes.append(f"The HC query's round trip is {ratio(rtt_hc, rtt_n)} times the 32-bit query's on the same "
                     "agent, although the two requests differ only in their version and name and the replies in "
                     "the value's type.")
# SNMPv3 authPriv against SNMPv2c: the same agent, the same 64-bit counter, the same run.
for label in ("native", "Wine"):
    v2, v3 = load(f"v3-v2c-{label.lower()}.txt"), load(f"v3-{label.lower()}.txt")
    first = load(f"v3-first-{label.lower()}.txt")
    # Each file holds one run a round, the two kinds taken in turn: the median of the rounds' medians.
    q2, q3 = median(v2.get("query_median_ms", [])), median(v3.get("query_median_ms", []))
    if q2 is None or q3 is None:
        missing.append(f"SNMPv3 queries ({label})")
        continue
    rounds = len(v3.get("query_median_ms", []))
    fails3 = sum(int(x) for x in v3.get("query_failures", []))
    rows.append((f"Query, {label}, SNMPv3 authPriv (HMAC-SHA-256, AES-128), engine known, slot wait: the whole "
                 f"call, median of {rounds} rounds of {one(v3, 'query_count', '?')}, taken in turn with the "
                 f"SNMPv2c rounds (failures: {fails3})",
                 ms(q3, 3), f"SNMPv2c, same agent and counter: {ms(q2, 3)}; goal 1.2", ratio(q3, q2)))
    r2, r3 = median(v2.get("reply_median_ms", [])), median(v3.get("reply_median_ms", []))
    rows.append((f"Stack round trip, {label}, SNMPv3 authPriv: call to value in the slot, median", ms(r3, 3),
                 f"SNMPv2c: {ms(r2, 3)}", ratio(r3, r2)))
    firsts = sorted(float(v) for v in first.get("first_ms", []))
    if firsts:
        fails = sum(int(v) for v in first.get("first_failures", []))
        med = firsts[(len(firsts) - 1) // 2]
        rows.append((f"Query, {label}, SNMPv3: a process's first, with discovery and the user's keys (two "
                     f"million bytes of SHA-256), slot wait, median of {len(firsts)} processes (failures: {fails})",
                     ms(med, 3), f"later queries: {ms(q3, 3)}", ratio(med, q3)))
    else:
        missing.append(f"first SNMPv3 query ({label})")
    if q3 / q2 > 1.2:
        notes.append(f"{label}: the SNMPv3 query takes {ratio(q3, q2)} times the SNMPv2c one, above the goal of "
                     "1.2.")

if rtt_n is not None and far(rtt_n, num(qns, "query_median_ms")):
    notes.append(
        "With the sleeps replaced by a wait that ends at the reply, the whole query takes far longer than the "
        "round trip to the value in the slot: the clean-up after the value costs that much.")

# What a query costs besides its sleeps and the round trip.
for label, name in (("native", "parts-native.txt"), ("Wine", "parts-wine.txt")):
    pt = load(name)
    if num(pt, "nowait_median_ms") is None:
        missing.append(f"query parts ({label})")
        continue
    sleep = num(pt, "sleep200_median_ms")
    rows.append((f"Parts, {label}: the platform's 200 ms sleep, median of {one(pt, 'sleep200_count', '?')}",
                 ms(sleep, 3), "200 ms", ratio(sleep, 200, 4)))
    rows.append((f"Parts, {label}: a thread started and joined, median", ms(num(pt, "thread_median_ms"), 3),
                 f"a whole query that does not wait: {ms(num(pt, 'nowait_median_ms'), 3)}",
                 ratio(num(pt, "thread_median_ms"), num(pt, "nowait_median_ms"))))
    rows.append((f"Parts, {label}: a socket opened, connected and closed, median", ms(num(pt, "socket_median_ms"), 3),
                 f"a whole query that does not wait: {ms(num(pt, 'nowait_median_ms'), 3)}",
                 ratio(num(pt, "socket_median_ms"), num(pt, "nowait_median_ms"))))
    qwm = num(qw, "query_median_ms")
    if label == "Wine" and qwm is not None and rtt_w is not None:
        notes.append(
            f"Where a query's time under Wine goes beyond its 200 ms sleep and the round trip: the sleep itself "
            f"overshoots by {sleep - 200:.2f} ms; a query that sends and cleans up without waiting costs "
            f"{num(pt, 'nowait_median_ms'):.2f} ms, of which starting and joining the receiver thread is "
            f"{num(pt, 'thread_median_ms'):.2f} ms and the socket {num(pt, 'socket_median_ms'):.2f} ms; the "
            f"round trip ({rtt_w:.2f} ms with the slot wait) runs while the query sleeps. The query's median, "
            f"{qwm:.2f} ms, is the sum of those: {200 + (sleep - 200) + num(pt, 'nowait_median_ms'):.2f} ms.")

# The clean-up while replies wait behind a slow callback: it waits for the one running, no more.
for label, name in (("native", "cleanup-native.txt"), ("Wine", "cleanup-wine.txt")):
    cl = load(name)
    med, worst = num(cl, "cleanup_median_ms"), num(cl, "cleanup_max_ms")
    if med is None:
        missing.append(f"clean-up ({label})")
        continue
    rows.append((f"SnmpCleanup, {label}, with {one(cl, 'cleanup_queued')} replies queued behind a "
                 f"{one(cl, 'cleanup_callback_ms')} ms callback, median of {one(cl, 'cleanup_count')} (worst "
                 f"{ms(worst)}; callbacks started after it began: at most {one(cl, 'cleanup_started_after_max')})",
                 ms(med), "goal 100 ms", ratio(med, 100)))
    if worst is not None and worst > 100:
        notes.append(f"The clean-up, {label}, took up to {worst:,.1f} ms with replies queued: more than the "
                     "100 ms goal, beyond the one callback it waits for.")

pn, pw, ps = load("probe-native.txt"), load("probe-wine.txt"), load("probe-silent-wine.txt")
probe_w = num(pw, "probe_median_ms")
for label, p in (("native", pn), ("Wine", pw)):
    if num(p, "probe_median_ms") is not None:
        rows.append((f"Probe round trip to an snmpd address, {label}, median of {one(p, 'probe_count')} "
                     f"(answered {one(p, 'probe_answered')})", ms(num(p, "probe_median_ms"), 3),
                     "time-out 4000 ms", ratio(num(p, "probe_median_ms"), 4000, 5)))
if num(ps, "probe_median_ms") is not None:
    rows.append((f"Probe of the device that does not answer, Wine, median of {one(ps, 'probe_count')} "
                 f"(answered {one(ps, 'probe_answered')})", ms(num(ps, "probe_median_ms")), "time-out 4000 ms",
                 ratio(num(ps, "probe_median_ms"), 4000, 3)))

# ---- the webhook ----
for label in ("native", "Wine"):
    wh = load(f"webhook-{label.lower()}.txt")
    arrive, call = num(wh, "arrive_median_ms"), num(wh, "call_median_ms")
    if arrive is None or call is None:
        missing.append(f"webhook ({label})")
        continue
    rows.append((f"Webhook, {label}: PostAlert to the receiver's arrival (Python's http.server on 127.0.0.1), "
                 f"median of {one(wh, 'arrive_count')} (worst {ms(num(wh, 'arrive_max_ms'), 2)}; lost: "
                 f"{one(wh, 'lost')})", ms(arrive, 2), "goal 1000 ms", ratio(arrive, 1000, 4)))
    rows.append((f"Webhook, {label}: the calling thread's time inside PostAlert, median of "
                 f"{one(wh, 'call_count')} (worst {ms(num(wh, 'call_max_ms'), 3)})", ms(call, 4), "goal 5 ms",
                 ratio(call, 5, 4)))

# ---- the walker on a big device ----
wb = load("walk-big.txt")
if "ours_ms" not in wb or "bulk_ms" not in wb:
    missing.append("walk of the device with 1,500 interfaces")
else:
    n = f"{int(one(wb, 'interfaces', '0')):,}"
    rounds = len(wb["ours_ms"])
    ours_rt, bulk_rt = median(wb["ours_round_trips"]), median(wb["bulk_round_trips"])
    ours_t, bulk_t = median(wb["ours_ms"]), median(wb["bulk_ms"])
    rows.append((f"Walk of {n} interfaces (snmpd in a namespace), native: round trips of vellary-cfg, median of "
                 f"{rounds} (its ifNumber and 64-bit counter requests included)", f"{ours_rt:,.0f}",
                 f"snmpbulkwalk over the same seven columns, one after another: {bulk_rt:,.0f}",
                 ratio(ours_rt, bulk_rt, 3)))
    rows.append((f"Walk of {n} interfaces, native: time of vellary-cfg, median of {rounds} (the ping beside it)",
                 ms(ours_t), f"the seven snmpbulkwalk runs, median {ms(bulk_t)}", ratio(ours_t, bulk_t)))
    if ours_rt >= bulk_rt or ours_t > bulk_t:
        notes.append(f"The walk of {n} interfaces misses its goal of fewer round trips than snmpbulkwalk in no more "
                     "time: see build/bench/results/walk-big.txt for each round.")

# ---- 2. cycle time ----
for name, label, silent in (("cycle-all.txt", "ten answering devices", 0),
                            ("cycle-silent.txt", "nine answering, one silent", 1)):
    c = load(name)
    med = num(c, "cycle_median_ms")
    if med is None:
        missing.append(f"cycle time ({label})")
        continue
    rtt = probe_w if probe_w is not None else 0.0
    bound = (10 - silent) * (rtt + 400) + silent * 4000
    text = f"10 × ({rtt:.2f} + 400) ms" if not silent else f"9 × ({rtt:.2f} + 400) + 4000 ms"
    each = ", ".join(f"{float(v):,.0f}" for v in c.get("cycle_ms", []))
    rows.append((f"Cycle of the real window procedure under Wine, {label} (median of cycles: {each} ms)",
                 ms(med), f"bound {text} = {bound:,.0f} ms", ratio(med, bound, 3)))
    ui = num(load("cycle-ui.txt"), "cycle_median_ms")
    if not silent and ui is not None:
        rows.append((f"Cycle, {label}, against its bound plus the window's own work (the same cycle with polls "
                     f"that answer at once: {ms(ui)})", ms(med), f"{bound:,.0f} + {ui:,.0f} = {bound + ui:,.0f} ms",
                     ratio(med, bound + ui, 3)))
    if med / bound > 1.02:
        notes.append(f"The cycle with {label} is {ratio(med, bound, 3)} times its lower bound: each query "
                     "also pays Wine's sleep overshoot, the start of its receiver thread and its clean-up (see "
                     "the parts above), and the window repaints its rows between the interfaces.")

# The silent device's "down" posted to a receiver that never answers.
c, plain = load("cycle-post.txt"), load("cycle-silent.txt")
med, base = num(c, "cycle_median_ms"), num(plain, "cycle_median_ms")
if med is None or base is None:
    missing.append("cycle time (a post to a silent receiver)")
else:
    each = ", ".join(f"{float(v):,.0f}" for v in c.get("cycle_ms", []))
    rows.append((f"Cycle under Wine, nine answering, one silent, its \"down\" posted to a receiver that never "
                 f"answers ({one(c, 'posts', '?')} posts arrived; median of cycles: {each} ms)", ms(med),
                 f"the same without vellary.ini: {ms(base)}", ratio(med, base, 3)))
    rows.append(("The window's end under Wine with that post still in flight (DestroyWindow to its last message)",
                 ms(num(c, "exit_ms"), 0), f"goal at most 2,000 ms of waiting; without vellary.ini: "
                 f"{ms(num(plain, 'exit_ms'), 0)}", ratio(num(c, "exit_ms") or 0, 2000, 3)))

# ---- alerts ----
for label in ("native", "Wine"):
    a = load(f"alerts-{label.lower()}.txt")
    start, window, alone = (num(a, f"alert_{k}_median_ms") for k in ("start", "window", "log"))
    if start is None or window is None:
        missing.append(f"alerts ({label})")
        continue
    rows.append((f"Alert, {label}: from the end of an interface's poll to the start of the program that `run` "
                 f"names, median of {one(a, 'alert_start_count')} (failures: {one(a, 'alert_start_failures')})",
                 ms(start, 1), "goal 1000 ms", ratio(start, 1000, 3)))
    rows.append((f"Alert, {label}: the window thread's time on one event (its row in the alert log, the "
                 f"program handed to its launcher), median of {one(a, 'alert_window_count')} (95th percentile "
                 f"{ms(num(a, 'alert_window_p95_ms'), 2)})", ms(window, 2),
                 f"goal 5 ms; the alert log alone: {ms(alone, 3)}", ratio(window, 5)))
    if window > 5:
        where = "natively" if label == "native" else "under Wine"
        notes.append(f"An alert with a program takes the window thread {ms(window, 1)} {where}, over the goal of "
                     f"5 ms; its row in the alert log alone takes {ms(alone, 3)}. The program is started by "
                     "a thread of its own; the rest is waking it.")

# ---- 3. soak ----
soak_rows = []
for name, label in (("soak-native.txt", "native"), ("soak-wine.txt", "Wine")):
    s = load(name)
    if "sample_start" not in s:
        missing.append(f"soak ({label})")
        continue
    start, end = sample(one(s, "sample_start")), sample(one(s, "sample_end", one(s, "sample_start")))
    rounds = one(s, "soak_rounds", "?")
    what = [("handles", "open descriptors" if label == "native" else "handles (system handle table)")]
    if label == "Wine":
        what.append(("host_fds", "descriptors of the Linux process"))
    what += [("threads", "threads"), ("rss_kb", "resident memory, KiB" if label == "native" else
                                       "working set, KiB"), ("heap_bytes", "heap bytes in use")]
    for key, desc in what:
        rows.append((f"Soak, {label}, {rounds} rounds: {desc} at the end", f"{end.get(key, 0):,}",
                     f"at the start: {start.get(key, 0):,}", ratio(end.get(key), start.get(key), 3)))
    if end.get("handles") != start.get("handles"):
        notes.append(HandleNote(label, s, start, end))
    rows.append((f"Soak, {label}: event-log lines", one(s, "soak_log_lines", "?"), "none caused by the scenario",
                 "—"))
    if one(s, "soak_log_lines", "0") != "0":
        notes.append(f"The {label} soak's event log holds {one(s, 'soak_log_lines')} lines although every device "
                     f"answered: see build/bench/soak-{label.lower()}/vellarylog.txt.")
    rows.append((f"Soak, {label}: rounds answered / with both counters read", f"{one(s, 'soak_answered', '?')} / "
                 f"{int(rounds) - int(one(s, 'soak_unread', 0))}", f"{rounds} rounds", "—"))
    qs, pr = (qns, pn) if label == "native" else (qws, pw)
    q1, p1 = num(qs, "query_median_ms"), num(pr, "probe_median_ms")
    ref = 2 * q1 + p1 if q1 is not None and p1 is not None else None
    rows.append((f"Soak, {label}: one round (probe + two queries, slot wait; beside the fuzzers)",
                 ms(num(s, "soak_round_ms"), 2), f"one probe + two slot-wait queries, medians on a quiet machine: "
                 f"{ms(ref, 2)}", ratio(num(s, "soak_round_ms"), ref)))
    soak_rows.append((label, s))

# ---- 4. idle ----
idle = load("idle.txt")
secs = float(one(machine, "idle_seconds", 60))
vc, rc = num(idle, "vellary_cpu_us"), num(idle, "reference_cpu_us")
if vc is None or rc is None:
    missing.append("idle cost of vellary.exe under Wine")
else:
    rows.append((f"Idle CPU of vellary.exe under Wine over {secs:.0f} s between cycles",
                 f"{vc / 1000:,.3f} ms ({100 * vc / (secs * 1e6):.4f} % of one core)",
                 f"idle reference window: {rc / 1000:,.3f} ms", ratio(vc, rc)))
    vs, rs = num(idle, "vellary_server_cpu_us"), num(idle, "reference_server_cpu_us")
    rows.append(("wineserver CPU meanwhile", f"{vs / 1000:,.3f} ms", f"with the reference window: {rs / 1000:,.3f} ms",
                 ratio(vs, rs)))
    rows.append((f"Thread switches of vellary.exe over the {secs:.0f} s (each wake-up is one)",
                 one(idle, "vellary_switches", "?"), f"idle reference window: {one(idle, 'reference_switches', '?')}",
                 ratio(num(idle, "vellary_switches"), num(idle, "reference_switches"))))
    rows.append(("CPU of vellary.exe from its start to the idle window (start-up and the first cycle)",
                 ms(num(idle, "vellary_cpu_before_ms"), 0),
                 f"idle reference window, start-up: {ms(num(idle, 'reference_cpu_before_ms'), 0)}",
                 ratio(num(idle, "vellary_cpu_before_ms"), num(idle, "reference_cpu_before_ms"))))
    rows.append(("Threads of vellary.exe while idle", one(idle, "vellary_threads", "?"),
                 f"reference window: {one(idle, 'reference_threads', '?')}", "—"))
    if far(vc, rc) and vc > 50000:
        notes.append("vellary.exe uses noticeably more CPU than the reference window while it waits.")
    elif far(vc, rc) or vc == rc == 0:
        notes.append(f"Idle, vellary.exe used {vc:,.0f} µs of CPU in {secs:.0f} s, the reference window "
                     f"{rc:,.0f} µs: both sleep in the message loop until Wine has something for them, so the "
                     "ratio of two near-zero figures says little; the thread switches show that neither wakes to "
                     "poll. The wineserver figures are the cost of the Wine session itself (its other processes "
                     "included), alike for both.")

# ---- 5. codec ----
codec = {}
path = os.path.join(results, "codec.json")
if os.path.exists(path):
    with open(path) as f:
        for b in json.load(f).get("benchmarks", []):
            if b.get("aggregate_name") == "median":
                codec[b["run_name"]] = b
for name, label in (("EncodeGetRequest", "BER encode of the GetRequest"),
                    ("DecodeGetResponse", "BER decode of a GetResponse (Counter32)")):
    b = codec.get(name)
    if not b:
        missing.append(f"codec ({label})")
        continue
    t = b["real_time"] if b.get("time_unit") == "ns" else None
    ref = rtt_n * 1e6 if rtt_n else None
    rows.append((f"{label}, {int(b.get('bytes', 0))} bytes, median of 5 repetitions", f"{t:,.0f} ns",
                 f"stack round trip {rtt_n:.3f} ms" if rtt_n else "n/a", ratio(t, ref, 5)))

if codec:
    notes.append("The codec rows are far below their reference, as they should be: encoding and decoding one "
                 "message costs well under a microsecond, a ten-thousandth or less of one loopback round trip "
                 "through the stack. (Debian's Google Benchmark library calls itself a debug build; its loop "
                 "overhead, a few nanoseconds, is inside these figures.)")

# ---- the report over two years of history ----
def hyperfine(name):
    """The runs of a hyperfine JSON export, in command order: (median ms, min ms, runs)."""
    path = os.path.join(results, name)
    if not os.path.exists(path):
        return []
    with open(path) as f:
        return [(r["median"] * 1000, r["min"] * 1000, len(r["times"])) for r in json.load(f).get("results", [])]


rep = load("report.txt")
rn, rp, rw = hyperfine("report-native.json"), hyperfine("report-percent.json"), hyperfine("report-wine.json")
rows_n, bytes_n = num(rep, "report_rows"), num(rep, "report_bytes")
prows_n, pbytes_n = num(rep, "report_percent_rows"), num(rep, "report_percent_bytes")
rss_kb = num(rep, "report_rss_kb")
what = (f"10 interfaces × 2 years of 5-minute rows, both kinds of file ({rows_n / 1e6:.2f} M rows in each kind, "
        f"{bytes_n / 1e6:.1f} MB)" if rows_n and bytes_n else "10 interfaces × 2 years of 5-minute rows, both kinds")
if len(rn) == 2:
    (cat_ms, cat_min, _), (rep_ms, rep_min, runs) = rn
    rows.append((f"vellary-report, native Release, {what}: median of {runs} runs", ms(rep_ms),
                 f"cat of the same files: {ms(cat_ms)}; goal at most 6 ×", ratio(rep_ms, cat_ms)))
    rows.append(("vellary-report, native Release, the same files: median", ms(rep_ms), "goal 300 ms",
                 ratio(rep_ms, 300, 3)))
    if rows_n:
        rows.append(("vellary-report, native Release: time per exact row", f"{rep_ms * 1e6 / rows_n:,.0f} ns",
                     f"cat, per exact row and its percent row: {cat_ms * 1e6 / rows_n:,.0f} ns",
                     ratio(rep_ms, cat_ms)))
    if far(rep_ms, cat_ms):
        notes.append(f"vellary-report takes {ratio(rep_ms, cat_ms, 1)} times as long as cat on the same files: cat "
                     "only copies the bytes, the report also splits and parses every exact row, adds it to the bins "
                     "of four periods and to the ring the percentiles are taken from, and writes the page; it reads "
                     "the exact histories (and the first rows of NAME.csv) on both cores, cat on one; both read "
                     "from the page cache.")
else:
    missing.append("the report (native)")
if len(rp) == 2:
    (pcat_ms, _, _), (prep_ms, _, runs) = rp
    pwhat = (f"percent files only ({prows_n / 1e6:.2f} M rows, {pbytes_n / 1e6:.1f} MB)" if prows_n and pbytes_n
             else "percent files only")
    rows.append((f"vellary-report, native Release, 10 interfaces × 2 years, {pwhat}: median of {runs} runs",
                 ms(prep_ms), f"cat of the same files: {ms(pcat_ms)}", ratio(prep_ms, pcat_ms)))
else:
    missing.append("the report over percent files (native)")
if rss_kb:
    rows.append(("vellary-report, native Release, both kinds: peak resident memory", f"{rss_kb / 1024:,.1f} MiB",
                 "fixed rings per interface, whatever the files' age", "—"))
if len(rw) == 2:
    (wine_ms, _, runs), (start_ms, _, _) = rw
    rows.append((f"vellary-report.exe under Wine, both kinds: median of {runs} runs", ms(wine_ms),
                 f"the same program started and ended under Wine (a usage error): {ms(start_ms)}",
                 ratio(wine_ms, start_ms)))
else:
    missing.append("the report (Wine)")

if report_only:
    # The old page with the report's rows, notes and commands in place of the old ones.
    with open(sys.argv[3], encoding="utf-8") as f:
        page = f.read().split("\n")
    with open(os.path.join(results, "commands.txt")) as f:
        commands = [l.rstrip("\n") for l in f if "history.mjs" in l or "hyperfine" in l and "report" in l]

    def splice(lines, old, new):
        at = next((i for i, l in enumerate(lines) if old(l)), None)
        kept = [l for l in lines if not old(l)]
        if at is None:
            return lines
        return kept[:at] + new + kept[at:]

    page = splice(page, lambda l: l.startswith("| vellary-report"),
                  ["| " + " | ".join(str(x) for x in r) + " |" for r in rows if str(r[0]).startswith("vellary-report")])
    page = splice(page, lambda l: l.startswith("- vellary-report"), [f"- {n}" for n in notes
                                                                    if n.startswith("vellary-report")])
    page = splice(page, lambda l: "history.mjs" in l or "report-native.json" in l or "report-wine.json" in l or
                  "report-percent.json" in l, commands)
    sys.stdout.write("\n".join(page))
    sys.exit(0)

# ---- 6. fuzzing and flood ----
fuzz_rows = []
for target in ("config_scan", "settings_scan", "ber_decode", "v3_decode"):
    f = load(f"fuzz-{target}.txt")
    if "execs" not in f:
        missing.append(f"fuzzing {target}")
        continue
    fuzz_rows.append((target, f))
    rows.append((f"Fuzzing {target} ({one(machine, 'fuzz_seconds')} s): executions, coverage, findings",
                 f"{int(one(f, 'execs')):,} execs, cov {one(f, 'cov', '?')}, ft {one(f, 'ft', '?')}, "
                 f"{one(f, 'findings', '?')} findings",
                 f"corpus {one(f, 'corpus_before')} → {one(f, 'corpus_after')} inputs", "—"))
for name, label in (("flood-native.txt", "native"), ("flood-wine.txt", "Wine")):
    fl = load(name)
    if "value" not in fl:
        missing.append(f"flood ({label})")
        continue
    reply, returned = num(fl, "reply_at_ms"), num(fl, "returned_at_ms")
    rows.append((f"Flood, {label}: {one(fl, 'bad')} bad datagrams in {one(fl, 'flood_ms')} ms, then the reply; "
                 f"value returned", one(fl, "value"), "12345678 sent", "1.00" if one(fl, "value") == "12345678"
                 else "WRONG"))
    rows.append((f"Flood, {label}: query returned after", ms(returned, 0),
                 f"reply sent at {reply:,.0f} ms + one 500 ms step = {reply + 500:,.0f} ms",
                 ratio(returned, reply + 500, 3)))
    rows.append((f"Flood, {label}: log lines written", one(fl, "log_lines"), "at most 8 per query",
                 ratio(num(fl, "log_lines"), 8)))
    rows.append((f"Flood, {label}: worst lateness of a 10 ms sleep on another thread", ms(num(fl, "worst_late_ms"), 0),
                 "10 ms", ratio(num(fl, "worst_late_ms"), 10)))
for name, label in (("large-native.txt", "native"), ("large-wine.txt", "Wine")):
    lg = load(name)
    if "value" not in lg:
        missing.append(f"flood of large replies ({label})")
        continue
    grew = num(lg, "heap_peak") - num(lg, "heap_before")
    rows.append((f"Flood, {label}: {one(lg, 'replies')} valid 60 KB replies without a number during one wait, "
                 f"then the reply; heap in use at its peak above the start", f"{grew / 1024:,.0f} KiB",
                 "ceiling 8,192 KiB", ratio(grew, 8 * 1024 * 1024, 3)))
    rows.append((f"Flood, {label}: value returned after the large replies", one(lg, "value"), "12345678 sent",
                 "1.00" if one(lg, "value") == "12345678" else "WRONG"))

# ---- the page ----
out = []
w = out.append
w("# Performance")
w("")
w("Figures of the monitor on this machine, each against a reference measured in the same run. The page is "
  "written by `bench/run.sh` (see the README, \"Performance\"); do not edit it by hand.")
w("")
w("## Machine")
w("")
w("| | |")
w("|---|---|")
for key, label in (("cpu", "CPU"), ("cores", "cores (nproc)"), ("memory", "memory"), ("kernel", "kernel"),
                   ("os", "system"), ("wine", "Wine"), ("gcc", "g++ (native, Release, no sanitizers)"),
                   ("mingw", "MinGW-w64 g++ (windows, Release)"), ("clang", "clang (libFuzzer)"),
                   ("snmpd", "net-snmp snmpd / snmpget"), ("hyperfine", "hyperfine (the report's timings)"),
                   ("date", "run")):
    w(f"| {label} | {one(machine, key, '?')} |")
w("")
w("Peers: net-snmp `snmpd` natively on 127.0.0.11 to 127.0.0.20 (one per address, community "
  "\"vellbench\", the loopback interface's octet counters); the device that does not answer is "
  f"{one(machine, 'silent', '(none)')} in a network namespace of the run's own that drops echo requests. "
  "The four fuzzers ran at nice 10, sharing the two cores, beside the soak and the idle measurement; the "
  "codec, latency, probe, cycle and flood figures were taken before they started.")
w("")
w("## Results")
w("")
w("| Measurement | Figure | Reference (same run) | Ratio |")
w("|---|---|---|---|")
for r in rows:
    w("| " + " | ".join(str(x) for x in r) + " |")
w("")
if missing:
    w("Not measured in this run: " + "; ".join(missing) + ".")
    w("")
w("## Far from the reference")
w("")
if notes:
    for n in notes:
        w(f"- {n}")
else:
    w("Every figure is close to its reference.")
w("")
w("## Soak samples")
w("")
w("Rounds of `PollInterface` on one interface (probe + two counter queries against snmpd, the rates and the "
  "log), the query's 200/500 ms sleeps replaced by a wait that returns as soon as the reply slot is set (the "
  "stack, its sockets and its receiver threads are the real ones). The first rounds set up what lives for the "
  "whole process (the stack's tables, the C runtime's cached stack of a finished thread): the soak's start is "
  "the sample after round 10; the first line is after round 1. The native soak runs with glibc's per-thread "
  "cache off (`GLIBC_TUNABLES=glibc.malloc.tcache_count=0`): chunks parked there count as in use, which would "
  "blur the heap figure by a few KiB while the cache fills.")
w("")
for label, s in soak_rows:
    w(f"{label}:")
    w("")
    keys = ["round", "handles"] + (["host_fds"] if label == "Wine" else []) + ["threads", "rss_kb", "heap_bytes"]
    w("| " + " | ".join(keys) + " |")
    w("|" + "---|" * len(keys))
    samples = {}
    for key in ("sample_first", "sample_start", "sample_at", "sample_end"):
        for text in s.get(key, []):
            d = sample(text)
            samples[d.get("round", 0)] = d
    for r in sorted(samples):
        w("| " + " | ".join(f"{samples[r].get(k, 0):,}" for k in keys) + " |")
    w("")
w("## Fuzzing")
w("")
for target, f in fuzz_rows:
    w(f"- `{target}`: {int(one(f, 'execs')):,} executions in {one(machine, 'fuzz_seconds')} s "
      f"({one(f, 'execs_per_s', '?')}/s), coverage {one(f, 'cov', '?')} edges and {one(f, 'ft', '?')} features, "
      f"peak RSS {one(f, 'peak_rss_mb', '?')} MB, findings: {one(f, 'findings', '?')} (exit {one(f, 'exit', '?')}); "
      f"corpus {one(f, 'corpus_before')} → {one(f, 'corpus_after')} inputs after merging.")
w("")
failures_path = os.path.join(results, "failures.txt")
failed = [l.strip() for l in open(failures_path)] if os.path.exists(failures_path) else []
failed = [l for l in failed if l]
if failed:
    w("Steps that failed in this run: " + "; ".join(failed) + ".")
    w("")
w("## Commands")
w("")
w("Everything above comes from `bench/run.sh`, which ran:")
w("")
w("```")
with open(os.path.join(results, "commands.txt")) as f:
    for line in f:
        w(line.rstrip("\n"))
w("```")
sys.stdout.write("\n".join(out) + "\n")
