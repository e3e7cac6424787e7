#!/usr/bin/env bash
# Builds Morv and runs the main job on the bundled sample height map.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
build/src/app/morv-cli info build/samples/Hills.bmp
build/src/app/morv-cli redraw build/samples/Hills.bmp --flatten 50 --fill 50 --scale-up --force
