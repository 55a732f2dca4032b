#!/usr/bin/env bash
# The real Hourlink.exe killed in the middle of a session, and started again.
#
# A network namespace with a veth pair is a LAN under our control: the host end
# is 10.215.0.1 (also the namespace's DNS server), the namespace end 10.215.0.2.
# wineserver and Hourlink.exe run inside the namespace.
#
#  - A first, short session ends normally: its record is complete.
#  - A second session runs past its first full minute: the session label shows
#    0:01:0x and "adsl.bak" beside the program holds 60. Then the program's
#    process is killed outright (SIGKILL, no chance to write anything); its
#    record in adsl.bs stays open (end 0, duration 0).
#  - With the LAN address gone, the program starts again and finds no
#    connection. Its first check completes the open record from the backup:
#    duration 60, end = start + 60, billed 60, continuation 2; the first record
#    is left byte for byte as it was, and no record is added or lost.
#  - The program then runs as usual: its window stays up, and the LAN coming
#    back starts a third record.
#
# Screenshot: crash_recovery (after the restart). Only the namespace's and the
# host end's addresses are used; forwarding is off on the host end. Needs root
# and `ip netns`; without them it prints SKIPPED and succeeds.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)

source "$here/netns.sh"
netns_begin "$@"

records="$work/adsl.bs"
backup="$work/adsl.bak"
launcher_pid=

# --- The LAN -------------------------------------------------------------------
netns_open 10.215 crash launcher_pid

# --- Helpers -------------------------------------------------------------------

# The records of adsl.bs, one line each:
#   marker start end duration billed type continuation ip name
# after checking that the header's count matches the file's length.
records_list() { adsl_records "$records" exact; }
record_count() { records_list | wc -l; }
# The 84 bytes of record I, in hex.
record_bytes() {
  python3 - "$records" "$1" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
i = int(sys.argv[2])
print(data[32 + 84 * i: 32 + 84 * (i + 1)].hex())
PY
}
# The backup's value, or "none" while it holds fewer than 4 bytes.
backup_value() {
  local size
  size=$(stat -c %s "$backup" 2>/dev/null) || size=0
  if ((size < 4)); then echo none; else od -An -t d4 -N 4 "$backup" | tr -d ' '; fi
}

wineserver_pids() {
  local pid
  for pid in $(ip netns pids "$ns" 2>/dev/null); do
    [[ $(cat "/proc/$pid/comm" 2>/dev/null) == wineserver* ]] && echo "$pid"
  done
  return 0
}

start_in_ns() {
  in_ns wine "$exe" &
  launcher_pid=$!
  wt wait-window Hourlink 60000 >/dev/null || fail "no main window titled Hourlink"
}

# --- A short session that ends normally -------------------------------------------
netns_start_wine
start_in_ns
wait_log_lines "在线" 1
online_line=$(log_text | grep "在线\$" | head -n 1)
name=${online_line%在线}
[[ -n "$name" ]] || fail "the online line '$online_line' names no connection"
echo "text pane: $online_line"
# Long enough (2 s or more) that the next session is not taken for this one.
sleep 3
lan_down
wait_log_lines "离线" 1
lan_up
wait_log_lines "在线" 2
[[ $(record_count) == 2 ]] || fail "two sessions, but the records are:$(echo; records_list)"
read -r _ start1 end1 duration1 _ _ _ _ _ < <(records_list | head -n 1)
((duration1 >= 2 && end1 == start1 + duration1)) ||
  fail "the first session's record is not complete:$(echo; records_list)"
first_record=$(record_bytes 0)

# --- The second session past its first full minute ------------------------------
read -r marker start end duration billed type cont ip rec_name < <(records_list | tail -n 1)
[[ "$marker/$end/$duration/$billed/$type/$cont/$ip/$rec_name" == "32/0/0/0/2/0/$ns_ip/$name" ]] ||
  fail "the second session's open record:$(echo; records_list)"

# Each tick whose session length is a whole minute writes the backup; a tick
# that comes late skips that minute (and the next minute's value is used).
minute=
for ((i = 0; i < 300; i++)); do
  value=$(backup_value)
  if [[ "$value" != none ]] && ((value > 0 && value % 60 == 0)); then
    minute=$value
    break
  fi
  [[ -n $(program_pids) ]] || fail "Hourlink.exe ended before its first full minute"
  sleep 0.5
done
[[ -n "$minute" ]] || fail "adsl.bak holds no full minute after 150s: $(backup_value); label $(session_label)"
label=$(session_label)
echo "adsl.bak holds $minute; session label $label"
at_kill=$(seconds_of "$label")
((at_kill >= minute && at_kill < minute + 30)) ||
  fail "adsl.bak holds $minute while the session label shows $label"
((minute == 60)) || echo "note: the tick of the first minute came late; the backup holds $minute"

# --- The kill ---------------------------------------------------------------------
pids=$(program_pids)
[[ $(wc -w <<<"$pids") == 1 ]] || fail "expected one Hourlink.exe process in $ns, found: '$pids'"
server_before=$(wineserver_pids)
[[ -n "$server_before" ]] || fail "no wineserver in $ns"
[[ " $server_before " != *" $pids "* ]] || fail "the program's process $pids is the wineserver"
echo "killing Hourlink.exe, process $pids ($(tr '\0' ' ' <"/proc/$pids/cmdline"))"
kill -9 "$pids"
wait_program_gone
wait "$launcher_pid" 2>/dev/null || true
launcher_pid=
wt wait-gone Hourlink 10000 >/dev/null || fail "the main window outlived its process"
[[ $(wineserver_pids) == "$server_before" ]] || fail "wineserver changed with the kill: '$server_before' -> '$(wineserver_pids)'"

[[ $(record_count) == 2 ]] || fail "the kill changed the record count:$(echo; records_list)"
[[ $(record_bytes 0) == "$first_record" ]] || fail "the kill changed the first record"
read -r _ start_k end_k duration_k _ _ _ _ _ < <(records_list | tail -n 1)
[[ "$start_k/$end_k/$duration_k" == "$start/0/0" ]] ||
  fail "after the kill the last record should still be open:$(echo; records_list)"
[[ $(backup_value) == "$minute" ]] || fail "adsl.bak changed with the kill: $(backup_value)"
echo "after the kill:"
records_list | sed 's/^/  /'

# --- The restart without a connection ---------------------------------------------
lan_down
start_in_ns
expected_billed=$((minute % 60 < 2 ? minute - minute % 60 : minute - minute % 60 + 60))
for ((i = 0; i < 60; i++)); do
  read -r _ _ _ duration_r _ _ _ _ _ < <(records_list | tail -n 1)
  ((duration_r > 0)) && break
  sleep 0.5
done
echo "after the restart:"
records_list | sed 's/^/  /'
[[ $(record_count) == 2 ]] || fail "the restart added or lost records"
[[ $(record_bytes 0) == "$first_record" ]] || fail "the restart changed the first record"
read -r marker_r start_r end_r duration_r billed_r type_r cont_r ip_r name_r < <(records_list | tail -n 1)
[[ "$start_r/$type_r/$ip_r/$name_r/$marker_r" == "$start/$type/$ip/$name/32" ]] ||
  fail "the recovered record is not the killed session's"
[[ "$duration_r" == "$minute" ]] || fail "the recovered duration is $duration_r, the backup held $minute"
[[ "$end_r" == $((start + minute)) ]] || fail "the recovered end is $end_r, not start + $minute = $((start + minute))"
[[ "$billed_r" == "$expected_billed" ]] || fail "the recovered record bills $billed_r, not $expected_billed"
[[ "$cont_r" == 2 ]] || fail "the recovered record's continuation is $cont_r, not 2"

# It runs on as usual: the window stays up, offline, and asks nothing.
sleep 2
[[ -n $(program_pids) ]] || fail "the program ended after the restart"
wt wait-window Hourlink 0 >/dev/null || fail "the main window is gone after the restart"
[[ -z $(wt dialog-text Hourlink 0) ]] || fail "a message box is shown after the restart: $(wt dialog-text Hourlink 0)"
log_text | grep -q "在线\$" && fail "the restart found a connection:$(echo; log_text)"
echo "text pane after the restart:$(echo; log_text | sed 's/^/  /')"
screenshot crash_recovery

# The LAN coming back is a new session in a record of its own.
lan_up
wait_log_lines "在线" 1
[[ $(record_count) == 3 ]] || fail "the new session has no record of its own:$(echo; records_list)"
[[ $(record_bytes 0) == "$first_record" ]] || fail "the new session changed the first record"
read -r _ start_2 end_2 duration_2 billed_2 _ cont_2 _ _ < <(records_list | sed -n 2p)
[[ "$start_2/$end_2/$duration_2/$billed_2/$cont_2" == "$start/$end_r/$minute/$expected_billed/2" ]] ||
  fail "the new session changed the recovered record:$(echo; records_list)"
read -r _ start_3 end_3 duration_3 _ _ cont_3 ip_3 _ < <(records_list | tail -n 1)
[[ "$end_3/$duration_3/$cont_3/$ip_3" == "0/0/0/$ns_ip" ]] && ((start_3 >= start_r + minute)) ||
  fail "the new session's record:$(echo; records_list)"
echo "records at the end:"
records_list | sed 's/^/  /'

echo "PASS: a session killed after $minute s is completed from adsl.bak at the next start; no record lost or added"
