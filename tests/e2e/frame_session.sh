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
#  - Started again, a sleep ends the session with its length and the wake-up
#    starts another; a session that Windows' end of session interrupts is
#    recorded with its length at once.
#
# Screenshots: frame_online, exit_question, frame_offline. Only the namespace's
# and the host end's addresses are used; forwarding is off on the host end.
# Needs root and `ip netns`; without them it prints SKIPPED and succeeds.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)

source "$here/netns.sh"
netns_begin "$@"

records="$work/adsl.bs"
program_pid=

# --- The LAN -------------------------------------------------------------------
netns_open 10.214 frame program_pid

# --- Helpers -------------------------------------------------------------------

# The records of adsl.bs, one line each: start end duration type ip name.
records_list() { adsl_records "$records" | cut -d ' ' -f 2-4,6,8-; }

program_running() { kill -0 "$program_pid" 2>/dev/null; }

# --- The run -------------------------------------------------------------------
netns_start_wine
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

# The session label ticks, and by the seconds that pass: on a loaded machine a
# tick may come late, so the label is read until it has moved on.
first=$(seconds_of "$(session_label)")
from=$SECONDS
label_moved_on() { (($(seconds_of "$(session_label)") >= first + 2)); }
wait_for 30 label_moved_on || fail "the session label stays at ${first}s"
while ((SECONDS - from < 3)); do sleep 0.2; done  # the session lasts a few seconds
second=$(seconds_of "$(session_label)")
passed=$((SECONDS - from))
echo "session label: ${first}s, about ${passed}s later ${second}s"
((second <= first + passed + 2)) || fail "the session label went from $first to $second in about ${passed}s"
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
# A sleep ends the session with its length: the time asleep is never billed.
# At the wake-up the LAN, still there, is a new session.
in_ns wine "$exe" &
program_pid=$!
wait_log_lines "在线" 1
sleep 3
count_before=$(records_list | wc -l)
wt post Hourlink 0x218 4 || fail "could not tell the program the computer sleeps"  # PBT_APMSUSPEND
wait_log_lines "离线" 1
read -r start4 end4 duration4 _ _ < <(records_list | tail -n 1)
((duration4 >= 3 && duration4 < 60 && end4 == start4 + duration4)) ||
  fail "the record at the sleep: start=$start4 end=$end4 duration=$duration4"
wt post Hourlink 0x218 0x12 || fail "could not tell the program the computer woke up"  # PBT_APMRESUMEAUTOMATIC
wait_log_lines "在线" 2
[[ $(records_list | wc -l) == $((count_before + 1)) ]] || fail "no new record after the wake-up: $(records_list)"
echo "slept: duration=$duration4, a new session at the wake-up"

# Windows ends (a shutdown or logoff) during a session: the record gets the
# session's exact length at once, not the last full minute at the next start.
sleep 5
in_ns wineboot --end-session >/dev/null 2>&1 || true
records_completed() { (($(records_list | tail -n 1 | cut -d ' ' -f 3) > 0)); }
wait_for 30 records_completed || fail "the record is still open after the end of the Windows session"
read -r start3 end3 duration3 _ _ < <(records_list | tail -n 1)
((duration3 >= 5 && duration3 < 60 && end3 == start3 + duration3)) ||
  fail "the record at the end of the Windows session: start=$start3 end=$end3 duration=$duration3"
echo "ended with Windows: duration=$duration3"
in_ns wineserver -k >/dev/null 2>&1 || true
wait "$program_pid" 2>/dev/null || true
program_pid=

echo "records at the end:"
records_list | sed 's/^/  /'

echo "PASS: LAN session shown, logged and recorded; exit question answered No, then Yes; a session ended with Windows keeps its length"
