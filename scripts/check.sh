#!/usr/bin/env bash
# Builds and runs every test executable under Wine in one Xvfb display and one wineserver,
# both ended afterwards. Extra arguments go to ctest (for example -R http).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${QUOVANTA_BUILD:-$here/build}
QUOVANTA_BUILD=$build bash "$here/scripts/build.sh"
. "$here/scripts/wine-env.sh"
trap 'wine_session_stop' EXIT
wine_session_start
ctest --test-dir "$build" --output-on-failure -j"${QUOVANTA_TEST_JOBS:-4}" "$@"
