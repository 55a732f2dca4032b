#!/usr/bin/env bash
# The real Hourlink.exe through a real LAN session, looked at as the user sees it.
#
# A network namespace with a veth pair is a LAN under our control: the host end
# is 10.214.0.1 and answers echo (it is also the namespace's DNS server), the
# namespace end is 10.214.0.2. wineserver and Hourlink.exe run inside the
# namespace, so the watcher sees only that LAN.
#
#  - The LAN is up at the start: the first check finds it. The text pane logs
#    "<name>在线" with the name Wininet gives the LAN, the session label counts
#    up, and adsl.bs beside the program gets an open record under that name.
#  - Closing the window asks "现在<name>在线，确实要退出吗?" (caption Hourlink);
#    No keeps the program and its window.
#  - Taking the address away logs "<name>离线" and completes the record.
#  - With the LAN back, closing and answering Yes ends the program.
#
# Screenshots: frame_online, exit_question, frame_offline. Only the namespace's
# and the host end's addresses are used; forwarding is off on the host end.
# Needs root and `ip netns`; without them it prints SKIPPED and succeeds.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)

skip() {
  echo "SKIPPED: $*"
  exit 0
}
[[ $(id -u) -eq 0 ]] || skip "network namespaces need root"
command -v ip >/dev/null || skip "no ip command (iproute2)"
ip netns list >/dev/null 2>&1 || skip "ip netns is not available"
command -v python3 >/dev/null || skip "python3 is needed to decode the record file"

if [[ -z "${DISPLAY:-}" ]]; then exec "$repo/scripts/with-display" bash "$0" "$@"; fi

# A prefix whose wineserver starts inside the namespace (not one shared with
# tests that run outside it).
export HOURLINK_WINEPREFIX=${HOURLINK_NETNS_WINEPREFIX:-$repo/build/wine-netns}
source "$here/lib.sh"

records="$work/adsl.bs"
ns=hl-frame-$$
veth_host=hlf$$h
veth_ns=hlf$$n
host_ip=10.214.0.1
ns_ip=10.214.0.2
program_pid=

cleanup() {
  set +e
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
  if [[ -n "$program_pid" ]]; then wait "$program_pid" 2>/dev/null; fi
  if ip netns list 2>/dev/null | grep -qw "$ns"; then
    for pid in $(ip netns pids "$ns" 2>/dev/null); do kill "$pid" 2>/dev/null; done
    ip netns del "$ns"
  fi
  ip link del "$veth_host" >/dev/null 2>&1
  rm -rf "/etc/netns/$ns"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

in_ns() { ip netns exec "$ns" "$@"; }
# wintool on the program's desktop, its output without carriage returns.
wt() { in_ns wine "$wintool" "$@" | tr -d '\r'; }

# --- The LAN -------------------------------------------------------------------
if [[ -n $(ip -4 -o addr show to 10.214.0.0/24) ]]; then
  fail "10.214.0.0/24 is already used on this machine: $(ip -4 -o addr show to 10.214.0.0/24)"
fi
ip netns add "$ns" || skip "cannot create a network namespace"
ip link add "$veth_host" type veth peer name "$veth_ns" || skip "cannot create a veth pair"
ip link set "$veth_ns" netns "$ns"
ip addr add "$host_ip/24" dev "$veth_host"
sysctl -q -w "net.ipv4.conf.$veth_host.forwarding=0"
ip link set "$veth_host" up
in_ns ip link set lo up
in_ns ip link set "$veth_ns" up
mkdir -p "/etc/netns/$ns"
echo "nameserver $host_ip" >"/etc/netns/$ns/resolv.conf"

lan_up() {
  in_ns ip addr add "$ns_ip/24" dev "$veth_ns"
  in_ns ip route replace default via "$host_ip"
}
lan_down() { in_ns ip addr del "$ns_ip/24" dev "$veth_ns"; }

lan_up
in_ns ping -c 1 -W 2 "$host_ip" >/dev/null || fail "the host end $host_ip does not answer from inside $ns"

# --- Helpers -------------------------------------------------------------------

# The text pane's text (the main window's edit control).
log_text() { wt child-text Hourlink Edit || true; }
# The session label: the month bar's static control in slot 13.
session_label() { wt child-text Hourlink Static 13 || true; }

# Waits until the text pane holds at least N lines ending in WORD.
wait_log_lines() {
  local word=$1 n=$2 i
  for ((i = 0; i < 60; i++)); do
    if (($(log_text | grep -c "${word}\$" || true) >= n)); then return 0; fi
    sleep 0.5
  done
  fail "the text pane has no $n lines ending in '$word':$(echo; log_text)"
}

# Seconds of an "H:MM:SS" text.
seconds_of() {
  [[ "$1" =~ ^[[:space:]]*([0-9]+):([0-9]{2}):([0-9]{2}) ]] || fail "'$1' is no running time"
  echo $((10#${BASH_REMATCH[1]} * 3600 + 10#${BASH_REMATCH[2]} * 60 + 10#${BASH_REMATCH[3]}))
}

# The records of adsl.bs, one line each: start end duration type ip name.
records_list() {
  PYTHONIOENCODING=utf-8 python3 - "$records" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
tag, _, _, _, count, hsize, rsize = struct.unpack_from("<4sIB3xiIII", data, 0)
assert tag == b"12\0\0" and (hsize, rsize) == (32, 84), (tag, hsize, rsize)
for i in range(count):
    r = data[32 + 84 * i: 32 + 84 * (i + 1)]
    marker, start, end, duration, name, billed, speed, rtype, ip = \
        struct.unpack_from("<B3xIIi24siIB19s", r)
    name = name.split(b"\0")[0].decode("gbk")
    ip = ip.split(b"\0")[0].decode("ascii")
    print(start, end, duration, rtype, ip, name)
PY
}

program_running() { kill -0 "$program_pid" 2>/dev/null; }

# --- The run -------------------------------------------------------------------
stop_wine
in_ns wine reg delete 'HKCU\Software\Hourlink' /f >/dev/null 2>&1 || true
in_ns wine "$exe" &
program_pid=$!
wt wait-window Hourlink 60000 >/dev/null || fail "no main window titled Hourlink"

# The first check finds the LAN.
wait_log_lines "在线" 1
online_line=$(log_text | grep "在线\$" | head -n 1)
name=${online_line%在线}
[[ -n "$name" ]] || fail "the online line '$online_line' names no connection"
echo "text pane: $online_line"

[[ -s "$records" ]] || fail "no adsl.bs beside the program"
read -r start end duration type ip rec_name < <(records_list | tail -n 1)
[[ $(records_list | wc -l) == 1 ]] || fail "expected one record: $(records_list)"
[[ "$rec_name" == "$name" ]] || fail "the record is named '$rec_name', the log says '$name'"
[[ "$type/$ip/$end/$duration" == "2/$ns_ip/0/0" ]] ||
  fail "the running session's record: type=$type ip=$ip end=$end duration=$duration"

# The session label ticks.
first=$(seconds_of "$(session_label)")
sleep 3
second=$(seconds_of "$(session_label)")
echo "session label: ${first}s, 3s later ${second}s"
((second >= first + 2 && second <= first + 8)) || fail "the session label went from $first to $second in 3s"
screenshot frame_online

# Closing while online asks first; No keeps the program.
wt close Hourlink || fail "could not close the main window"
question=$(wt dialog-text Hourlink 15000) || fail "no message box titled Hourlink"
echo "exit question: $question"
[[ "$question" == *"现在${name}在线，确实要退出吗?"* ]] || fail "the exit question reads '$question'"
screenshot exit_question
wt dialog-press Hourlink 7 || fail "could not press No"
sleep 1
program_running || fail "the program ended after No"
[[ -z $(wt dialog-text Hourlink 0) ]] || fail "the question is still shown after No"
log_text | grep -q "离线\$" && fail "the session ended after No"
wt child-text Hourlink Edit >/dev/null || fail "the main window is gone after No"

# Taking the address away ends the session.
lan_down
wait_log_lines "离线" 1
log_text | grep -qx "${name}离线" || fail "no '${name}离线' line:$(echo; log_text)"
read -r start2 end2 duration2 type2 _ _ < <(records_list | tail -n 1)
[[ $start2 == "$start" ]] || fail "the completed record is not the session's"
((duration2 >= 4 && end2 == start + duration2)) ||
  fail "the completed record: start=$start end=$end2 duration=$duration2"
echo "record completed: start=$start end=$end2 duration=$duration2"
stopped=$(seconds_of "$(session_label)")
sleep 2
[[ $(seconds_of "$(session_label)") == "$stopped" ]] || fail "the session label runs on offline"
screenshot frame_offline

# A new session; then Yes ends the program.
lan_up
wait_log_lines "在线" 2
[[ $(records_list | wc -l) == 2 ]] || fail "no second record: $(records_list)"
wt close Hourlink || fail "could not close the main window"
wt dialog-text Hourlink 15000 >/dev/null || fail "no exit question for the second session"
wt dialog-press Hourlink 6 || fail "could not press Yes"
for ((i = 0; i < 150; i++)); do
  program_running || break
  sleep 0.1
done
program_running && fail "the program did not end within 15s of Yes"
wait "$program_pid" || fail "the program ended with code $?"
program_pid=
echo "records at the end:"
records_list | sed 's/^/  /'

echo "PASS: LAN session shown, logged and recorded; exit question answered No, then Yes"
