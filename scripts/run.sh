#!/usr/bin/env bash
# The main job: set-up, build, then Quovanta under Wine. With $DISPLAY set it opens there; without one it
# opens in an Xvfb display of its own (take a screenshot with `import -window root`).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${QUOVANTA_BUILD:-$here/build}
bash "$here/scripts/setup.sh"
QUOVANTA_BUILD=$build bash "$here/scripts/build.sh"
. "$here/scripts/wine-env.sh"
[ -n "${DISPLAY:-}" ] && export QUOVANTA_KEEP_DISPLAY=1
trap 'wine_session_stop' EXIT
wine_session_start
echo "run: Quovanta on display $DISPLAY"
wine "$build/client/Quovanta.exe"
