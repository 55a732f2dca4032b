#!/usr/bin/env bash
# Crash soak: the real Hourlink.exe killed outright (SIGKILL) in the middle of
# LAN sessions, again and again, and started again each time. Not part of the
# test command; run it with `make soak` (SOAK_CYCLES=N, default 50).
#
# Each cycle, in a network namespace (see netns.sh):
#  - the LAN comes up and the running program appends an open record;
#  - the session runs for a random time (1 to SOAK_MAX_SECONDS, default 75)
#    and the program is killed; the file must hold every earlier record byte
#    for byte and the open one;
#  - with the LAN down the program starts again and its first check completes
#    the open record from "adsl.bak". A reader of our own (soak_records.py)
#    checks every finished record is intact and the interrupted one completed
#    from the backup, which must be this session's.
# Every SOAK_PURGE_EVERY-th cycle (default 5) the file is first made due for a
# purge (the purge countdown 0, old records in front and, the first time,
# SOAK_FILLER recent ones, default 100,000), and the restarted program is
# killed again while the purge writes its new file. The file must then be whole:
# the old one or the purged one. The next start finishes the purge.
#
# Ends with one line of figures. SOAK_SEED fixes the random times.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
cycles=${SOAK_CYCLES:-50}
max_seconds=${SOAK_MAX_SECONDS:-75}
purge_every=${SOAK_PURGE_EVERY:-5}
filler=${SOAK_FILLER:-100000}
seed=${SOAK_SEED:-$$}
RANDOM=$seed

source "$here/netns.sh"
# A Wine prefix of its own: the end-to-end tests' namespace prefix has its own
# wineserver, which a test running beside the soak would stop.
export HOURLINK_NETNS_WINEPREFIX=${HOURLINK_NETNS_WINEPREFIX:-$repo/build/wine-soak}
netns_begin "$@"

records="$work/adsl.bs"
backup="$work/adsl.bak"
model="$work/model.bs"    # the finished records, as the last check found them
killed="$work/killed.bs"  # the file at the kill
launcher_pid=
netns_open 10.236 soak launcher_pid

# The default route before the address: the watcher looks at the LAN as soon as
# the address appears, and a LAN without its default route is not taken for a
# connection (a later route alone changes no address, so it would stay unseen).
lan_up() {
  in_ns ip route replace default via "$host_ip" dev "$veth_ns" onlink
  in_ns ip addr add "$ns_ip/24" dev "$veth_ns"
}
reader() { python3 "$here/soak_records.py" "$@"; }
backup_value() {
  if (($(stat -c %s "$backup" 2>/dev/null || echo 0) < 4)); then echo 0; else od -An -t d4 -N 4 "$backup" | tr -d ' '; fi
}
start_in_ns() {
  in_ns wine "$exe" 2>>"$work/wine.log" &
  launcher_pid=$!
}
wait_window() { wt wait-window Hourlink 60000 >/dev/null || fail "no main window titled Hourlink"; }
kill_program() {
  local pids
  pids=$(program_pids)
  [[ -n "$pids" ]] && kill -9 $pids
  wait_program_gone
  wait "$launcher_pid" 2>/dev/null || true
  launcher_pid=
}
# until_ok SECONDS COMMAND...: retries COMMAND until it succeeds.
until_ok() {
  local limit=$(($1 * 5))
  shift
  for ((i = 0; i < limit; i++)); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.2
  done
  "$@"
}

failures=0
checked=0
recovered=0
full_minutes=0
purge_cycles=0
interrupted_kept=0
interrupted_purged=0
purges_missed=0
# failure CYCLE TEXT: counted, with the files kept under failures/; the soak goes
# on from the file as it is.
failure() {
  failures=$((failures + 1))
  echo "FAILURE in cycle $1: $2" >&2
  mkdir -p "$work/failures/$1"
  cp -f "$records" "$killed" "$model" "$backup" "$work/failures/$1/" 2>/dev/null || true
}

# --- The program, offline, with an empty record file --------------------------------
netns_start_wine
lan_down
start_in_ns
wait_window
until_ok 30 test -s "$records"
cp "$records" "$model"
echo "soak: $cycles cycles, sessions of 1 to $max_seconds s, a purge every $purge_every cycles, seed $seed"

start=0
for ((cycle = 1; cycle <= cycles; cycle++)); do
  # A session less than 13 s after the start of an unfinished one continues it.
  pause=$((start + 14 - $(date +%s)))
  ((pause > 0)) && sleep "$pause"
  lan_up
  if ! until_ok 60 reader open "$model" "$records" "$ns_ip"; then
    failure "$cycle" "no open record after the LAN came up; processes: '$(program_pids)', windows: $(wt count Hourlink); the text pane:$(echo; log_text)$(echo; adsl_records "$records" | tail -n 3)"
    # Started afresh from the file as it is.
    kill_program
    lan_down
    start_in_ns
    wait_window
    sleep 5
    cp "$records" "$model"
    continue
  fi
  start=$(reader open "$model" "$records" "$ns_ip")
  length=$((1 + RANDOM % max_seconds))
  pause=$((start + length - $(date +%s)))
  ((pause > 0)) && sleep "$pause"

  kill_program
  elapsed=$(($(date +%s) - start))
  value=$(backup_value)
  reader open "$model" "$records" "$ns_ip" >/dev/null || failure "$cycle" "the kill changed the file"
  lan_down
  cp "$records" "$killed"

  mode=kept
  if ((cycle % purge_every == 0)); then
    mode=purged
    purge_cycles=$((purge_cycles + 1))
    ((purge_cycles == 1)) && extra=$filler || extra=0
    reader bloat "$records" "$model" 200 "$extra" "$(date +%s)"
    cp "$records" "$killed"
    start_in_ns
    delay=$((RANDOM % 40))
    seen=$(in_ns python3 "$here/soak_records.py" kill-in-purge "$records" "$delay" 60)
    if [[ "$seen" == killed ]]; then
      kill_program
      if state=$(reader check "$model" "$killed" "$records" "$value" "$elapsed" either); then
        echo "cycle $cycle: killed ${delay} ms into the purge; the file is whole ($state)"
        [[ "$state" == kept* ]] && interrupted_kept=$((interrupted_kept + 1)) || interrupted_purged=$((interrupted_purged + 1))
      else
        failure "$cycle" "the purge killed ${delay} ms in left a damaged file"
      fi
      start_in_ns
    else
      purges_missed=$((purges_missed + 1))
      echo "cycle $cycle: the purge was over before the kill"
    fi
  else
    start_in_ns
  fi
  wait_window
  until_ok 60 reader wait-state "$records" "$mode" || true
  if result=$(reader check "$model" "$killed" "$records" "$value" "$elapsed" "$mode"); then
    checked=$((checked + ${result#* }))
    recovered=$((recovered + 1))
    ((value >= 60)) && full_minutes=$((full_minutes + 1))
    echo "cycle $cycle: killed after ${elapsed} s, completed with the backup's $value s; $result"
  else
    failure "$cycle" "after the restart"
  fi
  shown=$(wt dialog-text Hourlink 0 || true)
  [[ -z "$shown" ]] || failure "$cycle" "a message box after the restart: $shown"
  cp "$records" "$model"
done

summary="cycles $cycles, records checked $checked, recovered records $recovered ($full_minutes of a minute or more), purges interrupted $((interrupted_kept + interrupted_purged)) (old file whole $interrupted_kept, purged file whole $interrupted_purged, over before the kill $purges_missed), failures $failures"
echo "soak: $summary"
((failures == 0)) || fail "$failures failures; the files are under $work/failures"
echo "PASS: $summary"
