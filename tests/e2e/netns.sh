# Shared by the end-to-end scripts that run Wine inside a network namespace.
#
# A namespace with a veth pair is a LAN under the script's control: the host end
# is PREFIX.0.1 and answers echo (it is also the namespace's DNS server), the
# namespace end is PREFIX.0.2. Only those two addresses are ever used, and
# forwarding is off on the host end.
#
# Source this file, then:
#   netns_begin "$@"                    skips the script without root, ip netns or
#                                       python3; runs it on an X display; sources
#                                       lib.sh with a Wine prefix for namespaces
#   netns_open PREFIX STEM [PID_VAR]    the namespace, veth pair and cleanup trap
#   netns_start_wine                    a fresh wineserver inside the namespace
# PID_VAR names the variable holding the script's background launcher, waited
# for by the cleanup.
#
# With HOURLINK_E2E_USER=NAME every Wine program runs as that standard user
# (created when missing) in a prefix of its own, as on a Windows machine
# without administrator rights. The namespace lets that user's group, and no
# other, send ICMP echo through datagram sockets (net.ipv4.ping_group_range),
# the only ICMP an unprivileged Linux user has.

skip() {
  echo "SKIPPED: $*"
  exit 0
}

netns_require() {
  [[ $(id -u) -eq 0 ]] || skip "network namespaces need root"
  command -v ip >/dev/null || skip "no ip command (iproute2)"
  ip netns list >/dev/null 2>&1 || skip "ip netns is not available"
  command -v python3 >/dev/null || skip "python3 is needed to decode the record file"
}

netns_begin() {
  netns_require
  if [[ -z "${DISPLAY:-}" ]]; then exec "$repo/scripts/with-display" bash "$0" "$@"; fi
  # A prefix of its own: its wineserver must start inside the namespace, and one
  # that other tests started outside it would be shared.
  export HOURLINK_WINEPREFIX=${HOURLINK_NETNS_WINEPREFIX:-$repo/build/wine-netns}
  if [[ -n "${HOURLINK_E2E_USER:-}" ]]; then netns_as_user "$HOURLINK_E2E_USER"; fi
  source "$here/lib.sh" "$@"
  if [[ -n "${netns_user:-}" ]]; then chown -R "$netns_user:" "$work"; fi
}

# Wine as the standard user NAME: `wine`, `wineserver` and `wineboot` on the
# PATH become wrappers that switch to NAME, and the prefix is NAME's (Wine
# refuses a prefix its user does not own).
netns_as_user() {
  local user=$1 tool
  command -v runuser >/dev/null || skip "no runuser command"
  id -u "$user" >/dev/null 2>&1 ||
    useradd --system --no-create-home --shell /usr/sbin/nologin "$user" ||
    skip "cannot create the user $user"
  export HOURLINK_WINEPREFIX=$repo/build/wine-netns-$user
  mkdir -p "$HOURLINK_WINEPREFIX" "$HOURLINK_WINEPREFIX.home"
  chown "$user:" "$HOURLINK_WINEPREFIX" "$HOURLINK_WINEPREFIX.home"
  netns_bin=$(mktemp -d)
  chmod 755 "$netns_bin"
  for tool in wine wineserver wineboot; do
    printf '%s\n' '#!/usr/bin/env bash' \
      "exec runuser -u $user -- env HOME=$HOURLINK_WINEPREFIX.home PATH=/usr/bin:/bin \\" \
      '  WINEPREFIX="$WINEPREFIX" WINEARCH="$WINEARCH" WINEDEBUG="$WINEDEBUG" \' \
      '  WINEDLLOVERRIDES="$WINEDLLOVERRIDES" LANG="$LANG" LC_ALL="$LC_ALL" DISPLAY="$DISPLAY" \' \
      '  HOURLINK_SCREENSHOT_DIR="${HOURLINK_SCREENSHOT_DIR:-}" \' \
      "  $(command -v "$tool") \"\$@\"" >"$netns_bin/$tool"
    chmod 755 "$netns_bin/$tool"
  done
  export PATH=$netns_bin:$PATH
  netns_user=$user
}

in_ns() { ip netns exec "$ns" "$@"; }
# wintool on the program's desktop, its output without carriage returns.
wt() { in_ns wine "$wintool" "$@" | tr -d '\r'; }

netns_cleanup() {
  set +e
  # Every Wine process of this prefix, then anything else left in the namespace
  # (all of it started by this script).
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
  if [[ -n "$netns_pid_var" && -n "${!netns_pid_var:-}" ]]; then wait "${!netns_pid_var}" 2>/dev/null; fi
  if ip netns list 2>/dev/null | grep -qw "$ns"; then
    for pid in $(ip netns pids "$ns" 2>/dev/null); do kill "$pid" 2>/dev/null; done
    ip netns del "$ns"
  fi
  ip link del "$veth_host" >/dev/null 2>&1
  rm -rf "/etc/netns/$ns"
  [[ -n "${netns_bin:-}" ]] && rm -rf "$netns_bin"
}

# netns_open PREFIX STEM [PID_VAR]: the namespace hl-STEM-PID on PREFIX.0.0/24,
# with the veth pair hlXPIDh / hlXPIDn (X the first letter of STEM), the LAN up
# and the host end answering.
netns_open() {
  local prefix=$1 stem=$2
  netns_pid_var=${3:-}
  ns=hl-$stem-$$
  veth_host=hl${stem:0:1}$$h
  veth_ns=hl${stem:0:1}$$n
  trap netns_cleanup EXIT
  # Interrupted or timed out: still clean up.
  trap 'exit 1' INT TERM HUP

  # Another run on this machine may hold the network asked for: take the next
  # free one, in steps of ten within 10.200 to 10.249.
  local tries=0
  while [[ -n $(ip -4 -o addr show to "$prefix.0.0/24") ]]; do
    ((++tries < 8)) || fail "$prefix.0.0/24 and the networks after it are used on this machine"
    prefix=${prefix%.*}.$(((${prefix#*.} + 10 - 200) % 50 + 200))
  done
  host_ip=$prefix.0.1
  ns_ip=$prefix.0.2
  ip netns add "$ns" || skip "cannot create a network namespace"
  ip link add "$veth_host" type veth peer name "$veth_ns" || skip "cannot create a veth pair"
  ip link set "$veth_ns" netns "$ns"
  ip addr add "$host_ip/24" dev "$veth_host"
  sysctl -q -w "net.ipv4.conf.$veth_host.forwarding=0"
  ip link set "$veth_host" up
  in_ns ip link set lo up
  in_ns ip link set "$veth_ns" up
  if [[ -n "${netns_user:-}" ]]; then
    local gid
    gid=$(id -g "$netns_user")
    in_ns sysctl -q -w "net.ipv4.ping_group_range=$gid $gid"
  fi
  mkdir -p "/etc/netns/$ns"
  echo "nameserver $host_ip" >"/etc/netns/$ns/resolv.conf"

  lan_up
  in_ns ping -c 1 -W 2 "$host_ip" >/dev/null || fail "the host end $host_ip does not answer from inside $ns"
}

lan_up() {
  in_ns ip addr add "$ns_ip/24" dev "$veth_ns"
  in_ns ip route replace default via "$host_ip"
}
lan_down() { in_ns ip addr del "$ns_ip/24" dev "$veth_ns"; }

# Stops any wineserver of the prefix and starts one inside the namespace, with
# the program's settings removed.
netns_start_wine() {
  stop_wine
  in_ns wine reg delete 'HKCU\Software\Hourlink' /f >/dev/null 2>&1 || true
}

# --- Hourlink's window inside the namespace -------------------------------------

# The program's own process inside the namespace: Wine names a Windows
# program's Linux process after its executable, so the launcher (`ip netns
# exec`), the shell that started it, wintool and wineserver do not match.
program_pids() {
  local pid
  for pid in $(ip netns pids "$ns" 2>/dev/null); do
    [[ $(cat "/proc/$pid/comm" 2>/dev/null) == Hourlink.exe ]] && echo "$pid"
  done
  return 0
}

# Waits (10 s at most) until the program's process is gone after a SIGKILL.
wait_program_gone() {
  local i
  for ((i = 0; i < 100; i++)); do
    [[ -z $(program_pids) ]] && return 0
    sleep 0.1
  done
  fail "Hourlink.exe still runs after SIGKILL: $(program_pids)"
}

# The text pane's text (the main window's edit control).
log_text() { wt child-text Hourlink Edit || true; }
# The session label: the month bar's static control in slot 13.
session_label() { wt child-text Hourlink Static 13 || true; }

# Waits until the text pane holds at least N lines ending in WORD.
wait_log_lines() {
  # A deadline in seconds, not a count of tries: on a loaded machine each look
  # at the pane takes a while, and the watcher's probes too.
  local word=$1 n=$2 deadline=$((SECONDS + 90))
  while ((SECONDS < deadline)); do
    if (($(log_text | grep -c "${word}\$" || true) >= n)); then return 0; fi
    sleep 0.5
  done
  fail "the text pane has no $n lines ending in '$word':$(echo; log_text)"
}

# Seconds of an "H:MM:SS" text.
seconds_of() {
  [[ "$1" =~ ^[[:space:]]*([0-9]+):([0-9]{2}):([0-9]{2}) ]] || fail "'$1' is no running time"
  echo $((10#${BASH_REMATCH[1]} * 3600 + 10#${BASH_REMATCH[2]} * 60 + 10#${BASH_REMATCH[3]}))
}

# adsl_records FILE [exact]: the records of the record file, one line each:
#   marker start end duration billed type continuation ip name
# With "exact", first checks that the header's count matches the file's length.
adsl_records() {
  PYTHONIOENCODING=utf-8 python3 - "$1" "${2:-}" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
tag, _, _, _, count, hsize, rsize = struct.unpack_from("<4sIB3xiIII", data, 0)
assert tag == b"12\0\0" and (hsize, rsize) == (32, 84), (tag, hsize, rsize)
if sys.argv[2] == "exact":
    assert len(data) == 32 + 84 * count, f"{len(data)} bytes for {count} records"
for i in range(count):
    r = data[32 + 84 * i: 32 + 84 * (i + 1)]
    marker, start, end, duration, name, billed, speed, rtype, ip = \
        struct.unpack_from("<B3xIIi24siIB19s", r)
    continuation = r[80]
    name = name.split(b"\0")[0].decode("gbk")
    ip = ip.split(b"\0")[0].decode("ascii")
    print(marker, start, end, duration, billed, rtype, continuation, ip, name)
PY
}
