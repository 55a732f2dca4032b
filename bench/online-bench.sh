#!/usr/bin/env bash
# What Hourlink.exe costs the machine while it is online, per one-second tick,
# under Wine in a LAN session of a network namespace (see tests/e2e/netns.sh).
#
# Each run starts the program with "hide", as at logon, with the default
# settings (the drop window shows while online), in a fresh wineserver:
#   1. offline, the LAN's address removed: the floor;
#   2. online in the tray, once the session's record (type 2) is in adsl.bs;
#   3. online with the main window shown by a click on the tray icon.
# Each case is a window of BENCH_SECONDS (default 30) after SETTLE_SECONDS
# (default 5) of rest, in which nothing else runs on the desktop. Measured:
#  - the program's CPU time (utime + stime of its process, in clock ticks of
#    10 ms: a resolution of 0.33 ms per tick over 30 s);
#  - its wake-ups: the voluntary context switches of its threads;
#  - wineserver's CPU time; online, what is above the offline floor of the
#    same run.
# Each run also measures the bare ticker (bench/online/bare_ticker.cpp): a window
# that only shows a clock and one interface's counters once a second, online,
# in the same Wine; the program in the tray is that plus its own work.
# Then the same again under a tracing wineserver (-d, every request it serves)
# with windows of TRACE_SECONDS (default 10): the server round trips of the
# program's threads, and of Explorer's and winedevice's, which work for it
# (the tray icon, the interface table).
#
# RUNS runs (default 3); each figure is the median per tick, with the range
# over the runs. HOURLINK_EXE measures another build (default: this tree's);
# with HOURLINK_EXE_BEFORE a second build is measured in the same runs, in
# turns, for a before-and-after comparison on the same machine and load. The
# targets are judged on HOURLINK_EXE; the exit code is 1 when one is missed.
#
# REQUESTS=1 also prints which requests the program and winedevice made, per
# case and second, and keeps each trace (trace-LABEL-RUN.log, with its marks
# and pids) in the work folder.
#
# Usage: bench/online-bench.sh WINDOWS_BUILD_DIR. Needs root and `ip netns`;
# without them it prints SKIPPED and succeeds.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
here=$repo/tests/e2e
windows=$(cd "${1:?windows build directory}" && pwd)
runs=${RUNS:-3}
window=${BENCH_SECONDS:-30}
trace_window=${TRACE_SECONDS:-10}
settle=${SETTLE_SECONDS:-5}
figures="python3 $repo/bench/online_bench.py"

source "$here/netns.sh"
netns_require
if [[ -z "${DISPLAY:-}" ]]; then exec "$repo/scripts/with-display" bash "$0" "$@"; fi
# A prefix of its own, so that the end-to-end tests' wineservers never share it.
HOURLINK_NETNS_WINEPREFIX=$(dirname "$windows")/wine-online-bench
export HOURLINK_NETNS_WINEPREFIX
bench_work=$windows/online-bench
hourlink=${HOURLINK_EXE:-$windows/bin/Hourlink.exe}
before=${HOURLINK_EXE_BEFORE:-}
[[ -f "$hourlink" ]] || { echo "online-bench: no $hourlink" >&2; exit 1; }
[[ -z "$before" || -f "$before" ]] || { echo "online-bench: no $before" >&2; exit 1; }
netns_begin "$hourlink" "$windows/tests/wintool.exe" "$bench_work" "$bench_work/shots"
[[ -f "$wintool" ]] || fail "no wintool.exe in $windows/tests"

declare -A program_of
if [[ -n "$before" ]]; then
  labels=(before after)
  program_of=([before]=$before [after]=$hourlink)
else
  labels=(Hourlink)
  program_of=([Hourlink]=$hourlink)
fi
for label in "${labels[@]}"; do
  mkdir -p "$work/$label"
  cp "${program_of[$label]}" "$work/$label/Hourlink.exe"
done
results=$work/results.txt
: >"$results"

program_pid=
netns_open 10.231 obench program_pid
# The LAN on and off whatever its state. The default route comes first, as
# one DHCP answer gives both: the program looks when the address arrives, and
# without a default route then it stays offline (a route added later is no
# address change, and nothing makes it look again).
lan_on() {
  in_ns ip route replace default via "$host_ip" dev "$veth_ns" onlink
  in_ns ip addr replace "$ns_ip/24" dev "$veth_ns"
}
lan_off() {
  in_ns ip addr del "$ns_ip/24" dev "$veth_ns" 2>/dev/null || true
  in_ns ip route del default 2>/dev/null || true
}

# The namespace's processes whose name matches the pattern NAME (Wine names a
# program's process after its executable; wineserver may be "wineserver64").
pids_named() {
  local pid
  for pid in $(ip netns pids "$ns" 2>/dev/null); do
    # shellcheck disable=SC2053
    [[ $(cat "/proc/$pid/comm" 2>/dev/null) == $1 ]] && echo "$pid"
  done
  return 0
}
one_pid() {
  local pids
  pids=$(pids_named "$1")
  [[ $(wc -w <<<"$pids") == 1 ]] || fail "expected one $1 in $ns, found: ${pids:-none}"
  echo "$pids"
}
has_process() { [[ -n $(pids_named "$1") ]]; }
online_record() { [[ -s "$1" ]] && adsl_records "$1" | awk '$6 == 2 { found = 1 } END { exit !found }'; }
main_window_hidden() { [[ $(wt count-visible Hourlink) == 0 ]]; }
# The pointer away from the tray icon, which the click leaves it on, and from
# the program's windows: a tip shown would be measured with the rest.
park_mouse() { xdotool mousemove 950 300 2>/dev/null || true; }
# The program stayed offline with the LAN up: its log pane and a screenshot.
missed() {
  echo "online-bench: $1 (run $2) did not go online within 60 s of the LAN's address; its log:"
  if wt tray-click && wt wait-window Hourlink 15000 >/dev/null; then log_text | sed 's/^/    /'; fi
  screenshot "missed-$1-$2" || true
}

# session LABEL MODE: one start of LABEL's program through the three cases.
# MODE "measure" samples the processes; "trace" marks the trace's byte
# offsets around each window and counts the requests afterwards. The figures
# go to the results when all three cases were measured; false when the
# program did not go online.
session() {
  local label=$1 mode=$2 dir=$work/$1 trace=$work/trace.log marks=$work/marks.txt
  local secs=$window case t0 o0 prog server traced= figures_of=$work/session.txt
  stop_wine
  rm -f "$dir/adsl.bs" "$dir/adsl.bak"
  : >"$figures_of"
  lan_off
  if [[ $mode == trace ]]; then
    secs=$trace_window
    : >"$marks"
    in_ns wineserver -f -d1 -p 2>"$trace" &
    wait_for 30 grep -qs '^wineserver: starting' "$trace" ||
      fail "the tracing wineserver did not start: $(head -c 300 "$trace")"
    traced=$(sed -n 's/^wineserver: starting (pid=\([0-9]*\)).*/\1/p' "$trace" | head -n 1)
  else
    in_ns wineserver -p || fail "a wineserver still runs in the prefix"
  fi
  # The first client waits for the server to come up; the settings start as
  # on a new machine.
  in_ns wine reg delete 'HKCU\Software\Hourlink' /f >/dev/null 2>&1 || true
  in_ns wine "$dir/Hourlink.exe" hide &
  program_pid=$!
  wait_for 60 wt tray-has Hourlink 130 || fail "$label: no tray icon after a hidden start"
  main_window_hidden || fail "$label: the main window shows after a hidden start"
  prog=$(one_pid Hourlink.exe)
  server=$(one_pid 'wineserver*')
  [[ $mode != trace || $server == "$traced" ]] || fail "$label: the program runs on a wineserver that does not trace"

  for case in offline hidden shown; do
    case $case in
      hidden)
        ! online_record "$dir/adsl.bs" || fail "$label: a session began with the LAN down"
        lan_on
        if ! wait_for 60 online_record "$dir/adsl.bs"; then
          # Seen now and then under Wine: the program stays offline with the
          # address there. What it says goes into the output, and the start
          # is made again.
          missed "$label" "$run"
          stop_wine
          wait "$program_pid" 2>/dev/null || true
          program_pid=
          return 1
        fi
        main_window_hidden || fail "$label: the main window shows online before it was asked for"
        ;;
      shown)
        wt tray-click || fail "$label: no task bar to click on"
        wt wait-window Hourlink 15000 >/dev/null || fail "$label: a click on the tray icon did not show the main window"
        ;;
    esac
    park_mouse
    sleep "$settle"
    kill -0 "$prog" 2>/dev/null || fail "$label: the program ended ($case)"
    if [[ $mode == trace ]]; then
      t0=$(date +%s.%N)
      o0=$(stat -c %s "$trace")
      sleep "$secs"
      echo "$case $o0 $(stat -c %s "$trace") $(echo "$(date +%s.%N) - $t0" | bc)" >>"$marks"
    else
      read -r elapsed cpu wakeups server_ms < <($figures sample "$prog" "$server" "$secs") ||
        fail "$label: no figures for $case"
      echo "$label $run $case cpu $(echo "scale=4; $cpu / $elapsed" | bc)" >>"$figures_of"
      echo "$label $run $case wakeups $(echo "scale=4; $wakeups / $elapsed" | bc)" >>"$figures_of"
      echo "$label $run $case server_raw $(echo "scale=4; $server_ms / $elapsed" | bc)" >>"$figures_of"
    fi
  done

  if [[ $mode == trace ]]; then
    {
      echo "program $prog"
      for pid in $(pids_named explorer.exe); do echo "explorer $pid"; done
      for pid in $(pids_named winedevice.exe); do echo "winedevice $pid"; done
    } >"$work/pids.txt"
    stop_wine
    $figures trace "$trace" "$marks" "$work/pids.txt" | while read -r case role count elapsed; do
      echo "$label $run $case rt_$role $(echo "scale=4; $count / $elapsed" | bc)"
    done >>"$figures_of"
    # REQUESTS=1: what the program's round trips were, per case and second.
    if [[ -n ${REQUESTS:-} ]]; then
      echo "$label, run $run: the program's requests per second"
      $figures requests "$trace" "$marks" "$work/pids.txt" program
      echo "$label, run $run: winedevice's requests per second"
      $figures requests "$trace" "$marks" "$work/pids.txt" winedevice
      cp "$trace" "$work/trace-$label-$run.log"
      cp "$marks" "$work/marks-$label-$run.txt"
      cp "$work/pids.txt" "$work/pids-$label-$run.txt"
    fi
    rm -f "$trace"
  fi
  stop_wine
  wait "$program_pid" 2>/dev/null || true
  program_pid=
  cat "$figures_of" >>"$results"
}

# The bare ticker (bench/online/bare_ticker.cpp), a window that shows a
# clock and one interface's counters once a second and does nothing else,
# measured online like the program in the tray: what a tick cannot cost less
# than under this Wine on this machine.
ticker_session() {
  local prog server
  stop_wine
  lan_on
  in_ns wineserver -p || fail "a wineserver still runs in the prefix"
  in_ns wine "$ticker" &
  program_pid=$!
  wt wait-window "Hourlink ticker" 60000 >/dev/null || fail "the bare ticker did not show its window"
  prog=$(one_pid bare_ticker.exe)
  server=$(one_pid 'wineserver*')
  park_mouse
  sleep "$settle"
  read -r elapsed cpu wakeups server_ms < <($figures sample "$prog" "$server" "$window") ||
    fail "no figures for the bare ticker"
  echo "bare_ticker $run hidden cpu $(echo "scale=4; $cpu / $elapsed" | bc)" >>"$results"
  echo "bare_ticker $run hidden wakeups $(echo "scale=4; $wakeups / $elapsed" | bc)" >>"$results"
  stop_wine
  wait "$program_pid" 2>/dev/null || true
  program_pid=
}
ticker=$windows/bench/bare_ticker.exe
[[ -f "$ticker" ]] || fail "no $ticker"

command -v bc >/dev/null || skip "bc is needed for the arithmetic"
echo "online-bench: ${labels[*]}; $runs runs of ${window}s windows (${trace_window}s traced) in $ns"
for ((run = 1; run <= runs; run++)); do
  # Each run in the other order, so that neither build always goes first.
  order=("${labels[@]}")
  if ((run % 2 == 0 && ${#labels[@]} == 2)); then order=("${labels[1]}" "${labels[0]}"); fi
  for label in "${order[@]}"; do
    echo "run $run: $label"
    for mode in measure trace; do
      session "$label" $mode || session "$label" $mode || fail "$label: the session did not go online twice"
    done
  done
  echo "run $run: bare_ticker"
  ticker_session
done

echo
echo "Per one-second tick, median [range] of $runs runs. Offline, wineserver's figure is its floor; online, what is above it."
$figures table "$results" "${labels[-1]}"
