#!/usr/bin/env bash
# The main job: set-up, build, then the local replica of the outside services and Quovanta on it,
# under Wine. With $DISPLAY set Quovanta opens there; without one it opens in an Xvfb display of its
# own (take a screenshot with `import -window root`). The replica's log goes to build/replica.log;
# the replica stops when Quovanta ends. QUOVANTA_REPLICA_PORT picks the replica's port (else the first
# free one from 18173); QUOVANTA_SKIP_SETUP=1 leaves out the set-up step on a machine that has had it.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${QUOVANTA_BUILD:-$here/build}
if [ -z "${QUOVANTA_SKIP_SETUP:-}" ]; then
    bash "$here/scripts/setup.sh"
fi
QUOVANTA_BUILD=$build bash "$here/scripts/build.sh"
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

# The replica prints "replica: listening on 127.0.0.1:PORT" first, then one line per request.
log=$build/replica.log
: >"$log"
wine "$build/replica/quovanta_replica.exe" ${QUOVANTA_REPLICA_PORT:-} >>"$log" 2>&1 &
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

echo "run: Quovanta on display $DISPLAY"
status=0
wine "$build/client/Quovanta.exe" || status=$?
stop_replica
exit $status
