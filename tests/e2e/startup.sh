#!/usr/bin/env bash
# The program starts on a new machine, shows its main window titled "Hourlink",
# fills in the default settings, and ends when its window is closed.
source "$(dirname "$0")/lib.sh"

stop_wine
reset_settings
start_program
wintool wait-window Hourlink 30000 || fail "no visible main window titled Hourlink"
sleep 2
screenshot startup

# The first start leaves the filled-in main options in the registry.
declare -A expected=([DelInterval]=3 [StartDate]=21 [LimitTime]=60 [AlarmWindow]=1
  [DayLimit]=5 [DropWindow]=1 [TranWindow]=0 [StartRun]=1 [HangUp]=0 [AlarmSound]=absent)
for key in "${!expected[@]}"; do
  got=$(reg_dword Property "$key")
  [[ "$got" == "${expected[$key]}" ]] || fail "Property/$key is $got, expected ${expected[$key]}"
done

echo "PASS: main window shown, defaults written"
