#!/usr/bin/env bash
# Runs the window-manager test under a virtual X server with openbox: once at the scale of 100 %, and the
# geometry part once more at 125 % on the same 1366 x 768 screen.
# usage: under_window_manager.sh <test binary>
set -uo pipefail
binary=$1
for tool in xvfb-run xdotool openbox; do
    if ! command -v "$tool" >/dev/null; then
        # setup.sh installs them: on CI a missing one is a failure, elsewhere the test is skipped.
        [ -n "${CI:-}" ] && { echo "FAIL: $tool is not installed"; exit 1; }
        echo "SKIP: $tool is not installed"; exit 77
    fi
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset QT_QPA_PLATFORM QT_SCALE_FACTOR QT_FONT_DPI

# openbox runs the tests once it manages the screen, then is told to leave, which ends the X server.
cat > "$work/tests.sh" <<INNER
export QT_QPA_PLATFORM=xcb
"$binary" everyWindowTakesTheKeyboardWhenOpenedAgain mainWindowRestoresInsideTheScreen > "$work/normal.log" 2>&1
echo \$? > "$work/normal.rc"
QT_SCALE_FACTOR=1.25 "$binary" mainWindowRestoresInsideTheScreen > "$work/scaled.log" 2>&1
echo \$? > "$work/scaled.rc"
openbox --exit
INNER
timeout 240 xvfb-run -a -s "-screen 0 1366x768x24" openbox --sm-disable --startup "bash $work/tests.sh" \
    > "$work/openbox.log" 2>&1
status=0
for run in normal scaled; do
    echo "== $run"
    cat "$work/$run.log" 2>/dev/null
    [ "$(cat "$work/$run.rc" 2>/dev/null)" = "0" ] || status=1
done
[ $status -eq 0 ] || { echo "== openbox"; cat "$work/openbox.log"; }
exit $status
