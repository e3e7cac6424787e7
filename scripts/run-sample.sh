#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Morv and opens the window with the bundled sample height map as the
# current image path (File > Open starts from it).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
exec build/src/app/morv build/samples/Hills.bmp
