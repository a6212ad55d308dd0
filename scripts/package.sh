#!/usr/bin/env bash
# Builds the Debian packages build/impix_<version>_amd64.deb and
# build/impix-collector_<version>_amd64.deb (CPack; the library dependencies are computed by
# dpkg-shlibdeps, the programs stripped) from the build in build/, and prints their contents and
# sizes; then lets lintian judge them (errors and warnings fail) and runs the install test on the
# console package's files.
# Install them with: sudo apt install ./build/impix_<version>_amd64.deb (and the collector's)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build
(cd build && cpack -G DEB >/dev/null)
deb=$(ls -t build/impix_*_amd64.deb | head -n 1)
dpkg-deb --field "$deb"
dpkg-deb --contents "$deb" | awk '{ print $3, $6 }'
echo "$deb: $(stat -c %s "$deb") bytes"
lintian --fail-on error,warning "$deb" 2> >(grep -v "root privileges" >&2)
collector=$(ls -t build/impix-collector_*_amd64.deb | head -n 1)
dpkg-deb --field "$collector"
dpkg-deb --contents "$collector" | awk '{ print $3, $6 }'
echo "$collector: $(stat -c %s "$collector") bytes"
lintian --fail-on error,warning "$collector" 2> >(grep -v "root privileges" >&2)
tests/install/install-test.sh build "$(dpkg-deb --field "$deb" Version)" "$deb"
