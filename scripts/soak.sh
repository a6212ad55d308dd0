#!/usr/bin/env bash
# Soak run: the console against the logger emulator with a bad line (noise, a spoiled checksum
# every 50 answers, a pause inside every answer, the clock 60 times fast) for MINUTES of
# measuring, then a download of everything, "Download missing" where the console has it, and a
# save. The saved file is checked line by line against the emulator's own record of what it
# stored; the console's peak memory and CPU time are printed. Exits non-zero on any difference.
#
#   scripts/soak.sh MINUTES [SEED]      (SEED repeats an earlier run's electrodes and faults)
#   scripts/soak.sh --kill [SEED]       (kill-and-restore run of the measurement archive)
#
# --kill: the console measures for a minute, then downloads everything over a slow line; in the
# middle of the download the line falls silent (the emulator is stopped), the console prints its
# table and is killed with SIGKILL. A second console in the same folder must ask "Restore
# measurements" and, answered "Yes", show exactly the table the killed one showed.
#
# Runs in a temporary folder of its own with a copy of the console, so build/dev and
# build/Impix2.cfg stay untouched; the folder is kept and named at the end.
set -euo pipefail

minutes=${1:-}
kill_run=0
if [ "$minutes" = --kill ]; then
    kill_run=1
    minutes=1
fi
if ! [[ $minutes =~ ^[0-9]+$ ]] || [ "$minutes" -lt 1 ]; then
    echo "usage: $0 MINUTES [SEED] | $0 --kill [SEED]" >&2
    exit 2
fi
seed=${2:-$(od -An -N4 -tu4 /dev/urandom | tr -d ' ')}
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=scripts/emulator-sandbox.sh
. "$root/scripts/emulator-sandbox.sh"
emulator_sandbox soak

# Measuring every 5 minutes of the logger's clock (5 real seconds) on two channels: the line
# keeps up with 0.4 answers a second even with 300 ms inside each answer.
period_min=5
channels=2
answer_s=0.35 # one answer's time on the line: the pause and the bytes
expected=$(((minutes * 60 / period_min + 2) * channels))

logger_pid=
console_pid=
cleanup() {
    [ -n "$console_pid" ] && kill "$console_pid" 2>/dev/null || true
    [ -n "$logger_pid" ] && kill "$logger_pid" 2>/dev/null || true
}
trap cleanup EXIT

if [ "$kill_run" = 1 ]; then
    echo "soak --kill: seed $seed, folder $work"
    "$build/impix-logger" --link dev/COM2 --period-ms 250 --pause-ms 100 --seed "$seed" \
        >logger.out 2>logger.err &
    logger_pid=$!
    wait_for_emulator_link || { echo "soak: the emulator did not start" >&2; cat logger.err >&2; exit 1; }
    cat >kill-script.txt <<EOF
set BoardGrp 0
set Ch1SelChck 1
set Ch2SelChck 1
click SetMaskBtn
click FormatBtn
wait 1000
click EnableBtn
wait 60000
click DisableBtn
wait 2000
print PoolItemsTx
click ClearBufBtn
set FromValEd 1
set AmountValEd 16777215
click DwnBtn
wait 8000
print DwnProgressTx
wait 3000
print BufGrid
print ArchiveTx
wait 600000
EOF
    ./impix --script kill-script.txt >killed.out 2>killed.err &
    console_pid=$!
    # Waits until the console printed a line starting with $1.
    await() {
        for _ in $(seq 1200); do
            grep -q "^$1" killed.out && return 0
            kill -0 "$console_pid" 2>/dev/null || break
            sleep 0.1
        done
        echo "soak: the console did not print $1" >&2
        cat killed.err >&2
        exit 1
    }
    await DwnProgressTx=
    kill -STOP "$logger_pid"
    await ArchiveTx=
    kill -KILL "$console_pid"
    wait "$console_pid" 2>/dev/null || true
    console_pid=
    kill -CONT "$logger_pid"
    printf 'answer yes\nprint PoolItemsTx\nprint BufGrid\nprint ArchiveTx\nquit\n' >restore-script.txt
    timeout 120 ./impix --script restore-script.txt >restored.out 2>restored.err || true
    grep '^BufGrid\[' killed.out >shown.txt || true
    grep '^BufGrid\[' restored.out >restored.txt || true
    shown=$(($(wc -l <shown.txt) - 1))
    echo "soak: measured live $(sed -n 's/^PoolItemsTx=//p' killed.out | head -1)," \
        "download at the kill: $(sed -n 's/^DwnProgressTx=//p' killed.out | head -1)"
    echo "soak: the killed console showed $shown items; $(($(wc -l <restored.txt) - 1)) after the restart"
    grep '^dialog: ' restored.out || true
    grep '^ArchiveTx=' killed.out restored.out || true
    /usr/bin/python3 - "$XDG_DATA_HOME/impix/archive.sqlite" <<'EOF'
import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
for row in db.execute("SELECT id, clean_end, live, download, report, restored, buffer_from, "
                      "restore_asked FROM session ORDER BY id"):
    print("soak: session %d clean_end %d live %d download %d report %d restored %d "
          "buffer_from %d restore_asked %d" % row)
print("soak: %d measurements in the view" % db.execute("SELECT count(*) FROM measurement").fetchone())
EOF
    if [ "$shown" -gt 0 ] && grep -q "^dialog: Restore measurements: .*Its buffer held $shown items" restored.out &&
        cmp -s shown.txt restored.txt; then
        echo "soak: passed (the restored table is the killed console's, line for line)"
        exit 0
    fi
    diff shown.txt restored.txt | head -20 || true
    echo "soak: FAILED"
    exit 1
fi

echo "soak: $minutes minutes, seed $seed, folder $work, $LC_ALL"
"$build/impix-logger" --link dev/COM2 --noise 3 --bad-checksum-every 50 --pause-ms 300 \
    --speed 60 --seed "$seed" --dump-items logger-items.txt >logger.out 2>logger.err &
logger_pid=$!
wait_for_emulator_link || { echo "soak: the emulator did not start" >&2; cat logger.err >&2; exit 1; }

# "Download missing" exists only in consoles that have it; an unknown control ends a script
# with status 2.
printf 'print DwnMissingBtn\nquit\n' >probe.txt
if timeout 60 ./impix --script probe.txt >/dev/null 2>&1; then has_missing=1; else has_missing=0; fi

# Waits of `total` milliseconds in steps of at most `step`, printing `what` after each.
waits() {
    local total=$1 step=$2 what=$3
    while [ "$total" -gt 0 ]; do
        local w=$((total < step ? total : step))
        echo "wait $w"
        echo "print $what"
        total=$((total - w))
    done
}
progress=PoolItemsTx
[ "$has_missing" = 1 ] && progress=DwnProgressTx
download_ms=$(awk -v n="$expected" -v a="$answer_s" 'BEGIN { printf "%d", n * a * 1000 * 1.3 + 15000 }')
refill_ms=$(awk -v n="$expected" -v a="$answer_s" 'BEGIN { printf "%d", n / 50 * a * 1000 * 2 + 8000 }')
{
    cat <<EOF
set PerHourEd 0
set PerMinEd $period_min
click SetPeriodBtn
set BoardGrp 0
set Ch1SelChck 1
set BoardGrp 1
set Ch16SelChck 1
click SetMaskBtn
click FormatBtn
wait 2000
click EnableBtn
EOF
    waits $((minutes * 60000)) 60000 PoolItemsTx
    cat <<EOF
click DisableBtn
wait 3000
click GetSizeBtn
wait 2000
click GetSizeBtn
wait 2000
print SizeTx
click ClearBufBtn
set FromValEd 1
set AmountValEd 16777215
click DwnBtn
EOF
    waits "$download_ms" 10000 "$progress"
    if [ "$has_missing" = 1 ]; then
        echo "print DwnMissingTx"
        for _ in 1 2 3 4; do
            echo "click DwnMissingBtn"
            waits "$refill_ms" 10000 DwnProgressTx
            echo "print DwnMissingTx"
        done
        echo "print LinkHealthTx"
    fi
    cat <<EOF
print SizeTx
print PoolItemsTx
answer $work/saved.txt
click SaveBufAllBtn
wait 1000
quit
EOF
} >soak-script.txt

./impix --script soak-script.txt >console.out 2>console.err &
console_pid=$!

# The console's resident memory and CPU time, every few seconds while it runs.
tick=$(getconf CLK_TCK)
max_rss=0
cpu_ticks=0
last_report=$SECONDS
# Past this the console is taken as hung.
deadline=$((SECONDS + (minutes * 60000 + download_ms + 4 * refill_ms) / 1000 + 600))
while kill -0 "$console_pid" 2>/dev/null; do
    if [ "$SECONDS" -gt "$deadline" ]; then
        echo "soak: the console did not finish; stopping it" >&2
        kill "$console_pid" 2>/dev/null || true
    fi
    rss=$(awk '/^VmRSS:/ { print $2 }' "/proc/$console_pid/status" 2>/dev/null || true)
    ticks=$(sed 's/.*) //' "/proc/$console_pid/stat" 2>/dev/null | awk '{ print $12 + $13 }' || true)
    if [ -n "$rss" ] && [ -n "$ticks" ]; then
        [ "$rss" -gt "$max_rss" ] && max_rss=$rss
        cpu_ticks=$ticks
        echo "$SECONDS $rss $ticks" >>console-usage.txt
    fi
    if [ $((SECONDS - last_report)) -ge 60 ]; then
        last_report=$SECONDS
        echo "soak: ${SECONDS}s, console RSS ${rss:-?} kB, CPU $(awk -v t="$cpu_ticks" -v h="$tick" 'BEGIN { printf "%.1f", t / h }') s, $(grep -E '^(PoolItemsTx|DwnProgressTx)=' console.out | tail -1)"
    fi
    sleep 3
done
status=0
wait "$console_pid" || status=$?
console_pid=
[ "$status" = 0 ] || { echo "soak: the console ended with status $status" >&2; cat console.err >&2; }

# SIGTERM makes the emulator write what it stored.
kill -TERM "$logger_pid"
wait "$logger_pid" || true
logger_pid=

echo "soak: results (seed $seed, folder $work)"
for k in SizeTx PoolItemsTx DwnProgressTx DwnMissingTx LinkHealthTx; do grep "^$k=" console.out | tail -1 || true; done
grep '^dialog: ' console.out || true
first_missing=$(sed -n 's/^DwnMissingTx=Missing \([0-9]*\):.*/\1/p' console.out | head -1)
[ "$has_missing" = 1 ] && echo "missing before Download missing ${first_missing:-0}"
check=0
/usr/bin/python3 "$root/scripts/soak-check.py" logger-items.txt saved.txt "$has_missing" || check=$?
awk -v k="$max_rss" -v t="$cpu_ticks" -v h="$tick" \
    'BEGIN { printf "console max RSS %.1f MB, CPU %.1f s\n", k / 1024, t / h }'
[ "$status" = 0 ] && [ "$check" = 0 ] && echo "soak: passed" && exit 0
echo "soak: FAILED"
exit 1
