#!/usr/bin/env bash
# Builds and runs every test executable under Wine in one Xvfb display and one wineserver,
# both ended afterwards. Extra arguments go to ctest (for example -R http).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${QUOVANTA_BUILD:-$here/build}
# On a machine that runs no 32-bit code (or with QUOVANTA_EMULATE=1) the build is made here and the
# tests run inside the emulator's guest (scripts/emulation.sh), where this script runs again.
jobs=${QUOVANTA_TEST_JOBS:-4}
if [ -z "${QUOVANTA_IN_GUEST:-}" ]; then
    . "$here/scripts/emulation.sh"
    emulated=0
    report_way tests && emulated=1
    QUOVANTA_BUILD=$build bash "$here/scripts/build.sh"
    if [ $emulated = 1 ]; then
        export QUOVANTA_BUILD=$build
        status=0
        guest_run bash "$here/scripts/check.sh" "$@" || status=$?
        exit $status
    fi
else
    # the guest has the machine's cores to itself: one test executable on each
    jobs=${QUOVANTA_TEST_JOBS:-$(nproc)}
fi
. "$here/scripts/wine-env.sh"
trap 'wine_session_stop' EXIT
wine_session_start
ctest --test-dir "$build" --output-on-failure -j"$jobs" "$@"
