#!/usr/bin/env bash
# Runs one Windows program under Wine: wine-run.sh BUILD-FOLDER PROGRAM [ARGS...]
# CMake uses it as the emulator of every test and benchmark. Inside a session started by
# scripts/test.sh it reuses that session's display and wineserver; alone it makes its own and ends them.
# Under emulation (scripts/emulation.sh) it runs the program inside the emulator's guest, and refuses
# benchmarks.
set -u
build=$1; shift
here=$(cd "$(dirname "$0")/.." && pwd)
# A benchmark quotes ratios against limits measured in the same run; under emulation they would measure
# the emulator.
refuse_benchmark() {
    case "$(basename "${1:-}")" in
        bench_*.exe)
            echo "wine-run: benchmarks do not run under emulation ($2): their ratios would mean nothing" >&2
            exit 1 ;;
    esac
}
if [ -n "${QUOVANTA_IN_GUEST:-}" ]; then
    refuse_benchmark "${1:-}" "inside the emulator's guest"
elif [ -z "${QUOVANTA_WINE_SESSION:-}" ]; then
    . "$here/scripts/emulation.sh"
    if emulation_wanted; then
        refuse_benchmark "${1:-}" "$emulation_reason"
        guest_run bash "$here/scripts/wine-run.sh" "$build" "$@"
        exit $?
    fi
fi
. "$(dirname "$0")/wine-env.sh"
# Wine may start helper processes (services, the desktop) on behalf of the program; they outlive it
# in a persistent wineserver and would keep the caller's output open, so that ctest waited for them.
# The program's output goes through a file instead and is passed on once the program has ended.
run_program() {
    local out; out=$(mktemp)
    wine "$@" >"$out" 2>&1 </dev/null
    local rc=$?
    cat "$out"; rm -f "$out"
    return $rc
}
if [ -n "${QUOVANTA_WINE_SESSION:-}" ]; then
    run_program "$@"
    exit $?
fi
trap 'wine_session_stop' EXIT
wine_session_start
run_program "$@"
rc=$?
exit $rc
