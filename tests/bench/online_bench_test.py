#!/usr/bin/env python3
"""The online benchmark's figures: round trips go to the process whose thread
asked, only within the window; wineserver is judged above its own run's
floor; a missed target fails the table."""
import pathlib
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "bench"))
import online_bench as ob  # noqa: E402

failures = []


def check(ok, text):
    if not ok:
        failures.append(text)


# Before the window: the program (unix 100, thread 0024) makes a thread of its
# own (0030) and starts a child (unix 200) whose first thread is 0034; the
# explorer (unix 300) has thread 0040, which ends, and its id is made again
# by the program.
before = """0024: init_first_thread( unix_pid=100, unix_tid=100, debug_level=0, reply_fd=7, wait_fd=9 )
0024: init_first_thread() = 0 { pid=0020, tid=0024 }
0040: init_first_thread( unix_pid=300, unix_tid=300, debug_level=0, reply_fd=7, wait_fd=9 )
0024: new_thread( process=ffffffff, access=001fffff, flags=00000000, request_fd=-1, objattr={} )
0024: new_thread() = 0 { tid=0030, handle=0050 }
0024: new_thread( process=0044, access=001fffff, flags=00000001, request_fd=-1, objattr={} )
0024: new_thread() = 0 { tid=0034, handle=0048 }
0034: init_first_thread( unix_pid=200, unix_tid=200, debug_level=0, reply_fd=5, wait_fd=8 )
0040: get_message( flags=00000000 )
0040: *killed* exit_code=0
0030: new_thread( process=ffffffff, access=001fffff, flags=00000000, request_fd=-1, objattr={} )
0030: new_thread() = 0 { tid=0040, handle=0054 }
"""
window = """0024: get_message( flags=00000000, get_win=00000000 )
0024: get_message() = 0 { win=00010020, msg=00000113 }
0024: *wakeup* signaled=0
0030: select( flags=2, cookie=0 )
0040: set_window_text( handle=00010022 )
0034: get_key_value( hkey=0010 )
0034: *fd* 0018 -> 51
0024: get_thread_times( )
"""
after = "0024: close_handle( handle=0004 )\n"
text = (before + window + after).encode()
first = len(before.encode())
marks = [("hidden", first, first + len(window.encode()), 2.0)]
pids = [("program", 100), ("explorer", 300), ("child", 200)]
counts = {role: n for _, role, n, _ in ob.count_round_trips(text, marks, pids)}
# 0024 twice with the empty request, 0030, and 0040 now the program's.
check(counts == {"program": 4, "explorer": 0, "child": 1}, f"round trips {counts}")
names = {name: rate for _, name, rate in ob.request_names(text, marks, pids)}
check(names == {"get_message": 0.5, "select": 0.5, "set_window_text": 0.5, "get_thread_times": 0.5},
      f"the program's requests {names}")

# (results lines, metric, case, expected per-run values)
floors = [
    (["a 1 offline server_raw 3.0", "a 1 hidden server_raw 3.5",
      "a 2 offline server_raw 5.0", "a 2 hidden server_raw 5.25"], "hidden", [0.5, 0.25]),
    (["a 1 offline server_raw 3.0"], "offline", [3.0]),
]
for lines, case, expected in floors:
    got = ob.load(lines)["a"][case]["server"]
    check(sorted(got) == sorted(expected), f"wineserver {case} from {lines}: {got}")

# Every target met; each row changes some figures (values over the runs).
met = {"hidden cpu": [0.5], "hidden wakeups": [3], "offline wakeups": [0],
       "offline server_raw": [4], "hidden server_raw": [4.5]}
rows = [
    ({}, True),
    ({"hidden cpu": [0.5, 2, 3]}, False),  # judged on the median
    ({"offline wakeups": [0.1]}, False),  # one stray wake-up offline
    ({"hidden server_raw": [6]}, False),  # 2 ms above the floor
    ({"hidden wakeups": [10]}, True),  # the limit itself
]
for change, ok in rows:
    figures = {**met, **change}
    lines = [f"b {run} {key} {v}" for key, values in figures.items() for run, v in enumerate(values, 1)]
    _, verdicts, got = ob.table(ob.load(lines + ["a 1 hidden cpu 9"]), "b")
    check(got == ok, f"targets with {change}: {verdicts}")

for f in failures:
    print("FAIL:", f)
print("online bench figures:", "FAILED" if failures else "ok")
sys.exit(1 if failures else 0)
