#!/usr/bin/env bash
# Makes the README's picture of the trend view: the console measures two channels of the logger
# emulator (its clock 7200 times fast, so 12 seconds are a day of the logger's) with a trend
# window open on channel 1, then takes the window's picture.
#
#   scripts/trend-picture.sh [OUT.png]      (docs/trend.png by default)
#
# Runs in a temporary folder with a copy of the console, so build/dev and build/Impix2.cfg stay
# untouched. The emulator's seed is fixed, so the picture changes only with the program.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$root/docs/trend.png}")
# shellcheck source=scripts/emulator-sandbox.sh
. "$root/scripts/emulator-sandbox.sh"
emulator_sandbox trend

start_sandbox_emulator trend-picture --speed 7200 --period-ms 40 --seed 7

mkdir -p "$(dirname "$out")"
cat >script.txt <<SCRIPT
set Ch1SelChck 1
set Ch2SelChck 1
click SetMaskBtn
click FormatBtn
page PrewSh
click TrendBtn
set TrendChEd 1
click EnableBtn
wait 12000
click DisableBtn
wait 500
print FTrend
print TrendItemsTx
grab FTrend $out
SCRIPT
./impix --script script.txt 2>/dev/null
echo "trend-picture: wrote $out"
