#!/usr/bin/env bash
# Started with "hide" (as the start-with-Windows entry starts it), the program
# shows no window but has its red icon in the notification area; a left click
# on the icon shows the main window, a second one hides it again.
# Screenshots: tray_start_hidden, tray_start_shown.
source "$(dirname "$0")/lib.sh"

stop_wine
reset_settings
start_program hide

# The hidden main window exists and puts up its icon (id 130).
for _ in $(seq 150); do
  wintool tray-has Hourlink 130 && break
  sleep 0.2
done
wintool tray-has Hourlink 130 || fail "no notification icon after a hidden start"
[[ $(wintool count-visible Hourlink | tr -d '\r') == 0 ]] || fail "the main window shows after a hidden start"
sleep 1
screenshot tray_start_hidden

wintool tray-click || fail "no task bar to click on"
wintool wait-window Hourlink 10000 || fail "a click on the icon did not show the main window"
sleep 1
screenshot tray_start_shown

wintool tray-click
wintool wait-gone Hourlink 10000 || fail "a second click did not hide the main window"

echo "PASS: hidden start with the tray icon; its click shows and hides the main window"
