#!/usr/bin/env bash
# The test command: set-up of the machine, then build and every test under Wine.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/scripts/setup.sh"
exec bash "$here/scripts/check.sh" "$@"
