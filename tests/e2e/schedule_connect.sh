#!/usr/bin/env bash
# The weekly schedule in the real Hourlink.exe, on a clock set to a Monday
# 07:59:00 with faketime, inside a network namespace whose LAN is down (so no
# connection is up and the plan is armed).
#
#  - The plan: every day, window 1 from 8:00 to 9:00, entry $entry.
#  - After the history is listed, the status bar's first pane reads
#    "将在2024/03/04 08:00自动启动连接".
#  - At 8:00 (within the 10-second timer) the program dials the entry by
#    itself: the dialer writes its first line, "正在拨号...", to the text pane,
#    and the RAS library (our stand-in beside the program, whose phonebook holds
#    the entry) is asked to dial it; the dial fails, the failure is logged and,
#    the dial being the schedule's, retried per Advance/count.
#
# Screenshots: schedule_armed, schedule_dialing.
# Needs root, `ip netns` and faketime; without them it prints SKIPPED and succeeds.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)

source "$here/netns.sh"
command -v faketime >/dev/null || skip "no faketime"
netns_begin "$@"

entry=${HOURLINK_SCHEDULE_ENTRY:-宽带连接}
program_pid=
netns_open 10.215 sched program_pid
lan_down

# One fake clock for every process: the real one moved back to Monday 07:59:00.
offset=$(($(date -d "2024-03-04 07:59:00" +%s) - $(date +%s)))
# Only the wall clock is moved: file times stay real (or Wine takes its prefix
# for outdated and rebuilds it), and so does the monotonic clock that tick
# counts and timed waits run on.
ft() { in_ns env NO_FAKE_STAT=1 FAKETIME_DONT_FAKE_MONOTONIC=1 faketime -f "$offset" "$@"; }

stop_wine
key='HKCU\Software\Hourlink\Hourlink'
ft wine reg delete 'HKCU\Software\Hourlink' /f >/dev/null 2>&1 || true
for day in 1 2 3 4 5 6 7; do
  ft wine reg add "$key\\AutoConnent" /v "week$day" /t REG_DWORD /d 1 /f >/dev/null
done
ft wine reg add "$key\\AutoConnent" /v start1 /d 8:00 /f >/dev/null
ft wine reg add "$key\\AutoConnent" /v stop1 /d 9:00 /f >/dev/null
ft wine reg add "$key\\AutoConnent" /v EntryName /d "$entry" /f >/dev/null
ft wine reg add "$key\\Advance" /v count /t REG_DWORD /d 2 /f >/dev/null
use_fake_ras "$(printf 'entry\t%s\tPPPoE\tWAN Miniport (PPPOE)\t\n' "$entry")"

ft wine "$exe" &
program_pid=$!
wt wait-window Hourlink 60000 >/dev/null || fail "no main window titled Hourlink"

status_text() { wt child-text Hourlink msctls_statusbar32 || true; }
armed=
for ((i = 0; i < 60; i++)); do
  armed=$(status_text)
  [[ "$armed" == "将在2024/03/04 08:00自动启动连接" ]] && break
  sleep 0.5
done
[[ "$armed" == "将在2024/03/04 08:00自动启动连接" ]] || fail "the status bar reads '$armed'"
echo "status bar: $armed"
log_text | grep -q "正在拨号" && fail "dialled before 8:00:$(echo; log_text)"
screenshot schedule_armed

# 8:00 comes within a minute; the timer looks every 10 seconds.
for ((i = 0; i < 180; i++)); do
  log_text | grep -q "正在拨号" && break
  sleep 0.5
done
log_text | grep -q "正在拨号" || fail "no dial by 8:00:10:$(echo; log_text)"
echo "text pane: $(log_text | grep "正在拨号" | head -n 1)"
# RAS was asked; its failure is shown and the schedule's dial tried again.
for ((i = 0; i < 60; i++)); do
  (($(grep -c "^dial $entry" "$work/fake_ras.log" 2>/dev/null || true) >= 2)) && break
  sleep 0.5
done
grep -q "^dial $entry" "$work/fake_ras.log" || fail "RAS was not asked to dial $entry"
log_text | grep -q "远程计算机没有响应。" || fail "the dial's failure is not logged:$(echo; log_text)"
(($(grep -c "^dial $entry" "$work/fake_ras.log") >= 2)) ||
  fail "the failed scheduled dial was not retried:$(echo; log_text; cat "$work/fake_ras.log")"
echo "RAS: $(tr '\n' ';' <"$work/fake_ras.log")"
screenshot schedule_dialing

echo "PASS: the plan was shown in the status bar and dialled at its start"
