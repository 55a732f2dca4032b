#!/usr/bin/env bash
# The traffic of a real LAN session: what crosses the LAN shows in the status
# bar, goes into the session's record, and a quiet LAN counts as idle.
#
# A network namespace with a veth pair (host end 10.216.0.1, the namespace's
# 10.216.0.2) runs wineserver and Hourlink.exe. Once the session is up, about
# 2 MB of UDP go from the host end into the namespace and 1 MB the other way
# (to listeners on the discard port of the two ends only). Then:
#  - status panes 3 and 4 ("收到N", "发送N") agree with the kernel's counters
#    of the namespace's veth over the session, within a small margin;
#  - after four quiet seconds pane 0 reads "网络已经空闲N秒" and the figures
#    stay within a kilobyte (the kernel's neighbour probes may still cross);
#  - taking the address away completes the record with the same byte counts.
# Screenshot: traffic_status. Needs root and `ip netns`; else SKIPPED.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)

source "$here/netns.sh"
netns_begin "$@"

records="$work/adsl.bs"
program_pid=
netns_open 10.216 traffic program_pid

counter() { in_ns cat "/sys/class/net/$veth_ns/statistics/$1"; }
pane() { wt status-text Hourlink "$1"; }
number_in() { [[ "$1" =~ ([0-9]+) ]] && echo "${BASH_REMATCH[1]}" || echo 0; }
# Sends BYTES of UDP datagrams to HOST's discard port.
blast() {
  python3 - "$1" "$2" <<'PY'
import socket, sys
host, total = sys.argv[1], int(sys.argv[2])
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
chunk = b"E" * 1400
for _ in range(total // len(chunk)):
    s.sendto(chunk, (host, 9))
PY
}
# The last record's bytes received and sent.
record_bytes() {
  python3 - "$records" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
count = struct.unpack_from("<I", data, 16)[0]
r = data[32 + 84 * (count - 1):]
print(struct.unpack_from("<I", r, 68)[0], struct.unpack_from("<I", r, 76)[0])
PY
}
near() {  # near A B: A within 3% or 16 KB of B
  local a=$1 b=$2 d
  d=$((a > b ? a - b : b - a))
  ((d <= 16384 || d * 100 <= b * 3))
}

netns_start_wine
# Idle disconnect on after a minute: the LAN is quiet for less than that.
in_ns wine reg add 'HKCU\Software\Hourlink\Hourlink\Advance' /v idelFlag /t REG_DWORD /d 1 /f >/dev/null
in_ns wine reg add 'HKCU\Software\Hourlink\Hourlink\Advance' /v idel /t REG_DWORD /d 1 /f >/dev/null
in_ns wine "$exe" &
program_pid=$!
wt wait-window Hourlink 60000 >/dev/null || fail "no main window titled Hourlink"
wait_log_lines "在线" 1
rx0=$(counter rx_bytes)
tx0=$(counter tx_bytes)
sleep 2

# Listeners take the datagrams in, so no "port unreachable" comes back: raw
# ICMP sockets elsewhere on this machine (a ping test running beside this
# one) would see it.
sink_py='import socket, sys
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind((sys.argv[1], 9))
while True: s.recv(65536)'
# Started directly (no subshell between), so killing the pid ends the listener
# and nothing keeps the test's output open.
python3 -c "$sink_py" "$host_ip" >/dev/null 2>&1 &
host_sink=$!
in_ns python3 -c "$sink_py" "$ns_ip" >/dev/null 2>&1 &
ns_sink=$!
sleep 0.5
blast "$ns_ip" 2000000
in_ns bash -c "$(declare -f blast); blast $host_ip 1000000"
sleep 2.5
kill "$host_sink" "$ns_sink" 2>/dev/null || true
# The figures settle once the last sample after the traffic has been taken: on
# a loaded machine a tick may come late, so they are read until two looks two
# seconds apart agree.
figures() { echo "$(pane 3)|$(pane 4)"; }
settled() {
  local before
  before=$(figures)
  sleep 2
  [[ "$(figures)" == "$before" ]]
}
wait_for 30 settled || fail "the traffic figures never settle: $(figures)"
rx=$(( $(counter rx_bytes) - rx0 ))
tx=$(( $(counter tx_bytes) - tx0 ))
received=$(number_in "$(pane 3)")
sent=$(number_in "$(pane 4)")
echo "panes: $(pane 3) $(pane 4); kernel: received $rx, sent $tx"
((rx > 1900000 && tx > 950000)) || fail "the traffic did not cross the LAN: rx=$rx tx=$tx"
near "$received" "$rx" || fail "pane 3 shows $received bytes received, the kernel counted $rx"
near "$sent" "$tx" || fail "pane 4 shows $sent bytes sent, the kernel counted $tx"
screenshot traffic_status

# Quiet: the idle seconds count in pane 0 and the figures stay.
for ((i = 0; i < 20; i++)); do
  [[ "$(pane 0)" == 网络已经空闲* ]] && break
  sleep 0.5
done
idle=$(pane 0)
[[ "$idle" =~ ^网络已经空闲([0-9]+)秒$ ]] || fail "pane 0 reads '$idle' on a quiet LAN"
((BASH_REMATCH[1] >= 4)) || fail "idle shown after only ${BASH_REMATCH[1]}s"
echo "pane 0: $idle"
# Quiet is under 100 bytes a second: the kernel's own neighbour probes may
# still cross the link, but no more than that.
moved=$(($(number_in "$(pane 3)") - received))
((moved >= 0 && moved < 1024)) || fail "pane 3 moved by $moved bytes on a quiet LAN"

# The end of the session: its record keeps the figures.
lan_down
wait_log_lines "离线" 1
read -r rec_received rec_sent < <(record_bytes)
echo "record: received $rec_received, sent $rec_sent"
near "$rec_received" "$received" || fail "the record says $rec_received bytes received, the pane $received"
near "$rec_sent" "$sent" || fail "the record says $rec_sent bytes sent, the pane $sent"
log_text | grep -q "连接已关闭" && fail "a LAN was 'hung up'"

echo "PASS: LAN traffic shown and recorded as the kernel counted it; quiet seconds counted"
