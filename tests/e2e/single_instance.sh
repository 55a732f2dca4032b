#!/usr/bin/env bash
# One copy at a time: a copy started with an argument runs hidden; a second copy
# brings the first one's window forward and ends without a window of its own.
# Then the About box and the help file, opened through the main window's
# commands, with screenshots of both.
source "$(dirname "$0")/lib.sh"

help_src="$(dirname "$e2e_exe_src")/Hourlink.chm"
[[ -s "$help_src" ]] || fail "no Hourlink.chm beside the built program"
cp "$help_src" "$work/Hourlink.chm"

stop_wine
reset_settings

# Polls `wintool ARGS...` until it prints WANT, for up to 30 seconds.
wait_output() {
  local want=$1 got=
  shift
  for _ in $(seq 60); do
    got=$(wintool "$@" | tr -d '\r')
    [[ "$got" == "$want" ]] && return 0
    sleep 0.5
  done
  echo "wintool $* printed '$got', expected '$want'" >&2
  return 1
}

# Any argument starts the program with its main window hidden.
start_program hide
wait_output 1 count Hourlink || fail "the hidden copy has no main window"
sleep 1
[[ $(wintool count-visible Hourlink | tr -d '\r') == 0 ]] || fail "the main window is visible after 'hide'"

# A second copy, without arguments: it shows the first copy's window and ends.
timeout 60 wine "$exe" || fail "the second copy did not end cleanly"
wintool wait-window Hourlink 10000 || fail "the first copy's window was not brought forward"
[[ $(wintool count Hourlink | tr -d '\r') == 1 ]] || fail "more than one window titled Hourlink"
kill -0 "$program_pid" 2>/dev/null || fail "the first copy ended"

# Property/StartRun is 1 on a new machine, so the start wrote the Run entry for
# the program's own directory.
run_key='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run'
expected_run="Z:${work//\//\\}\\Hourlink.exe hide"
run_value() {
  wine reg query "$run_key" /v Hourlink 2>/dev/null | tr -d '\r' | sed -n 's/^ *Hourlink *REG_SZ *//p'
}
# Written once the window shows and the watcher has started: on a loaded
# machine that may come after the second copy has ended.
run_entry_written() { [[ "$(run_value)" == "$expected_run" ]]; }
wait_for 30 run_entry_written || fail "Run entry is '$(run_value)', expected '$expected_run'"
sleep 1
screenshot single_instance

# The About box (command 57664).
wintool command Hourlink 57664 || fail "could not send the About command"
wintool wait-window "关于 Hourlink" 10000 || fail "no About box"
sleep 1
screenshot about_box
wintool close "关于 Hourlink" || fail "could not close the About box"
wintool wait-gone "关于 Hourlink" 10000 || fail "the About box stayed open"

# Help topics (command 57671): the manual beside the program, at its contents.
wintool command Hourlink 57671 || fail "could not send the help command"
wintool wait-window "Hourlink 帮助" 20000 || fail "the help file did not open"
sleep 2
screenshot help_topics

wintool close Hourlink
wait "$program_pid" || true
wine reg delete "$run_key" /v Hourlink /f >/dev/null 2>&1 || true
echo "PASS: one copy, hidden start, brought forward; About box and help shown"
