#!/usr/bin/env bash
# Makes the README's picture of the window "Sweeps": the console runs two sweeps of the logger
# emulator on two electrodes, ticks none (the newer is chosen, the older shown by its list line),
# fits the newer one and takes the window's picture.
#
#   scripts/sweep-picture.sh [OUT.png]      (docs/sweeps.png by default)
#
# Runs in a temporary folder with a copy of the console, so build/dev and build/Impix2.cfg stay
# untouched. The emulator's seed is fixed, so the picture changes only with the program.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$root/docs/sweeps.png}")
# shellcheck source=scripts/emulator-sandbox.sh
. "$root/scripts/emulator-sandbox.sh"
emulator_sandbox sweeps

start_sandbox_emulator sweep-picture --seed 7

mkdir -p "$(dirname "$out")"
cat >script.txt <<SCRIPT
page TabSheet5
set BegFreqEd 100
set EndFreqEd 20000
set FreqMultEd 1.2
set FBrdEd 1
set FChnlEd 2
click SetFParamsBtn
wait 300
click FreqStartBtn
wait 2000
set FChnlEd 1
click SetFParamsBtn
wait 300
click FreqStartBtn
wait 2000
click SweepBtn
click SweepFitBtn
print SweepLst
print SweepFitTx
grab FSweep $out
SCRIPT
./impix --script script.txt 2>/dev/null
echo "sweep-picture: wrote $out"
