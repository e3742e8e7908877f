#!/usr/bin/env bash
# The service run as a service manager starts it: start-up to READY=1, memory while idle, and the peak of one
# retrieval that imports N trips (the simulator offers them; the first retrieval comes a minute after start).
#
#   bench/service-run.sh PROGRAM [TRIPS]     (default 10000; PROGRAM: VoranoOstrelService or VoranoOstrel)
#
# Prints BENCH rows; asserts nothing. Needs python3 for the notify socket and a built ostrel-sim beside the build.
set -euo pipefail
program="$(realpath "$1")"
trips="${2:-10000}"
root="$(cd "$(dirname "$0")/.." && pwd)"
sim="${SIM:-$root/build/tools/ostrel-sim/ostrel-sim}"
work="$(mktemp -d)"
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
name="$(basename "$program")"

"$sim" --port 0 --port-file "$work/port" --trips "$trips" >/dev/null 2>&1 &
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.1; done
port="$(cat "$work/port")"
mkdir "$work/data"
cat >"$work/data/VoranotoOstrel.xml" <<XML
<?xml version="1.0" encoding="iso-8859-1"?>
<Configuration>
  <Hoofdscherm>
    <xLoginDriver_Text>SQLite</xLoginDriver_Text>
    <xSoapServer_Text>http://127.0.0.1:$port/_external/external.cfc</xSoapServer_Text>
    <xAuto_Checked>TRUE</xAuto_Checked>
    <xVerwerken_Checked>TRUE</xVerwerken_Checked>
    <xBevestigen_Checked>TRUE</xBevestigen_Checked>
    <BackupsMaken_Checked>FALSE</BackupsMaken_Checked>
    <xInterval_Text>1</xInterval_Text>
  </Hoofdscherm>
</Configuration>
XML

# The service manager's end of the notify protocol: prints the milliseconds until READY=1.
python3 - "$work/notify" >"$work/ready-ms" <<'PY' &
import socket, sys, time
s = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
s.bind(sys.argv[1])
start = time.monotonic()
open(sys.argv[1] + ".bound", "w").close()
while True:
    data = s.recv(4096)
    if data.startswith(b"READY=1"):
        print(int((time.monotonic() - float(open(sys.argv[1] + ".start").read())) * 1000))
        sys.stdout.flush()
        break
PY
for _ in $(seq 100); do [ -e "$work/notify.bound" ] && break; sleep 0.05; done
python3 -c 'import time; print(time.monotonic())' >"$work/notify.start"
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM NOTIFY_SOCKET="$work/notify" \
    "$program" --data "$work/data" 2>"$work/err" &
pid=$!
for _ in $(seq 200); do [ -s "$work/ready-ms" ] && break; sleep 0.05; done
ready="$(cat "$work/ready-ms" 2>/dev/null || echo '?')"
kb() { awk -v k="$1:" '$1 == k { print $2 }' "/proc/$pid/status"; }
sleep 15
idle="$(kb VmRSS)"
# The first retrieval a minute after start, then the import of every trip.
day="$work/data/Logboek/$(date +%Y-%m-%d).log"
for _ in $(seq 3600); do grep -q "Ritten opgehaald" "$day" 2>/dev/null && break; sleep 0.5; done
peak="$(kb VmHWM)"
kill -TERM "$pid"; wait "$pid" || true
mb() { awk -v k="$1" 'BEGIN { printf "%.1f MB", k / 1024 }'; }
printf 'BENCH\tstart-up to READY=1, %s\t%s ms\t-\t-\t-\n' "$name" "$ready"
printf 'BENCH\tidle RSS 15 s after start, %s\t%s\t-\t-\t-\n' "$name" "$(mb "$idle")"
printf 'BENCH\tpeak RSS after importing %s trips, %s\t%s\t-\t-\t-\n' "$trips" "$name" "$(mb "$peak")"
grep "Ritten opgehaald" "$day" | tail -1
