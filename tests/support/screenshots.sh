#!/bin/sh
# Pictures of the settings dialog and the details window in both languages, on a real X server.
# Usage: tests/support/screenshots.sh [build dir]   (writes docs/settings-{pt,en}.png and docs/details-{pt,en}.png)
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-"$root/build"}
out=${TM_SCREENSHOT_DIR:-"$root/docs"}
mkdir -p "$out"
for test in settings/tst_uSettings details/tst_uDetails; do
    TM_SCREENSHOT_DIR="$out" QT_QPA_PLATFORM=xcb \
        xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" "$build/tests/$test" screenshots
done
