#!/usr/bin/env python3
"""The crash soak's reader of the record file "adsl.bs", apart from the program's
own code: a 32-byte header, then 84-byte records.

  soak_records.py open MODEL FILE IP
      FILE holds MODEL's records unchanged and one more, open (end and duration
      0) from IP. Prints that record's start.
  soak_records.py check MODEL KILLED FILE BACKUP ELAPSED MODE
      FILE holds MODEL's records and, last, KILLED's last record completed from
      the backup value BACKUP: duration BACKUP, end start + BACKUP, billed by
      the minute rounding, continuation 2, every other byte as at the kill. The
      backup must be this session's: at most ELAPSED + 2 and, past the first
      minute, at least ELAPSED - 65 seconds. MODE: "kept" (nothing purged),
      "purged" (the purge's result), or "either". Prints the state found and
      the number of records compared.
  soak_records.py bloat FILE MODEL OLD FILLER NOW
      Makes FILE due for a purge: OLD records a year old and FILLER recent ones
      go before its records, and the purge countdown is set to 0. MODEL gets the
      new file's records without the last (the open one).
  soak_records.py wait-state FILE MODE
      Exit 0 when FILE's last record is completed (and, for MODE "purged", the
      countdown is 254 and no purge is under way).
  soak_records.py kill-in-purge FILE DELAY_MS TIMEOUT_S
      Run inside the program's network namespace: waits for Hourlink.exe there,
      then for the purge's new file beside FILE, and kills the program (SIGKILL)
      DELAY_MS later. Prints "killed" or "missed".

A purge keeps the last 20 of the old records (those started at or before its
cutoff, counted from the second record on) and the first record; with the
default retention of 3 months the cutoff lies 90 to 120 days back, so "old"
here is anything started 200 days back or more, "recent" 60 days or less.
"""
import os
import signal
import struct
import sys
import time

HEADER, RECORD = 32, 84
OLD_AGE = 200 * 86400


def load(path):
    data = open(path, "rb").read()
    tag, _time, countdown, _drop, count, hsize, rsize = struct.unpack_from("<4sIB3xiIII4x", data, 0)
    if tag != b"12\0\0" or (hsize, rsize) != (HEADER, RECORD):
        raise AssertionError(f"{path}: bad header {tag!r} {hsize} {rsize}")
    if len(data) != HEADER + RECORD * count:
        raise AssertionError(f"{path}: {len(data)} bytes for {count} records")
    records = [data[HEADER + RECORD * i: HEADER + RECORD * (i + 1)] for i in range(count)]
    return countdown, records


def fields(r):
    start, end, duration = struct.unpack_from("<IIi", r, 4)
    billed, = struct.unpack_from("<i", r, 40)
    ip = r[49:68].split(b"\0")[0].decode("ascii", "replace")
    return start, end, duration, billed, ip, r[80]


def billed_of(seconds):
    return seconds - seconds % 60 + (0 if seconds % 60 < 2 else 60)


def purged(records, now):
    """The records a purge leaves (the rule above)."""
    if not records or fields(records[0])[0] > now - OLD_AGE:
        return records
    old = sum(1 for r in records[1:] if fields(r)[0] <= now - OLD_AGE)
    return records[old - 20:] if old >= 50 else records


def completed(killed_last, backup):
    r = bytearray(killed_last)
    start = fields(r)[0]
    struct.pack_into("<Ii", r, 8, start + backup, backup)
    struct.pack_into("<i", r, 40, billed_of(backup))
    r[80] = 2
    return bytes(r)


def cmd_open(model, path, ip):
    _, want = load(model)
    _, got = load(path)
    assert len(got) == len(want) + 1, f"{len(got)} records, expected {len(want) + 1}"
    bad = [i for i, (a, b) in enumerate(zip(want, got)) if a != b]
    assert not bad, f"finished records changed: {bad[:10]}"
    start, end, duration, _, rip, _ = fields(got[-1])
    assert (end, duration, rip) == (0, 0, ip), f"the new record is not open from {ip}: {fields(got[-1])}"
    print(start)


def cmd_check(model, killed, path, backup, elapsed, mode):
    backup, elapsed = int(backup), int(elapsed)
    _, base = load(model)
    _, at_kill = load(killed)
    countdown, got = load(path)
    assert backup <= elapsed + 2, f"the backup holds {backup} s of a session killed after {elapsed} s"
    assert elapsed < 62 or backup >= elapsed - 65, f"the backup holds {backup} s after {elapsed} s"
    whole = base + [completed(at_kill[-1], backup)]
    now = fields(at_kill[-1])[0]
    candidates = {"kept": whole, "purged": purged(whole, now)}
    for state in (["kept", "purged"] if mode == "either" else [mode]):
        want = candidates[state]
        # A purge leaves a fresh header, whose countdown is written as 254.
        if got == want and (state == "kept" or countdown == 254):
            print(state, len(want))
            return
    want = candidates["purged" if mode == "purged" else "kept"]
    diff = [i for i, (a, b) in enumerate(zip(want, got)) if a != b]
    raise AssertionError(f"{mode}: {len(got)} records (countdown {countdown}), expected {len(want)}; "
                         f"differing: {diff[:10]}; last found {fields(got[-1]) if got else None}, "
                         f"expected {fields(want[-1]) if want else None}")


def make_record(start, duration, name):
    r = bytearray(RECORD)
    r[0] = 32
    struct.pack_into("<IIi", r, 4, start, start + duration, duration)
    r[16:16 + len(name)] = name
    struct.pack_into("<i", r, 40, billed_of(duration))
    r[48] = 2
    r[49:58] = b"10.9.9.9\0"
    return bytes(r)


def cmd_bloat(path, model, old, filler, now):
    old, filler, now = int(old), int(filler), int(now)
    countdown, records = load(path)
    first = fields(records[0])[0] if records else now
    # Older than anything in the file, a minute apart.
    oldest = min(first, now - OLD_AGE) - 86400 - 60 * old
    extra = [make_record(oldest + 60 * i, 1800, b"old") for i in range(old)]
    extra += [make_record(now - 30 * 86400 + 10 * i, 5, b"filler") for i in range(filler)]
    records = extra + records
    header = struct.pack("<4sIB3xiIII4x", b"12\0\0", now, 0, 0, len(records), HEADER, RECORD)
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(header + b"".join(records))
    os.replace(tmp, path)
    with open(model, "wb") as f:
        f.write(struct.pack("<4sIB3xiIII4x", b"12\0\0", now, 0, 0, len(records) - 1, HEADER, RECORD))
        f.write(b"".join(records[:-1]))


def cmd_wait_state(path, mode):
    countdown, records = load(path)
    _, end, duration, _, _, cont = fields(records[-1])
    done = cont == 2 or end != 0
    if mode == "purged":
        done = done and countdown == 254 and not os.path.exists(path + ".new")
    sys.exit(0 if done else 1)


def program_in_this_namespace():
    mine = os.readlink("/proc/self/ns/net")
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            if (open(f"/proc/{pid}/comm").read().strip() == "Hourlink.exe"
                    and os.readlink(f"/proc/{pid}/ns/net") == mine):
                return int(pid)
        except OSError:
            pass
    return None


def cmd_kill_in_purge(path, delay_ms, timeout_s):
    deadline = time.monotonic() + float(timeout_s)
    pid = None
    while time.monotonic() < deadline:
        if pid is None:
            pid = program_in_this_namespace()
            time.sleep(0.005)
        elif os.path.exists(path + ".new"):
            time.sleep(float(delay_ms) / 1000)
            os.kill(pid, signal.SIGKILL)
            print("killed")
            return
        else:
            time.sleep(0.0005)
    print("missed")


def main(argv):
    commands = {"open": cmd_open, "check": cmd_check, "bloat": cmd_bloat, "wait-state": cmd_wait_state,
                "kill-in-purge": cmd_kill_in_purge}
    try:
        commands[argv[1]](*argv[2:])
    except (AssertionError, OSError, struct.error) as e:
        print(f"{argv[1]}: {e}", file=sys.stderr)
        sys.exit(1)


if __name__ == "__main__":
    main(sys.argv)
