# Shared by the scripts that run the console against the logger emulator in a folder of their
# own (soak.sh and the picture scripts); sourced, with $root set to the repository.

# Builds the console and the emulator when needed, sets the locale (en_GB where the machine has
# it, so the console and the emulator format numbers and dates alike) and the offscreen display,
# and enters a new folder /tmp/impix-NAME.XXXXXX holding a copy of the console, whose measurement
# archive stays in that folder ($XDG_DATA_HOME). Sets $build and $work.
emulator_sandbox() {
    build=$root/build
    [ -f "$build/build.ninja" ] || cmake -S "$root" -B "$build" -G Ninja -DIMPIX_BENCH=OFF >/dev/null
    cmake --build "$build" --target impix impix-logger >/dev/null
    if locale -a 2>/dev/null | grep -qix 'en_GB.utf-\?8'; then
        export LC_ALL=en_GB.UTF-8
    else
        export LC_ALL=C.UTF-8
    fi
    export QT_QPA_PLATFORM=offscreen
    work=$(mktemp -d "/tmp/impix-$1.XXXXXX")
    cp "$build/impix" "$work/impix"
    cd "$work"
    export XDG_DATA_HOME=$work/data
}

# Waits up to 10 seconds for the emulator's link dev/COM2 in the current folder.
wait_for_emulator_link() {
    for _ in $(seq 100); do
        [ -L dev/COM2 ] && return 0
        sleep 0.1
    done
    return 1
}

# For the picture scripts: starts the emulator on dev/COM2 with the given options (its output in
# logger.out), ends it and removes the sandbox on exit, and fails with NAME when it does not start.
# Usage: start_sandbox_emulator NAME [OPTION...]
start_sandbox_emulator() {
    local name=$1
    shift
    logger_pid=
    trap '[ -n "$logger_pid" ] && kill "$logger_pid" 2>/dev/null; rm -rf "$work"' EXIT
    "$build/impix-logger" --link dev/COM2 "$@" >logger.out 2>&1 &
    logger_pid=$!
    wait_for_emulator_link || {
        echo "$name: the emulator did not start" >&2
        cat logger.out >&2
        exit 1
    }
}
