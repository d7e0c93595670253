#!/usr/bin/env bash
# The main job: set-up, build, then the local replica of the outside services and Quovanta on it,
# under Wine. With $DISPLAY set Quovanta opens there; without one it opens in an Xvfb display of its
# own (take a screenshot with `import -window root`). The replica's log goes to build/replica.log.
# QUOVANTA_REPLICA_PORT picks the replica's port (else the first free one from 18173);
# QUOVANTA_SKIP_SETUP=1 leaves out the set-up step on a machine that has had it.
#
# A whole update can be watched: Quovanta (version 2.034) runs from a copy in build/demo/, put there
# afresh at every run. The replica stands in for the maker's server as well: its version page names
# 2.035, and the new program it serves is Quovanta built as version 2.035 (the build target
# quovanta_demo_release). About two seconds after start-up Quovanta asks; on OK it writes its updater
# into build/demo/ and starts it, and the updater ends the running copy, downloads the new release,
# puts it in place and starts it. The new release finds its own version on the server, so it asks
# nothing more. The replica runs until the last of the programs in build/demo/ has ended.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${QUOVANTA_BUILD:-$here/build}
if [ -z "${QUOVANTA_SKIP_SETUP:-}" ]; then
    bash "$here/scripts/setup.sh"
fi
# On a machine that runs no 32-bit code (or with QUOVANTA_EMULATE=1) the build is made here and the rest
# runs inside the emulator's guest (scripts/emulation.sh), where this script runs again, on this
# machine's display: $DISPLAY's, or an Xvfb display started here.
if [ -z "${QUOVANTA_IN_GUEST:-}" ]; then
    . "$here/scripts/emulation.sh"
    emulated=0
    report_way run && emulated=1
    QUOVANTA_BUILD=$build bash "$here/scripts/build.sh"
    cmake --build "$build" --target quovanta_demo_release >/dev/null
    if [ $emulated = 1 ]; then
        . "$here/scripts/wine-env.sh"
        if [[ ${DISPLAY:-} =~ ^(unix)?:([0-9]+)(\.[0-9]+)?$ ]]; then
            guest_display=${BASH_REMATCH[2]}
        else
            trap 'display_stop' EXIT
            display_start
            echo "run: Quovanta opens on this machine's display $DISPLAY (take a screenshot with import -window root)"
            guest_display=${DISPLAY#:}
        fi
        export QUOVANTA_BUILD=$build QUOVANTA_SKIP_SETUP=1
        status=0
        guest_run bash "$here/scripts/run.sh" || status=$?
        exit $status
    fi
fi
release=$build/client/demo-release/Quovanta.exe
demo=$build/demo
mkdir -p "$demo"
cp "$build/client/Quovanta.exe" "$demo/Quovanta.exe"
. "$here/scripts/wine-env.sh"
[ -n "${DISPLAY:-}" ] && export QUOVANTA_KEEP_DISPLAY=1

replica_pid=
stop_replica() {
    if [ -n "$replica_pid" ]; then
        kill "$replica_pid" 2>/dev/null || true
        wait "$replica_pid" 2>/dev/null || true
        replica_pid=
    fi
}
trap 'stop_replica; wine_session_stop' EXIT
wine_session_start

# A Linux path as the programs under Wine see it ("Z:\work\...").
windows_path() { wine winepath -w "$1" 2>/dev/null | tr -d '\r'; }

# The replica prints "replica: listening on 127.0.0.1:PORT" first, then one line per request.
log=$build/replica.log
: >"$log"
wine "$build/replica/quovanta_replica.exe" ${QUOVANTA_REPLICA_PORT:-} --release "$(windows_path "$release")" >>"$log" 2>&1 &
replica_pid=$!
address=
for _ in $(seq 1 300); do
    address=$(sed -n 's/^replica: listening on \([0-9.]*:[0-9]*\).*/\1/p' "$log" | head -n 1)
    [ -n "$address" ] && break
    kill -0 "$replica_pid" 2>/dev/null || break
    sleep 0.1
done
if [ -z "$address" ]; then
    echo "run: the replica did not start:" >&2
    cat "$log" >&2
    exit 1
fi
echo "run: replica on $address (log: $log)"

for name in AJAX TRADING DEALLIST LISTING RANKING NEWGAME GIFT MAKER; do
    export "QUOVANTA_${name}_HOST=$address"
done
export QUOVANTA_CONNECTIVITY_URL="http://$address/connectivity.html"

# Whether a program started from build/demo/ still runs in this Wine prefix: the updater and the
# Quovanta it starts are not children of this script. Wine shows a program's Windows path as the first
# word of its process's command line.
demo_windows=$(windows_path "$demo")
demo_program_running() {
    local cmdline first
    shopt -s nocasematch
    for cmdline in /proc/[0-9]*/cmdline; do
        first=
        IFS= read -r -d '' first 2>/dev/null <"$cmdline" || true
        [[ $first == "$demo_windows\\"* ]] || continue
        if grep -qzxF "WINEPREFIX=$WINEPREFIX" "${cmdline%/cmdline}/environ" 2>/dev/null; then
            shopt -u nocasematch
            return 0
        fi
    done
    shopt -u nocasematch
    return 1
}

echo "run: Quovanta from $demo on display $DISPLAY"
status=0
wine "$demo/Quovanta.exe" || status=$?
# After an update the new release runs on, started by the updater.
while demo_program_running; do
    sleep 1
done
stop_replica
exit $status
