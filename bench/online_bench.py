#!/usr/bin/env python3
"""The figures of bench/online-bench.sh: what a process costs over a window of
seconds, the server round trips in a wineserver trace, and the table.

  online_bench.py sample PROGRAM_PID WINESERVER_PID SECONDS
      prints "elapsed_s program_cpu_ms program_wakeups wineserver_cpu_ms"
  online_bench.py trace TRACE_FILE MARKS_FILE PIDS_FILE
  online_bench.py requests TRACE_FILE MARKS_FILE PIDS_FILE [ROLE]
      MARKS_FILE: "case first_byte last_byte elapsed_s" a line; PIDS_FILE:
      "role unix_pid" a line. Prints "case role round_trips elapsed_s" a line.
  online_bench.py table RESULTS_FILE TARGET_LABEL
      RESULTS_FILE: "label run case metric value_per_tick" a line (wineserver's
      CPU as "server_raw", the floor taken off here). Prints the
      table and the targets of TARGET_LABEL; exits 1 when one is missed.
"""
import collections
import os
import re
import statistics
import sys
import time

def per_thread(pid):
    """(CPU time in ms, voluntary context switches) of each live thread. A
    voluntary switch is a wait that ended: a wake-up. The CPU time is the
    scheduler's, in nanoseconds (/proc/PID/stat counts in 10 ms ticks)."""
    out = {}
    try:
        tids = os.listdir(f"/proc/{pid}/task")
    except OSError:
        return out
    for tid in tids:
        try:
            with open(f"/proc/{pid}/task/{tid}/schedstat") as f:
                cpu = int(f.read().split()[0]) / 1e6
            with open(f"/proc/{pid}/task/{tid}/status") as f:
                switches = next(int(l.split()[1]) for l in f if l.startswith("voluntary_ctxt_switches:"))
        except (OSError, StopIteration):
            continue  # the thread ended between the listing and the read
        out[tid] = (cpu, switches)
    return out


def sample(program, server, seconds):
    """The program's CPU and wake-ups and wineserver's CPU over SECONDS.

    Threads are looked at twice a second, so one that starts and ends within
    the window still counts with what it did up to its last look."""
    first = {pid: per_thread(pid) for pid in (program, server)}
    last = {pid: dict(threads) for pid, threads in first.items()}
    t0 = time.monotonic()
    deadline = t0 + seconds
    while True:
        now = time.monotonic()
        if now >= deadline:
            break
        time.sleep(min(0.5, deadline - now))
        for pid in last:
            last[pid].update(per_thread(pid))
    elapsed = time.monotonic() - t0

    def total(pid, field):
        return sum(v[field] - first[pid].get(tid, (0, 0))[field] for tid, v in last[pid].items())

    return elapsed, total(program, 0), total(program, 1), total(server, 0)


# A request in wineserver's trace: "0124: get_message( flags=00000000, ... )".
# Its reply reads "0124: get_message() = 0 { ... }"; lines about fds, signals
# and ended threads start with "*".
REQUEST = re.compile(r"^([0-9a-f]{4,8}): (\w+)\((?!\) = )")
FIRST_THREAD = re.compile(r"^([0-9a-f]{4,8}): init_first_thread\( unix_pid=(\d+)")
OWN_THREAD = re.compile(r"^([0-9a-f]{4,8}): new_thread\( process=ffffffff")
NEW_THREAD = re.compile(r"^([0-9a-f]{4,8}): new_thread\(\) = (\w+)(?: \{ tid=([0-9a-f]+))?")


def thread_owners(lines):
    """Wine thread id -> unix pid. A process's first thread names its unix pid;
    a thread made for the current process (handle ffffffff) belongs to its
    maker's. A later thread with a reused id replaces the earlier owner."""
    owners, making = {}, set()
    for line in lines:
        m = FIRST_THREAD.match(line)
        if m:
            owners[m.group(1)] = int(m.group(2))
            continue
        m = OWN_THREAD.match(line)
        if m:
            making.add(m.group(1))
            continue
        m = NEW_THREAD.match(line)
        if m and m.group(1) in making:
            making.discard(m.group(1))
            if m.group(2) == "0" and m.group(1) in owners:
                owners[m.group(3)] = owners[m.group(1)]
    return owners


def requests_by_case(text, marks, pids):
    """(case, elapsed, [(role, request name), ...]) for each marked byte range:
    the requests of the processes of each role.

    A thread id is only reused after its thread ended, so the owners are taken
    from the whole trace up to the end of the last range: the program's threads
    began before any window."""
    end = max(last for _, _, last, _ in marks)
    owners = thread_owners(text[:end].decode("utf-8", "replace").splitlines())
    role_of = {unix_pid: role for role, unix_pid in pids}
    for case, first, last, elapsed in marks:
        requests = []
        for line in text[first:last].decode("utf-8", "replace").splitlines():
            m = REQUEST.match(line)
            if m and owners.get(m.group(1)) in role_of:
                requests.append((role_of[owners[m.group(1)]], m.group(2)))
        yield case, elapsed, requests


def count_round_trips(text, marks, pids):
    """Requests of each role's processes within each marked byte range."""
    out = []
    for case, elapsed, requests in requests_by_case(text, marks, pids):
        for role in dict.fromkeys(r for r, _ in pids):
            out.append((case, role, sum(1 for r, _ in requests if r == role), elapsed))
    return out


def request_names(text, marks, pids, role="program"):
    """Per case, how many of each request one role's threads made per second,
    most first: where the round trips of a tick go."""
    out = []
    for case, elapsed, requests in requests_by_case(text, marks, pids):
        names = collections.Counter(name for r, name in requests if r == role)
        out.extend((case, name, count / elapsed) for name, count in names.most_common())
    return out


# --- The table ------------------------------------------------------------------

CASES = [("offline", "offline, hidden"), ("hidden", "online, in the tray"), ("shown", "online, window shown")]
COLUMNS = [
    ("cpu", "program CPU ms"),
    ("wakeups", "wake-ups"),
    ("server", "wineserver ms"),
    ("rt_program", "round trips"),
    ("rt_explorer", "explorer rt"),
    ("rt_winedevice", "winedevice rt"),
]
# Per one-second tick, on the medians: (case, metric, limit, text).
TARGETS = [
    ("hidden", "cpu", 1.0, "online in the tray: program CPU at most 1 ms"),
    ("hidden", "wakeups", 10.0, "online in the tray: at most 10 wake-ups"),
    ("hidden", "server", 1.0, "online in the tray: wineserver at most 1 ms above its offline floor"),
    ("offline", "wakeups", 0.0, "offline idle: no wake-ups"),
]


def median_and_range(values):
    return statistics.median(values), min(values), max(values)


def cell(values, digits):
    if not values:
        return "-"
    med, lo, hi = median_and_range(values)
    if len(values) == 1 or lo == hi:
        return f"{med:.{digits}f}"
    return f"{med:.{digits}f} [{lo:.{digits}f}-{hi:.{digits}f}]"


def load(lines):
    """label -> case -> metric -> values over the runs, labels in the order first
    seen. wineserver's figure ("server_raw") becomes, online, what is above the
    offline figure of the same run and build; offline, the floor itself."""
    results, raw = {}, {}
    for line in lines:
        parts = line.split()
        if len(parts) != 5:
            continue
        label, run, case, metric, value = parts
        if metric == "server_raw":
            raw[(label, run, case)] = float(value)
            metric = None
        cases = results.setdefault(label, {}).setdefault(case, {})
        if metric:
            cases.setdefault(metric, []).append(float(value))
    for (label, run, case), value in raw.items():
        floor = raw.get((label, run, "offline"))
        if floor is not None:
            results[label][case].setdefault("server", []).append(value if case == "offline" else value - floor)
    return results


def table(results, target_label):
    lines = []
    widths = [24] + [max(len(title), 17) for _, title in COLUMNS]
    header = f"{'':{widths[0]}}" + "".join(f"  {title:>{w}}" for (_, title), w in zip(COLUMNS, widths[1:]))
    lines.append(header)
    for label, cases in results.items():
        lines.append(label)
        for case, name in CASES:
            metrics = cases.get(case, {})
            row = f"  {name:{widths[0] - 2}}"
            for (metric, _), w in zip(COLUMNS, widths[1:]):
                digits = 2 if metric in ("cpu", "server") else 1
                row += f"  {cell(metrics.get(metric, []), digits):>{w}}"
            lines.append(row)
    verdicts, ok = [], True
    for case, metric, limit, text in TARGETS:
        values = results.get(target_label, {}).get(case, {}).get(metric, [])
        if not values:
            verdicts.append(f"  {text}: not measured")
            ok = False
            continue
        med = statistics.median(values)
        met = med <= limit
        ok &= met
        verdicts.append(f"  {text}: {med:.2f} ({'met' if met else 'NOT MET'})")
    return lines, verdicts, ok


def main(argv):
    if len(argv) == 5 and argv[1] == "sample":
        elapsed, cpu, wakeups, server = sample(int(argv[2]), int(argv[3]), float(argv[4]))
        print(f"{elapsed:.3f} {cpu:.3f} {wakeups} {server:.3f}")
        return 0
    if len(argv) == 5 and argv[1] == "trace":
        text = open(argv[2], "rb").read()
        marks = [(c, int(a), int(b), float(e)) for c, a, b, e in (l.split() for l in open(argv[3]) if l.strip())]
        pids = [(r, int(p)) for r, p in (l.split() for l in open(argv[4]) if l.strip())]
        for case, role, count, elapsed in count_round_trips(text, marks, pids):
            print(case, role, count, f"{elapsed:.3f}")
        return 0
    if len(argv) in (5, 6) and argv[1] == "requests":
        text = open(argv[2], "rb").read()
        marks = [(c, int(a), int(b), float(e)) for c, a, b, e in (l.split() for l in open(argv[3]) if l.strip())]
        pids = [(r, int(p)) for r, p in (l.split() for l in open(argv[4]) if l.strip())]
        for case, name, rate in request_names(text, marks, pids, *argv[5:]):
            print(f"{case:8} {name:32} {rate:6.2f}")
        return 0
    if len(argv) == 4 and argv[1] == "table":
        lines, verdicts, ok = table(load(open(argv[2])), argv[3])
        print("\n".join(lines))
        print(f"Targets, per one-second tick ({argv[3]}, medians):")
        print("\n".join(verdicts))
        return 0 if ok else 1
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
