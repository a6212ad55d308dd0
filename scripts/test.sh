#!/usr/bin/env bash
# Sets everything up on a fresh Debian 12 machine, builds and runs the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build
ctest --test-dir build --output-on-failure
