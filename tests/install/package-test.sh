#!/usr/bin/env bash
# Builds the Debian packages from the build (as scripts/package.sh does, into a scratch folder),
# lets lintian judge them (no error, no warning; the info tags it still gives are printed), checks
# the collector's package, then runs the install test on the console package's files.
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

# The collector's package stands alone: no Qt widgets, its unit, its settings as a conffile, a
# program that runs from the package's files.
collector=$work/impix-collector_${version}_amd64.deb
[ -s "$collector" ] || { echo "package-test: no $collector" >&2; exit 1; }
lintian --fail-on error,warning --display-level '>=pedantic' "$collector" 2> >(grep -v "root privileges" >&2) ||
    { echo "package-test: lintian found errors or warnings in the collector's package" >&2; exit 1; }
fail() { echo "package-test: $*" >&2; exit 1; }
depends=$(dpkg-deb --field "$collector" Depends)
grep -q "libpq5" <<<"$depends" || fail "the collector does not depend on libpq5: $depends"
grep -qE "libqt6(widgets|gui)" <<<"$depends" && fail "the collector pulls in Qt's widgets: $depends"
dpkg-deb --ctrl-tarfile "$collector" | tar -xO ./conffiles | grep -qx /etc/impix/collector.conf ||
    fail "collector.conf is no conffile"
mkdir "$work/collector"
dpkg -x "$collector" "$work/collector"
for f in usr/bin/impix-collector usr/lib/systemd/system/impix-collector.service \
    etc/impix/collector.conf usr/share/doc/impix-collector/copyright \
    usr/share/doc/impix-collector/changelog.gz usr/share/man/man1/impix-collector.1.gz; do
    [ -s "$work/collector/$f" ] || fail "not in the collector's package: $f"
done
zcat "$work/collector/usr/share/doc/impix-collector/changelog.gz" | head -n 1 |
    grep -q "^impix-collector ($version) " || fail "the collector's changelog"
grep -q "^ExecStart=/usr/bin/impix-collector$" "$work/collector/usr/lib/systemd/system/impix-collector.service" ||
    fail "the unit does not start the installed program"
out=$("$work/collector/usr/bin/impix-collector" --version) || fail "impix-collector --version failed"
[ "$out" = "impix-collector $version" ] || fail "impix-collector --version printed '$out'"
"$work/collector/usr/bin/impix-collector" --help | grep -q "exit status 2" ||
    fail "impix-collector --help does not tell how it refuses options"
# The shipped settings are what the program reads: nothing in them is refused.
"$work/collector/usr/bin/impix-collector" --config "$work/collector/etc/impix/collector.conf" \
    --database "host=/nonexistent" --state "$work/state" --check >"$work/check.out" 2>&1 &&
    fail "--check found a missing database fine"
grep -q "^wrong: database: " "$work/check.out" || fail "--check: $(cat "$work/check.out")"

"$here/install-test.sh" "$build" "$version" "$deb"
