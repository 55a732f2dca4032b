#!/usr/bin/env bash
# Runs the DPI test program at 96, 144 and 192 DPI. Wine reads the DPI
# (LogPixels) when a program starts and it holds for the whole prefix, so the
# runs use a prefix of their own (a copy of the tests' prefix, made once: the
# system files hard-linked, as Wine only reads them, the registry and the
# user's folder copied) and an X display of their own, where no other test's
# windows overlap theirs.
# Usage: dpi_runs.sh DPI_TEST_EXE
set -euo pipefail
exe=${1:?the DPI test program}
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
base=$repo/build/wine-test
export HOURLINK_WINEPREFIX=$repo/build/wine-dpi
source "$repo/scripts/wine-env"
(
  flock 9
  if [[ ! -f "$WINEPREFIX/.hourlink-ready" && -f "$base/.hourlink-ready" ]]; then
    rm -rf "$WINEPREFIX.tmp"
    cp -al "$base" "$WINEPREFIX.tmp"
    rm -rf "$WINEPREFIX.tmp/drive_c/users" "$WINEPREFIX.tmp"/*.reg
    cp -a "$base/drive_c/users" "$WINEPREFIX.tmp/drive_c/"
    cp -a "$base"/*.reg "$WINEPREFIX.tmp/"
    mv "$WINEPREFIX.tmp" "$WINEPREFIX"
  fi
) 9>"$WINEPREFIX.copy.lock"
wine_prefix_ready

runs() {
  local rc=0
  for dpi in 96 144 192; do
    echo "== $dpi DPI =="
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
    HOURLINK_EXPECT_DPI=$dpi wine "$exe" --gtest_color=no || rc=1
  done
  wineserver -k 2>/dev/null || true
  return $rc
}
export -f runs
export exe
HOURLINK_FORCE_XVFB=1 "$repo/scripts/with-display" bash -c runs
