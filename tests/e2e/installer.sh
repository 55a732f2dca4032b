#!/usr/bin/env bash
# The setup program under Wine, in a Wine prefix made fresh for the run.
#
#  - A silent install (/S) puts Hourlink.exe, Hourlink.chm, hourlink-stat.exe
#    and the uninstaller in the user's local programs folder, a Start-menu
#    shortcut, and an entry in the current user's list of installed programs
#    with the version.
#  - The program started from there shows its window and writes "adsl.bs" and
#    "adsl.bak" beside itself; with it the start-with-Windows entry appears.
#  - An uninstall while the program runs is refused and changes nothing.
#  - A silent uninstall removes the program, the shortcuts, the entry and the
#    start-with-Windows entry from both places (HKLM and HKCU), and keeps the
#    records byte for byte.
#  - hourlink-stat, run from elsewhere without arguments, reads the records
#    beside the program and the start day of the program's settings.
#  - The user's PATH is left alone by a plain install; /ADDTOPATH appends the
#    program's folder (REG_EXPAND_SZ) and the uninstall takes out just that.
#  - A silent uninstall with /REMOVERECORDS removes the records and the folder.
#
# Screenshot: installer (the setup program's first page).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
setup=${HOURLINK_SETUP:?the setup program is named by HOURLINK_SETUP}
[[ -f "$setup" ]] || { echo "FAIL: no setup program at $setup" >&2; exit 1; }

# A prefix in which nothing was ever installed, removed again after a pass.
prefix=$(dirname "$3")/installer-prefix
rm -rf "$prefix" "$prefix.lock"
export HOURLINK_WINEPREFIX=$prefix
source "$here/lib.sh" "$@"

version=$(basename "$setup" .exe)
version=${version#Hourlink-Setup-}
user_dir=$(find "$WINEPREFIX/drive_c/users" -mindepth 1 -maxdepth 1 ! -name Public | head -n 1)
dir="$user_dir/AppData/Local/Programs/Hourlink"
menu="$user_dir/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Hourlink"
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Hourlink'
run_key='Software\Microsoft\Windows\CurrentVersion\Run'

# reg_value KEY NAME: the data of a registry value, or nothing.
reg_value() {
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
    awk -v n="$2" '$1 == n { sub(/^[ \t]*[^ \t]+[ \t]+[^ \t]+[ \t]+/, ""); print }' || true
}
run_entries() {
  local root
  for root in HKLM HKCU; do [[ -n $(reg_value "$root\\$run_key" Hourlink) ]] && echo "$root"; done
  return 0
}
install_silently() {
  wine "$setup" /S "$@" || fail "the silent install ended with code $?"
  [[ -f "$dir/Hourlink.exe" ]] || fail "no Hourlink.exe in $dir"
}
# The uninstaller copies itself away and returns at once; it is done when the
# installed-programs entry is gone.
uninstall_silently() {
  wine "$dir/uninstall.exe" /S "$@" || fail "the silent uninstall ended with code $?"
  for ((i = 0; i < 150; i++)); do
    [[ -z $(reg_value "$uninstall_key" DisplayName) && ! -e "$dir/uninstall.exe" ]] && break
    sleep 0.2
  done
  sleep 1
}

# The user's own PATH, with an entry to be kept unexpanded.
env_key='HKCU\Environment'
user_path='C:\Tools;%USERPROFILE%\bin'
wine reg add "$env_key" /v Path /t REG_EXPAND_SZ /d "$user_path" /f >/dev/null 2>&1
path_type() { wine reg query "$env_key" /v Path 2>/dev/null | tr -d '\r' | awk '$1 == "Path" { print $2 }'; }

# --- The silent install ----------------------------------------------------------
install_silently
[[ $(reg_value "$env_key" Path) == "$user_path" ]] || fail "a plain install changed PATH: $(reg_value "$env_key" Path)"
for f in Hourlink.exe Hourlink.chm hourlink-stat.exe uninstall.exe; do [[ -f "$dir/$f" ]] || fail "no $f in $dir"; done
cmp -s "$dir/Hourlink.exe" "$e2e_exe_src" || fail "the installed Hourlink.exe is not the one built"
[[ -f "$menu/Hourlink.lnk" ]] || fail "no Start-menu shortcut in $menu: $(ls "$menu" 2>&1)"
windows_dir=$(wine winepath -w "$dir" 2>/dev/null | tr -d '\r')
[[ $(reg_value "$uninstall_key" DisplayName) == Hourlink ]] || fail "no installed-programs entry"
[[ $(reg_value "$uninstall_key" DisplayVersion) == "$version" ]] ||
  fail "the entry's version is '$(reg_value "$uninstall_key" DisplayVersion)', not $version"
[[ $(reg_value "$uninstall_key" UninstallString) == "\"$windows_dir\\uninstall.exe\"" ]] ||
  fail "the entry's uninstall command is '$(reg_value "$uninstall_key" UninstallString)'"
echo "installed into $windows_dir"

# --- The program started from the installed place -----------------------------------
wine "$dir/Hourlink.exe" &
program_pid=$!
wintool wait-window Hourlink 60000 >/dev/null || fail "the installed program shows no window"
records_written() { [[ -s "$dir/adsl.bs" && -e "$dir/adsl.bak" ]]; }
wait_for 30 records_written || fail "no adsl.bs and adsl.bak beside the installed program"
# The entry is written once the window shows, which may come after the records.
entry_written() { [[ -n $(run_entries) ]]; }
wait_for 30 entry_written || fail "the program wrote no start-with-Windows entry"
# The entry for the user, as a start without the right to write for the
# machine leaves it, beside the one for the machine.
wine reg add "HKCU\\$run_key" /v Hourlink /d "\"$windows_dir\\Hourlink.exe\" hide" /f >/dev/null 2>&1
[[ $(run_entries | wc -l) == 2 ]] || fail "expected start-with-Windows entries in HKLM and HKCU: $(run_entries)"

# An uninstall while the program runs would leave it half removed: refused.
set +e
wine "$dir/uninstall.exe" /S "_?=$windows_dir"
refused=$?
set -e
((refused != 0)) || fail "the uninstall went ahead while the program runs"
[[ -f "$dir/Hourlink.exe" && -n $(reg_value "$uninstall_key" DisplayName) ]] ||
  fail "the refused uninstall removed something"

wintool close Hourlink || fail "could not close the program"
wait "$program_pid" || fail "the program ended with code $?"
records_sum=$(cat "$dir/adsl.bs" "$dir/adsl.bak" | sha256sum)

# hourlink-stat without arguments, from another folder: the records beside
# it and the start day of the options.
wine reg add 'HKCU\Software\Hourlink\Hourlink\Property' /v StartDate /t REG_DWORD /d 5 /f >/dev/null 2>&1
stat_json=$(cd / && wine "$dir/hourlink-stat.exe" --all --json) || fail "hourlink-stat ended with code $?"
stat_origin=$(python3 -c 'import json, sys; d = json.load(sys.stdin); s = d["selection"]
print(d["file"], d["file_source"], s["start_day"], s["start_day_source"], sep="|")' <<<"$stat_json") ||
  fail "hourlink-stat printed no JSON: $stat_json"
[[ $stat_origin == "$windows_dir\adsl.bs|program_folder|5|setting" ]] ||
  fail "hourlink-stat used $stat_origin"

# --- The silent uninstall keeps the records ------------------------------------------
uninstall_silently
left=$(cd "$dir" && ls -A | tr '\n' ' ')
[[ "$left" == "adsl.bak adsl.bs " ]] || fail "after the uninstall the folder holds: $left"
[[ $(cat "$dir/adsl.bs" "$dir/adsl.bak" | sha256sum) == "$records_sum" ]] || fail "the uninstall changed the records"
[[ ! -e "$menu" ]] || fail "the Start-menu folder is left: $(ls "$menu")"
[[ -z $(reg_value "$uninstall_key" DisplayName) ]] || fail "the installed-programs entry is left"
[[ -z $(run_entries) ]] || fail "start-with-Windows entries are left in: $(run_entries)"
echo "uninstalled; kept: $left"

# --- Installed again over the kept records, then removed with them -------------------
install_silently /ADDTOPATH
[[ $(cat "$dir/adsl.bs" "$dir/adsl.bak" | sha256sum) == "$records_sum" ]] || fail "the install changed the records"
[[ $(reg_value "$env_key" Path) == "$user_path;$windows_dir" && $(path_type) == REG_EXPAND_SZ ]] ||
  fail "/ADDTOPATH left PATH as $(path_type) '$(reg_value "$env_key" Path)'"
uninstall_silently /REMOVERECORDS
[[ ! -e "$dir" ]] || fail "with /REMOVERECORDS the folder is left: $(ls -A "$dir")"
[[ $(reg_value "$env_key" Path) == "$user_path" ]] || fail "the uninstall left PATH as '$(reg_value "$env_key" Path)'"

# --- The first page, as the user sees it ------------------------------------------------
wine "$setup" &
wintool wait-window "Hourlink 安装" 30000 >/dev/null || fail "the setup program shows no window titled 'Hourlink 安装'"
sleep 2
screenshot installer

# --- A folder this user cannot write is refused on the folder page ----------------
# (as Program Files is to a standard user; root is kept out by the immutable
# attribute, where the file system has it, else by a folder under /proc).
locked="$work/locked"
mkdir -p "$locked"
if chattr +i "$locked" 2>/dev/null; then
  trap 'chattr -i "$locked" 2>/dev/null; stop_wine' EXIT
else
  locked=/proc/1/hourlink
fi
locked_windows=$(wine winepath -w "$locked" 2>/dev/null | tr -d '\r')
wintool any-press "Hourlink 安装" 1 || fail "no Next on the welcome page"   # to the components
wait_for 20 wintool any-text "Hourlink 安装" SysTreeView32 -1 >/dev/null || fail "no components page"
wait_for 20 wintool any-press "Hourlink 安装" 1                             # to the folder page
wait_for 20 wintool any-text "Hourlink 安装" Edit -1 "$locked_windows" || fail "no folder page"
wintool any-press "Hourlink 安装" 1                                         # Next: refused
box_says_locked() { wintool any-text "Hourlink 安装" Static 0xFFFF | grep -q "不能在这个文件夹中写入文件"; }
wait_for 20 box_says_locked || fail "no message refusing the folder $locked_windows"
screenshot installer_locked_folder
[[ -z $(ls -A "$locked" 2>/dev/null) ]] || fail "the check left files in $locked: $(ls -A "$locked")"
echo "the folder page refused $locked_windows"

stop_wine
rm -rf "$prefix" "$prefix.lock"
echo "PASS: installed, started, read by hourlink-stat, refused while running, uninstalled keeping the records, added to PATH and removed with them"
