#!/usr/bin/env bash
# Runs one Windows program under Wine: wine-run.sh BUILD-FOLDER PROGRAM [ARGS...]
# CMake uses it as the emulator of every test and benchmark. Inside a session started by
# scripts/test.sh it reuses that session's display and wineserver; alone it makes its own and ends them.
set -u
build=$1; shift
. "$(dirname "$0")/wine-env.sh"
if [ -n "${QUOVANTA_WINE_SESSION:-}" ]; then
    exec wine "$@"
fi
trap 'wine_session_stop' EXIT
wine_session_start
wine "$@"
rc=$?
exit $rc
