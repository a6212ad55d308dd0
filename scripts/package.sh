#!/usr/bin/env bash
# Builds the Debian package build/impix_<version>_amd64.deb (CPack; the library dependencies are
# computed by dpkg-shlibdeps, the programs stripped) from the build in build/, and prints its
# contents and size; then lets lintian judge it (errors and warnings fail) and runs the install
# test on the package's files.
# Install it with: sudo apt install ./build/impix_<version>_amd64.deb
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
tests/install/install-test.sh build "$(dpkg-deb --field "$deb" Version)" "$deb"
