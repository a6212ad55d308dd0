#!/usr/bin/env bash
# Installs the build into a scratch folder as the package does (DESTDIR, prefix /usr), or
# unpacks the package DEB when one is given (dpkg -x), checks
# what is installed (the desktop entry and the metainfo with their validators), then runs the
# installed console headless against the installed emulator, with HOME and the XDG folders in
# the scratch folder: a measurement, a save and an export must work, their files land in the
# user's folders, and nothing under the installation changes.
# Usage: install-test.sh BUILD_DIR VERSION [DEB]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
version=$2
deb=${3:-}
work=$(mktemp -d /tmp/impix-install.XXXXXX)
root=$work/root
usr=$root/usr
logger_pid=

cleanup() {
    if [ -n "$logger_pid" ]; then
        kill "$logger_pid" 2>/dev/null || true
        wait "$logger_pid" 2>/dev/null || true
    fi
    # The spreadsheet service the console started from this installation (it would end by
    # itself after a minute without a session).
    for exe in /proc/[0-9]*/exe; do
        if [ "$(readlink "$exe" 2>/dev/null)" = "$usr/bin/impix-sheets" ]; then
            pid=${exe#/proc/}
            kill "${pid%/exe}" 2>/dev/null || true
        fi
    done
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "install-test: $*" >&2
    exit 1
}

if [ -n "$deb" ]; then
    dpkg -x "$deb" "$root"
else
    DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
fi

# Everything in its place.
for f in bin/impix bin/impix-logger bin/impix-sheets \
    share/applications/org.impix.Console.desktop share/metainfo/org.impix.Console.metainfo.xml \
    share/icons/hicolor/scalable/apps/impix.svg share/doc/impix/README.Debian; do
    [ -s "$usr/$f" ] || fail "not installed: $f"
done
[ -s "$usr/share/impix/Forms/Table1.xlsx" ] || fail "no template share/impix/Forms/Table1.xlsx"
for size in 16 22 24 32 48 64 128 256; do
    png=$usr/share/icons/hicolor/${size}x${size}/apps/impix.png
    # A PNG's width and height are the big-endian words at bytes 16 and 20.
    [ "$(od -An -tx1 -N4 "$png" 2>/dev/null | tr -d ' \n')" = 89504e47 ] || fail "no PNG: $png"
    dims=$(od -An -tu1 -j16 -N8 "$png" | awk '{ print $1*16777216+$2*65536+$3*256+$4 "x" $5*16777216+$6*65536+$7*256+$8 }')
    [ "$dims" = "${size}x${size}" ] || fail "$png is $dims"
done
for page in impix impix-logger impix-sheets; do
    zcat "$usr/share/man/man1/$page.1.gz" | grep -q "^\.TH ${page^^} 1 .*impix $version" ||
        fail "manual page $page.1.gz"
done
grep -q "usermod -aG dialout" "$usr/share/doc/impix/README.Debian" || fail "no dialout hint"
# The documents Debian wants: a machine-readable copyright file, the changelog of a native
# package, and the README that the manual page names, with its picture.
doc=$usr/share/doc/impix
head -n 1 "$doc/copyright" |
    grep -qx "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" ||
    fail "copyright is not machine-readable"
grep -q "^Files: \*$" "$doc/copyright" && grep -q "^License: " "$doc/copyright" ||
    fail "copyright names no files or license"
zcat "$doc/changelog.gz" | head -n 1 | grep -q "^impix ($version) " || fail "changelog of $version"
zcat "$doc/changelog.gz" | grep -qE "^ -- .+ <.+@.+\..+>  [A-Z][a-z]{2}, [0-9]{2} [A-Z][a-z]{2} 2[0-9]{3} " ||
    fail "changelog signature"
grep -q "^# Impix II console" "$doc/README.md" || fail "no README.md"
grep -q "docs/trend.png" "$doc/README.md" && [ -s "$doc/docs/trend.png" ] || fail "README's picture"
zcat "$usr/share/man/man1/impix.1.gz" | grep -q "/usr/share/doc/impix/README.md" ||
    fail "impix(1) does not name the installed README"
# The script language in impix(1): every command the console takes.
zcat "$usr/share/man/man1/impix.1.gz" | grep -q "^\.SH SCRIPTS" || fail "impix(1): no SCRIPTS"
for verb in click set page print grab wait answer quit; do
    zcat "$usr/share/man/man1/impix.1.gz" | sed -n '/^\.SH SCRIPTS/,/^\.SH /p' |
        grep -qE "^\.B[IR]? $verb( |$)" || fail "impix(1) does not document '$verb'"
done
desktop-file-validate "$usr/share/applications/org.impix.Console.desktop"
appstreamcli validate --no-net "$usr/share/metainfo/org.impix.Console.metainfo.xml" >/dev/null ||
    appstreamcli validate --no-net "$usr/share/metainfo/org.impix.Console.metainfo.xml" >&2 ||
    fail "metainfo does not validate"

# --help and --version of the three programs, without a display.
for exe in impix impix-logger impix-sheets; do
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$usr/bin/$exe" --version) ||
        fail "$exe --version failed"
    [ "$out" = "$exe $version" ] || fail "$exe --version printed '$out'"
    help=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$usr/bin/$exe" --help) ||
        fail "$exe --help failed"
    grep -q -- --version <<<"$help" || fail "$exe --help does not list --version"
    grep -q "exit status 2" <<<"$help" || fail "$exe --help does not tell how it refuses options"
    zcat "$usr/share/man/man1/$exe.1.gz" | grep -q "^\.SH EXIT STATUS" || fail "$exe(1): no EXIT STATUS"
done

# A user of its own: home, XDG folders, runtime folder (the spreadsheet service's socket).
home=$work/home
export HOME=$home XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data
export XDG_CACHE_HOME=$home/cache XDG_RUNTIME_DIR=$work/run
mkdir -p "$home" "$work/cwd"
mkdir -m 0700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
docs=$home/Documents
cfg=$XDG_CONFIG_HOME/impix
state() { (cd "$root" && find . -printf '%p %y %s %m %T@ %l\n' | sort); }
state >"$work/before"

"$usr/bin/impix-logger" --link "$cfg/dev/COM2" --period-ms 200 >"$work/logger.out" 2>&1 &
logger_pid=$!
for _ in $(seq 100); do [ -L "$cfg/dev/COM2" ] && break; sleep 0.1; done
[ -L "$cfg/dev/COM2" ] || fail "the emulator did not start: $(cat "$work/logger.out")"

# Settings, OK (saves the configuration); measure; save with the proposed name; fill the
# default workbook from the buffer, then again (yes to the overwrite) from the saved file.
{
    cat <<'SCRIPT'
print SrcFileEd
print ExFileNameEd
click ComSettingsBtn
print DevicePathTx
click BitBtn3
print ComStatusLx
SCRIPT
    cat "$here/../support/MeasureTwoChannels.txt"
    cat <<'SCRIPT'
print PoolItemsTx
click SaveBufAllBtn
page TabSheet4
set SourceRg 1
click ExExpBtn
print ExStatusTx
set SourceRg 0
answer yes
click ExExpBtn
print ExStatusTx
quit
SCRIPT
} >"$work/script.txt"
(cd "$work/cwd" && timeout 120 "$usr/bin/impix" --script "$work/script.txt") \
    >"$work/console.out" 2>"$work/console.err" || fail "the console failed: $(cat "$work/console.err")"
printed() { grep "^$1=" "$work/console.out" | tail -n 1 | cut -d= -f2-; }
show() { cat "$work/console.out" >&2; }

[ "$(printed SrcFileEd)" = "$docs/Data.txt" ] || { show; fail "default text file"; }
workbook=$(printed ExFileNameEd)
[ "$workbook" = "$docs/Data.xlsx" ] || { show; fail "default workbook $workbook"; }
[ "$(printed DevicePathTx | head -n 1)" = "$cfg/dev/COM2" ] || { show; fail "port dialog path"; }
[ "$(printed ComStatusLx)" = Connected ] || { show; fail "not connected"; }
items=$(printed PoolItemsTx)
[ "${items:-0}" -gt 0 ] || { show; fail "nothing measured"; }
grep -q "^dialog: Save As: $docs/Data.txt$" "$work/console.out" || { show; fail "save dialog"; }
grep -q "^\[COM\]" "$cfg/Impix2.cfg" || fail "no configuration in $cfg"
[ "$(grep -c . "$docs/Data.txt")" -gt "$items" ] || fail "saved text file"
[ "$(grep -c "^ExStatusTx=Saved $workbook: $items rows$" "$work/console.out")" = 2 ] ||
    { show; fail "export"; }
[ "$(head -c 2 "$workbook")" = PK ] || fail "no workbook at $workbook"
[ "$(stat -c %s "$XDG_DATA_HOME/impix/BinConv.dat")" = $((40 * items)) ] || fail "BinConv.dat"
[ -s "$XDG_DATA_HOME/impix/archive.sqlite" ] || fail "no measurement archive in $XDG_DATA_HOME/impix"

# Nothing written under the installation, nor in the working folder.
state >"$work/after"
diff "$work/before" "$work/after" >&2 || fail "the installation changed"
[ -z "$(ls -A "$work/cwd")" ] || fail "files in the working folder: $(ls -A "$work/cwd")"
echo "install-test: $items items measured, saved and exported from $usr"
