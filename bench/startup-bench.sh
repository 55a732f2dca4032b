#!/usr/bin/env bash
# Start-up time and memory of Hourlink.exe against bare window programs of ours
# (bench/startup/bare_window.cpp, made with the same toolkit), in one run
# under the same Wine.
#
# Four cases, each started RUNS times (default 11) in turns of changing order,
# after one unmeasured start: the minimal bare program (a menu, a list view and
# a status bar), the fair bare program (started with "frame": the controls
# Hourlink's main window shows at start, with none of its work behind them),
# Hourlink with an empty data folder, and Hourlink with a record file of
# 100,000 sessions. For each, the median (and the fastest) time from the start
# of the process to its visible main window, and the median and range of the
# working set (resident memory) SETTLE_MS (default 3000) after that, when the
# records are loaded. Then the targets, on the medians, against the fair
# program: start-up at most 1.4 times its time, memory at most its working set
# + 6 MiB, with the empty folder and with 100,000 records alike. On a busy
# machine the times scatter widely: the fastest tell the program's own cost
# best.
#
# As root with `ip netns`, the programs run in a network namespace with no
# network, so Hourlink starts offline every time, as on a machine without a
# connection; otherwise on this machine's network.
#
# Usage: bench/startup-bench.sh WINDOWS_BUILD_DIR
# HOURLINK_EXE measures another Hourlink.exe against the same bare programs;
# HOURLINK_EXE_BEFORE adds an older build's two cases to the same runs, in
# turns, for a before-and-after comparison (the targets judge HOURLINK_EXE).
set -euo pipefail
windows=$(cd "${1:?windows build directory}" && pwd)
runs=${RUNS:-11}
settle=${SETTLE_MS:-3000}
repo=$(cd "$(dirname "$0")/.." && pwd)
if [[ -z "${DISPLAY:-}" ]]; then exec "$repo/scripts/with-display" bash "$0" "$@"; fi
export HOURLINK_WINEPREFIX=$(dirname "$windows")/wine-bench
source "$repo/scripts/wine-env"
wine_prefix_ready

work=$windows/startup-bench
rm -rf "$work"
mkdir -p "$work/empty" "$work/records"
hourlink=${HOURLINK_EXE:-$windows/bin/Hourlink.exe}
before=${HOURLINK_EXE_BEFORE:-}
cp "$hourlink" "$work/empty/Hourlink.exe"
cp "$hourlink" "$work/records/Hourlink.exe"
if [[ -n "$before" ]]; then
  mkdir -p "$work/before_empty" "$work/before_records"
  cp "$before" "$work/before_empty/Hourlink.exe"
  cp "$before" "$work/before_records/Hourlink.exe"
fi
probe=$windows/bench/startup_probe.exe
bare=$windows/bench/bare_window.exe

# 100,000 finished sessions of about an hour, the last four years up to now,
# and a purge countdown far from 0.
python3 - "$work/records/adsl.bs" <<'PY'
import struct, sys, time
count, now = 100_000, int(time.time())
span = 4 * 365 * 86400
header = struct.pack("<4sIB3xiIII4x", b"12\0\0", now, 200, 0, count, 32, 84)
out = bytearray(header)
for i in range(count):
    start = now - span + i * (span // count)
    duration = 1800 + (i * 7919) % 3600
    billed = duration - duration % 60 + (0 if duration % 60 < 2 else 60)
    r = bytearray(84)
    r[0] = 32
    struct.pack_into("<IIi24siIB19s", r, 4, start, start + duration, duration, b"ADSL",
                     billed, 0, 2, b"192.168.1.10")
    out += r
open(sys.argv[1], "wb").write(out)
PY
[[ -z "$before" ]] || cp "$work/records/adsl.bs" "$work/before_records/adsl.bs"

ns=
cleanup() {
  wineserver -k 2>/dev/null || true
  [[ -n "$ns" ]] && ip netns del "$ns" 2>/dev/null
  return 0
}
trap cleanup EXIT
run=()
if [[ $(id -u) -eq 0 ]] && ip netns add "hl-bench-$$" 2>/dev/null; then
  ns=hl-bench-$$
  ip netns exec "$ns" ip link set lo up
  run=(ip netns exec "$ns")
  echo "startup-bench: in network namespace $ns (no network)"
fi
wineserver -k 2>/dev/null || true
wine reg delete 'HKCU\Software\Hourlink' /f >/dev/null 2>&1 || true

measure() {  # measure PROGRAM [ARGUMENT] -> "visible_ms working_set_kib"
  "${run[@]}" wine "$probe" "$settle" "$@" | tr -d '\r' |
    sed -n 's/.*visible_ms=\([0-9.]*\) working_set_kib=\([0-9]*\).*/\1 \2/p'
}
declare -A program=([bare]=$bare [fair]=$bare [empty]=$work/empty/Hourlink.exe [records]=$work/records/Hourlink.exe)
declare -A argument=([fair]=frame)
cases=(bare fair empty records)
if [[ -n "$before" ]]; then
  program[before_empty]=$work/before_empty/Hourlink.exe
  program[before_records]=$work/before_records/Hourlink.exe
  cases+=(before_empty before_records)
fi

# One unmeasured start of each first: the desktop, the settings, the caches.
for c in "${cases[@]}"; do measure "${program[$c]}" ${argument[$c]:-} >/dev/null; done
for ((r = 1; r <= runs; r++)); do
  # Each run in another order, so that no case always follows the same one.
  for ((i = 0; i < ${#cases[@]}; i++)); do
    c=${cases[$(((i + r) % ${#cases[@]}))]}
    line=$(measure "${program[$c]}" ${argument[$c]:-})
    [[ -n "$line" ]] || { echo "startup-bench: no measurement for $c" >&2; exit 1; }
    echo "$c $line" >>"$work/runs.txt"
  done
done

# Medians, and the targets.
python3 - "$work/runs.txt" <<'PY'
import statistics, sys
runs = {}
for line in open(sys.argv[1]):
    case, ms, kib = line.split()
    runs.setdefault(case, []).append((float(ms), int(kib)))
med = {c: (statistics.median(m for m, _ in v), statistics.median(k for _, k in v)) for c, v in runs.items()}
n = len(runs["bare"])
print(f"{'':26}{'visible (ms)':>14}{'fastest (ms)':>14}{'working set (MiB)':>20}{'range':>13}   median of {n}")
names = {"bare": "bare window program", "fair": "fair bare window program", "empty": "Hourlink, empty folder", "records": "Hourlink, 100,000 records",
         "before_empty": "before, empty folder", "before_records": "before, 100,000 records"}
for c in names:
    if c not in med: continue
    ms, kib = med[c]
    sets = [k / 1024 for _, k in runs[c]]
    print(f"{names[c]:26}{ms:14.0f}{min(m for m, _ in runs[c]):14.0f}{kib / 1024:20.1f}"
          f"{min(sets):7.1f}–{max(sets):.1f}")
fair_ms, fair_kib = med["fair"]
ok = True
for c in ("empty", "records"):
    ms, kib = med[c]
    ratio, over = ms / fair_ms, (kib - fair_kib) / 1024
    good = ratio <= 1.4 and over <= 6
    ok &= good
    print(f"{names[c]}: start-up {ratio:.2f}x the fair bare program's (target 1.40), "
          f"memory +{over:.1f} MiB (target +6.0): {'met' if good else 'NOT MET'}")
sys.exit(0 if ok else 1)
PY
