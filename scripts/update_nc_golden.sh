#!/usr/bin/env bash
# Stores the NC programs the current tarnak-cli writes as the new golden
# programs of tests/golden/nc. Run it only when a change of the NC output
# is meant, and say in the commit message why the programs changed.
#
#   scripts/update_nc_golden.sh [BUILD_DIR]   (default: build)
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
exec bash "$here/tests/golden/nc_golden.sh" "$build/src/cli/tarnak-cli" "$here" update
