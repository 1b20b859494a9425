#!/usr/bin/env bash
# Sets everything up, builds, and starts Melodiane in the current directory
# (its settings file and default playlist live there).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$root/build/release" -DMELODIANE_TESTS=OFF -DMELODIANE_BENCH=OFF
exec "$root/build/release/melodiane"
