#!/usr/bin/env bash
# When does the first trip retrieval come while a long return-message cycle runs? The real program with
# xInterval 1 against ostrel-sim answering every call after 4 s, with 40 status events waiting: the return cycle
# runs from about 60 s to 216 s after start, and a retrieval falls due at about 61 s. Prints, per action, the
# seconds after start of its first and last request. Needs the sqlite3 command-line tool; takes [seconds] (260).
# usage: bench/retrieval-during-return.sh [seconds]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
prog="$build/src/VoranoOstrel"; sim="$build/tools/ostrel-sim/ostrel-sim"
secs="${1:-260}"
dir="$(mktemp -d /tmp/retrieval-during-return.XXXXXX)"
mkdir -p "$dir/Vorano"
cp "$prog" "$dir/VoranoOstrel"
sqlite3 "$dir/Vorano/dispatch.sqlite" < "$root/db/sqlite.sql"
{
  echo "insert into wagens (wag_id, wag_kenteken, wag_taxis) values (1, 'AB-12-CD', 7);"
  for i in $(seq 1 40); do
    echo "insert into Planning (pla_id, pla_wagen, pla_extern, pla_status, pla_van, pla_lopers, pla_rollers) values ($i, 1, $((1000+i)), 'V', 0, 1, 0);"
    echo "insert into koppelingen (kop_id, kop_pla_id, kop_type, kop_status, kop_eigenaar, kop_datumtijd, kop_latitude, kop_longitude) values ($i, $i, 1, 0, '007', '2026-12-10 10:00:$(printf %02d $((i%60)))', 52.1, 5.1);"
  done
} | sqlite3 "$dir/Vorano/dispatch.sqlite"
"$sim" --port 0 --port-file "$dir/port" --record "$dir/requests.log" --trips 0 --delay 4000 > "$dir/sim.out" 2>&1 &
simpid=$!
for i in $(seq 50); do [ -s "$dir/port" ] && break; sleep 0.1; done
port=$(cat "$dir/port")
printf '<?xml version="1.0" encoding="iso-8859-1"?>\r\n<Configuration>\r\n  <Hoofdscherm>\r\n    <FormVersion>0</FormVersion>\r\n    <xBezet_Checked>TRUE</xBezet_Checked>\r\n    <xAuto_Checked>TRUE</xAuto_Checked>\r\n    <xInterval_Text>1</xInterval_Text>\r\n    <xVerwerken_Checked>TRUE</xVerwerken_Checked>\r\n    <xSoapServer_Text>http://127.0.0.1:%s/_external/external.cfc</xSoapServer_Text>\r\n    <Eigenaar_Text>007</Eigenaar_Text>\r\n    <xLoginDriver_Text>SQLite</xLoginDriver_Text>\r\n  </Hoofdscherm>\r\n</Configuration>\r\n' "$port" > "$dir/VoranotoOstrel.xml"
mkdir -p "$dir/xdg"; chmod 700 "$dir/xdg"
start=$(date +%s.%N)
QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$dir/xdg" "$dir/VoranoOstrel" > "$dir/prog.out" 2>&1 &
progpid=$!
sleep "$secs"
kill -TERM $progpid; wait $progpid || true
kill -TERM $simpid; wait $simpid || true
python3 - "$dir" "$start" <<'PY'
import sys, re, datetime
d, start = sys.argv[1], float(sys.argv[2])
t0 = datetime.datetime.fromtimestamp(start, datetime.timezone.utc)
firsts = {}; lasts = {}
for line in open(d + '/requests.log'):
    m = re.match(r'=== (\S+) POST \S+ action=(\S*)', line)
    if not m: continue
    at = datetime.datetime.fromisoformat(m.group(1))
    at = at.astimezone(datetime.timezone.utc)  # a time without offset is the machine's local time
    s = (at - t0).total_seconds(); a = m.group(2)
    firsts.setdefault(a, s); lasts[a] = s
for a in sorted(firsts, key=firsts.get):
    print(f"{a:32s} first {firsts[a]:7.1f} s  last {lasts[a]:7.1f} s")
PY
echo "program folder: $dir"
