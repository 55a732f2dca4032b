# Shared by the end-to-end scripts. Each script is called as
#   script.sh HOURLINK_EXE WINTOOL_EXE WORK_DIR SCREENSHOT_DIR
# and runs the program from a copy in WORK_DIR, so its data files start empty.
set -euo pipefail

e2e_exe_src=$1
wintool=$2
work=$3
shots=$4
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/wine-env"
wine_prefix_ready

# A folder a killed run left locked (installer.sh) is unlocked first.
chattr -i "$work/locked" 2>/dev/null || true
rm -rf "$work"
mkdir -p "$work" "$shots"
cp "$e2e_exe_src" "$work/Hourlink.exe"
exe="$work/Hourlink.exe"

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Runs wintool on the shared desktop; its exit code is the answer.
wintool() { wine "$wintool" "$@"; }

# wait_for SECONDS COMMAND...: runs COMMAND every fifth of a second until it
# succeeds; false when SECONDS pass first. For effects the program brings about
# in its own time, which a loaded machine can delay.
wait_for() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.2
  done
}

# Removes the program's registry key so the program starts as on a new machine.
reset_settings() { wine reg delete 'HKCU\Software\Hourlink' /f >/dev/null 2>&1 || true; }

# The DWORD stored under HKCU\Software\Hourlink\Hourlink\SECTION\KEY, in decimal,
# or "absent".
reg_dword() {
  local out
  out=$(wine reg query "HKCU\\Software\\Hourlink\\Hourlink\\$1" /v "$2" 2>/dev/null | tr -d '\r' |
    awk -v k="$2" '$1 == k && $2 == "REG_DWORD" { print $3 }') || true
  if [[ -z "$out" ]]; then echo absent; else printf '%d\n' "$out"; fi
}

# Starts Hourlink with the given arguments in the background.
start_program() {
  wine "$exe" "$@" &
  program_pid=$!
}

# Saves a PNG of the whole virtual screen and checks it is not blank.
screenshot() {
  local file="$shots/$1.png"
  import -display "$DISPLAY" -window root "$file"
  local colours
  colours=$(convert "$file" -format %k info:)
  ((colours > 8)) || fail "screenshot $file is nearly blank ($colours colours)"
  echo "screenshot: $file"
}

# use_fake_ras PHONEBOOK: our stand-in RAS library beside the program, with
# PHONEBOOK (the lines of its fake_ras.txt), preferred over Wine's own stub.
# What RAS is asked to do lands in $work/fake_ras.log.
use_fake_ras() {
  cp "$(dirname "$wintool")/fake_ras/rasapi32.dll" "$work/"
  printf '%s\n' "$1" >"$work/fake_ras.txt"
  export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;rasapi32=n,b"
}

stop_wine() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
}
trap stop_wine EXIT
