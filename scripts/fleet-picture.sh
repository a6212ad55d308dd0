#!/usr/bin/env bash
# Makes the README's picture of the fleet view: a throw-away PostgreSQL (pg_virtualenv), the
# collector with twelve registered loggers, ten of which report from the emulator's fleet (two
# of those made late by ageing their reports), an unknown peer, and the console's window
# "Fleet" on that database, grabbed once it shows the loggers.
#
#   scripts/fleet-picture.sh [OUT.png]      (docs/fleet.png by default)
#
# Needs postgresql-15 (scripts/setup.sh installs it). The fleet's seed is fixed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$root/docs/fleet.png}")
if [ -z "${PGHOST:-}" ]; then
    command -v pg_virtualenv >/dev/null || { echo "fleet-picture: needs pg_virtualenv (postgresql-15)" >&2; exit 1; }
    exec pg_virtualenv -t -v 15 "$0" "$out"
fi
# shellcheck source=scripts/emulator-sandbox.sh
. "$root/scripts/emulator-sandbox.sh"
emulator_sandbox fleet
cmake --build "$build" --target impix-collector >/dev/null

collector_pid=
cleanup() {
    # Stopped while its database is still there: it writes out its spool and ends.
    if [ -n "$collector_pid" ]; then
        kill "$collector_pid" 2>/dev/null || true
        wait "$collector_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

collector() { "$build/impix-collector" --config /dev/null --state "$work/state" "$@"; }
names=(Alder Birch Cedar Elm Fir Hazel Larch Maple Oak Pine Rowan Willow)
for k in $(seq 12); do
    collector --add-logger "${names[k - 1]}" "127.1.0.$k" >/dev/null
done
"$build/impix-collector" --config /dev/null --state "$work/state" --listen 127.0.0.1:47231 \
    >/dev/null 2>collector.log &
collector_pid=$!
for _ in $(seq 100); do grep -q "listening on" collector.log && break; sleep 0.1; done
# Eleven loggers send; the eleventh (127.1.0.11) is a stranger since Rowan moved to .13.
psql -qc "UPDATE logger SET address = '127.1.0.13' WHERE name = 'Rowan'" >/dev/null
"$build/impix-logger" --fleet 11 --report-host 127.0.0.1 --report-port 47231 --reports 1 \
    --items 480 --seed 5 --clock-start "$(date +%F)T00:00:00" >/dev/null 2>&1
for _ in $(seq 100); do
    [ "$(psql -tAc 'SELECT count(*) FROM report')" = 11 ] && break
    sleep 0.1
done
psql -qc "UPDATE report SET ended_at = ended_at - interval '2 days 5 hours'
          WHERE logger IN (SELECT id FROM logger WHERE name IN ('Cedar', 'Larch'))" >/dev/null

mkdir -p "$(dirname "$out")"
cat >script.txt <<SCRIPT
click FleetBtn
wait 3000
print FleetLateTx
grab FFleet $out
SCRIPT
./impix --no-archive --fleet "application_name=fleet-picture" --script script.txt 2>/dev/null
echo "fleet-picture: wrote $out"
