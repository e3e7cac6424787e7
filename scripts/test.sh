#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Morv and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j2
