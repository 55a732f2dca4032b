#!/usr/bin/env bash
# A real LAN session, watched by the real connection watcher and its thread.
#
# A network namespace with a veth pair is a LAN under our control: the host end
# is 10.213.0.1 and answers echo (it is also the namespace's DNS server), the
# namespace end is 10.213.0.2. wineserver and watcher_host.exe (the watcher
# with a stand-in for the frame) run inside the namespace, so Winsock's
# address-change notification, IP Helper, Wininet and ICMP see only that LAN.
#
#  - At the start the LAN is up: the first check appends an open record
#    (type 2, the Wininet connection name, client 10.213.0.2).
#  - Removing the namespace's address ends the session: the record is completed
#    with the seconds the host's session tick wrote (end = start + duration,
#    billed by the minute rule).
#  - Adding it back starts a new record. Several cycles: no record is lost,
#    duplicated or left open, and the file matches what the frame was told.
#
# The LAN is recognised by an echo to the DNS server, and Winsock is traced
# throughout: the program never asks for a raw socket, which a standard user
# may not open on Windows. With HOURLINK_E2E_USER set, everything runs as that
# standard user (see netns.sh), and the ping tool's dialog must show replies.
#
# Only the namespace's and the host end's addresses are ever used; forwarding
# is off on the host end. Needs root and `ip netns`; without them it prints
# SKIPPED and succeeds.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)

source "$here/netns.sh"
netns_begin "$@"

host_src=$(dirname "$wintool")/watcher_host.exe
[[ -f "$host_src" ]] || fail "watcher_host.exe not found next to $wintool"
cp "$host_src" "$work/watcher_host.exe"
records="$work/adsl.bs"
hostlog="$work/watcher_host.log"
title="Hourlink watcher host"
host_pid=

# --- The LAN -------------------------------------------------------------------
netns_open 10.213 e2e host_pid
[[ $(in_ns cat /etc/resolv.conf) == "nameserver $host_ip" ]] || fail "the namespace's resolv.conf is not ours"

# --- Helpers -------------------------------------------------------------------

# Waits until the host's log has at least N lines starting with WORD.
wait_lines() {
  local word=$1 n=$2 timeout=${3:-30} i
  for ((i = 0; i < timeout * 10; i++)); do
    if (($(grep -c "^$word " "$hostlog" 2>/dev/null || true) >= n)); then return 0; fi
    sleep 0.1
  done
  fail "no $n '$word' lines in the host's log after ${timeout}s:$(echo; cat "$hostlog" 2>/dev/null)"
}

# Decodes the record file and checks it against the host's log. SESSIONS is the
# number of sessions begun so far; LAST_OPEN 1 when the last is still running.
check_records() {
  python3 - "$records" "$hostlog" "$1" "$2" "$up_seconds" <<'PY'
import re, struct, sys

path, log_path, sessions, last_open, up = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4] == "1", int(sys.argv[5])
data = open(path, "rb").read()
problems = []
def check(ok, text):
    if not ok:
        problems.append(text)

check(len(data) >= 32, f"file of {len(data)} bytes has no header")
tag, htime, countdown, drop, count, hsize, rsize = struct.unpack_from("<4sIB3xiIII", data, 0)
check(tag == b"12\0\0", f"tag {tag!r}")
check((hsize, rsize) == (32, 84), f"sizes {hsize}, {rsize}")
check(count == sessions, f"record count {count}, expected {sessions}")
check(len(data) == 32 + 84 * count, f"file length {len(data)} for {count} records")
check(countdown == 254 - count, f"purge countdown {countdown} after {count} appends")

log = open(log_path, encoding="utf-8").read().splitlines()
wininet = next(l.split("name=", 1)[1] for l in log if l.startswith("wininet "))
check(wininet != "", "Wininet reported no connection name")
connects = [dict(re.findall(r"(\w+)=(\S+)", l)) for l in log if l.startswith("connect ")]
disconnects = [dict(re.findall(r"(\w+)=(\S+)", l)) for l in log if l.startswith("disconnect ")]
# The last elapsed value written before each disconnect.
last_elapsed, elapsed = [], None
for l in log:
    if l.startswith("elapsed "):
        elapsed = int(l.split()[1])
    elif l.startswith("disconnect "):
        last_elapsed.append(elapsed)
        elapsed = None

print(f"  header: count={count} countdown={countdown} length={len(data)}")
previous_start = 0
for i in range(min(count, (len(data) - 32) // 84)):
    r = data[32 + 84 * i: 32 + 84 * (i + 1)]
    marker, start, end, duration, name, billed, speed, rtype, ip, received, r72, sent, cont = \
        struct.unpack("<B3xIIi24siIB19sIh2xIB3x", r)
    name = name.split(b"\0")[0].decode("gbk")
    ip = ip.split(b"\0")[0].decode("ascii")
    print(f"  record {i}: start={start} end={end} duration={duration} billed={billed} "
          f"type={rtype} name={name} ip={ip} continuation={cont} speed={speed} rx={received} tx={sent}")
    where = f"record {i}"
    check(marker == 0x20, f"{where}: marker {marker:#x}")
    check(rtype == 2, f"{where}: type {rtype}")
    check(name == wininet, f"{where}: name {name!r}, Wininet says {wininet!r}")
    check(ip == "10.213.0.2", f"{where}: client IP {ip!r}")
    check(cont == 0, f"{where}: continuation {cont}")
    check(start > previous_start, f"{where}: start {start} not after {previous_start}")
    previous_start = start
    check(i < len(connects) and int(connects[i]["start"]) == start,
          f"{where}: start {start} is not the start the frame was told")
    check(i < len(connects) and connects[i]["ip"] == ip and connects[i]["type"] == "2",
          f"{where}: the frame was told another session")
    if last_open and i == count - 1:
        check((end, duration, billed) == (0, 0, 0), f"{where}: running session already completed")
        continue
    # A completed session: the seconds the frame wrote, and the minute rule.
    check(duration >= 1, f"{where}: duration {duration}")
    check(duration <= up + 3, f"{where}: duration {duration} for about {up}s online")
    check(end == start + duration, f"{where}: end {end} != start + duration")
    rest = duration % 60
    check(billed == (duration - rest if rest < 2 else duration - rest + 60),
          f"{where}: billed {billed} for {duration}s")
    check((speed, received, sent) == (0, 0, 0), f"{where}: traffic figures on a LAN")
    if i < len(disconnects):
        d = disconnects[i]
        check((int(d["duration"]), int(d["end"]), int(d["billed"])) == (duration, end, billed),
              f"{where}: the frame was told duration={d['duration']} end={d['end']} billed={d['billed']}")
        check(last_elapsed[i] == duration,
              f"{where}: duration {duration}, but the frame last wrote {last_elapsed[i]}")
    else:
        problems.append(f"{where}: completed, but the frame was not told")
check(len(connects) == sessions, f"{len(connects)} connects told for {sessions} sessions")
check(len(disconnects) == sessions - (1 if last_open else 0),
      f"{len(disconnects)} disconnects told")
for p in problems:
    print("  PROBLEM: " + p)
sys.exit(1 if problems else 0)
PY
}

# --- The run -------------------------------------------------------------------
up_seconds=5
down_seconds=3
cycles=4
[[ -n "${netns_user:-}" ]] && cycles=2

# A raw socket in a Winsock trace: "WSASocketW family 2, type 3, ...".
no_raw_socket() {
  if grep -E 'WSASocket[AW] family [0-9]+, type 3,' "$1"; then
    fail "$2 asked for a raw socket (above)"
  fi
  grep -q 'trace:winsock' "$1" || fail "the Winsock trace of $2 is empty"
}

netns_start_wine
WINEDEBUG=+winsock in_ns wine "$work/watcher_host.exe" >"$work/host.out" 2>&1 &
host_pid=$!
in_ns wine "$wintool" wait-window "$title" 60000 >/dev/null || fail "the host's window did not appear"

for ((n = 1; n <= cycles; n++)); do
  if ((n > 1)); then
    echo "cycle $n: adding $ns_ip"
    lan_up
  fi
  wait_lines connect "$n" 30
  echo "session $n began:"
  check_records "$n" 1 || fail "records after session $n began"
  sleep "$up_seconds"
  if ((n == 1)); then screenshot lan_session_online; fi
  echo "cycle $n: removing $ns_ip"
  lan_down
  wait_lines disconnect "$n" 30
  echo "session $n ended:"
  check_records "$n" 0 || fail "records after session $n ended"
  # While the LAN is down nothing more is recorded.
  sleep "$down_seconds"
  check_records "$n" 0 >/dev/null || fail "records changed while the LAN was down"
done
grep -q '^records-updated 1$' "$hostlog" || fail "no WM_RECORDS_UPDATED with 1 after the first check"
if grep -E '^(log|message|error) ' "$hostlog" | grep -vE '^log (DNS = |IP地址=)'; then
  fail "the watcher reported failures (above)"
fi

# Closing the window stops the watcher thread and ends the program.
in_ns wine "$wintool" close "$title" || fail "could not close the host's window"
for ((i = 0; i < 150; i++)); do
  kill -0 "$host_pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$host_pid" 2>/dev/null && fail "the host did not end within 15s of being closed"
wait "$host_pid" || fail "the host ended with code $?"
host_pid=
[[ $(tail -n 1 "$hostlog") == stopped ]] || fail "the host's log does not end with its stop"
no_raw_socket "$work/host.out" "the watcher"

if [[ -n "${netns_user:-}" ]]; then
  # The ping tool's dialog, as the same user: replies from loopback, time-outs
  # from a silent peer beyond the LAN, which must be up for that.
  lan_up
  tools=$(dirname "$wintool")/tools_test.exe
  mkdir -p "$work/shots" && chown "$netns_user:" "$work/shots"
  HOURLINK_SCREENSHOT_DIR=$work/shots WINEDEBUG=+winsock in_ns wine "$tools" --gtest_filter='PingDialogTest.*' >"$work/ping.out" 2>&1 ||
    fail "the ping dialog as $netns_user:$(echo; grep -E '^\[|Failure|Expected|Which|: ' "$work/ping.out" | grep -v trace: | tail -20)"
  grep -qE 'PASSED  \] [1-9][0-9]* tests' "$work/ping.out" || fail "the ping dialog's tests did not run"
  no_raw_socket "$work/ping.out" "the ping dialog"
  echo "the ping dialog showed replies as $netns_user"
fi

echo "PASS: $cycles LAN sessions recorded and completed${netns_user:+ as $netns_user}, none lost or duplicated, no raw socket"
