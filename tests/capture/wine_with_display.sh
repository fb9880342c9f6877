#!/usr/bin/env bash
# Runs a Windows test program under Wine on the display that xvfb-run gave: wine_with_display.sh
# <prefix dir> <program.exe> [args...].
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
CLACKERY_WINE_DISPLAY=$DISPLAY exec "$here/../../scripts/wine-run.sh" "$@"
