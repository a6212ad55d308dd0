#!/usr/bin/env bash
# Builds the Debian package from the build (as scripts/package.sh does, into a scratch folder),
# lets lintian judge it (no error, no warning; the info tags it still gives are printed), then
# runs the install test on the package's files.
# Usage: package-test.sh BUILD_DIR VERSION
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
version=$2
work=$(mktemp -d /tmp/impix-package.XXXXXX)
trap 'rm -rf "$work"' EXIT

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" >cpack.out 2>&1) || {
    cat "$work/cpack.out" >&2
    echo "package-test: cpack failed" >&2
    exit 1
}
deb=$work/impix_${version}_amd64.deb
[ -s "$deb" ] || { echo "package-test: no $deb" >&2; exit 1; }
# lintian says so when it runs as root; nothing else goes to standard error.
lintian --fail-on error,warning --display-level '>=pedantic' "$deb" 2> >(grep -v "root privileges" >&2) ||
    { echo "package-test: lintian found errors or warnings" >&2; exit 1; }
"$here/install-test.sh" "$build" "$version" "$deb"
