#!/usr/bin/env bash
# Sets everything up on a fresh Debian 12 machine, builds, starts the logger emulator on a
# pseudo-terminal behind build/dev/COM2 and runs the console against it. Extra arguments go to
# the emulator (for example --speed 60 --period-ms 2000).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build
link=build/dev/COM2
build/impix-logger --link "$link" "$@" &
logger=$!
trap 'kill $logger 2>/dev/null; wait $logger 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -L "$link" ] && break; sleep 0.1; done
build/impix
