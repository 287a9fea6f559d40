#!/usr/bin/env bash
# Runs a Windows test program at a given screen scale, in one Wine prefix kept for that
# purpose beside the build's own: the scale is the prefix's LogPixels, and a shared prefix
# would change it under every other test, so ctest runs these one at a time (RESOURCE_LOCK).
#   at-dpi.sh <dpi> <build dir> <program.exe> [args...]
set -euo pipefail
dpi=$1 build=$(cd "$2" && pwd) program=$3
shift 3
root=$(cd "$(dirname "$0")/../.." && pwd)
export QUILLMERE_WINEPREFIX=$build/wineprefix-dpi QUILLMERE_EXPECT_DPI=$dpi
run=$root/cmake/wine-run
"$root/scripts/wine-prefix" "$build" >/dev/null
"$run" --build "$build" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
# The new scale holds from the next wineserver on.
"$run" --build "$build" --server -w || true
# A screen of the size such a scale comes with (the windows at 200 % outgrow 1280 x 1024), on
# a display of its own.
screen="$((1280 * dpi / 96))x$((1024 * dpi / 96))x24"
# The prefix's wineserver ends before its display does.
exec xvfb-run -a -s "-screen 0 $screen" bash -c \
  'status=0; "$0" --build "$1" "${@:2}" || status=$?; "$0" --build "$1" --server -w; exit $status' \
  "$run" "$build" "$program" "$@"
