#!/usr/bin/env bash
# The real program under a virtual X server refusing what it must refuse:
# - a wrong password (an SQL fragment) gets the message and never the main window; cancelling the login ends it;
# - a damaged 数据库.dat gets a message at start-up, the program ends, and the file is left exactly as it was.
# usage: e2e_refusals.sh <quorvela binary>
set -uo pipefail
binary=$1
if ! command -v xvfb-run >/dev/null || ! command -v xdotool >/dev/null; then
    echo "SKIP: xvfb-run or xdotool is not installed"; exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset QUORVELA_DRIVE_D
unset QT_QPA_PLATFORM

# Waits for a shown window with exactly this title and prints its id (empty after the timeout).
cat > "$work/common.sh" <<'COMMON'
window() { timeout "$2" xdotool search --sync --onlyvisible --name "^$1\$" 2>/dev/null | head -1; }
shown() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1; }
ends_within() { for i in $(seq 1 $(($2 * 5))); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.2; done; return 1; }
COMMON

# A wrong password, typed as an SQL fragment.
mkdir "$work/login"
cat > "$work/login.sh" <<INNER
set -u
. "$work/common.sh"
QUORVELA_DRIVE_C="$work/login" "$binary" & pid=\$!
login=\$(window '登录' 30)
[ -n "\$login" ] || { echo "FAIL: no login window"; kill \$pid; exit 1; }
xdotool windowfocus --sync "\$login" 2>/dev/null || xdotool windowfocus "\$login"
sleep 0.5
xdotool type --delay 50 "' or '1'='1"
xdotool key Return
box=\$(window '提示' 10)
[ -n "\$box" ] || { echo "FAIL: no message for a wrong password"; kill \$pid; exit 1; }
sleep 1
[ -z "\$(shown 'Quorvela V2.0')" ] || { echo "FAIL: the main window opened without the password"; kill \$pid; exit 1; }
xdotool windowfocus --sync "\$box" 2>/dev/null; xdotool key Return
sleep 0.5
[ -n "\$(shown '登录')" ] || { echo "FAIL: the login window went away"; kill \$pid; exit 1; }
xdotool windowfocus --sync "\$login" 2>/dev/null; xdotool key Escape
ends_within \$pid 20 || { echo "FAIL: cancelling the login did not end the program"; kill \$pid; exit 1; }
[ -z "\$(shown 'Quorvela V2.0')" ] || { echo "FAIL: the main window showed"; exit 1; }
echo "wrong password refused"
INNER

# A damaged database file.
mkdir -p "$work/damaged/Quorvela数据库"
head -c 20000 /dev/urandom > "$work/damaged/Quorvela数据库/数据库.dat"
cp "$work/damaged/Quorvela数据库/数据库.dat" "$work/damaged.copy"
cat > "$work/damaged.sh" <<INNER
set -u
. "$work/common.sh"
QUORVELA_DRIVE_C="$work/damaged" "$binary" & pid=\$!
box=\$(window '提示' 30)
[ -n "\$box" ] || { echo "FAIL: no message for a damaged database"; kill \$pid; exit 1; }
[ -z "\$(shown '登录')" ] || { echo "FAIL: the login window showed over a damaged database"; kill \$pid; exit 1; }
xdotool windowfocus --sync "\$box" 2>/dev/null; xdotool key Return
ends_within \$pid 20 || { echo "FAIL: the program did not end"; kill \$pid; exit 1; }
wait \$pid; code=\$?
[ \$code -ne 0 ] || { echo "FAIL: the program ended with success over a damaged database"; exit 1; }
echo "damaged database reported (exit code \$code)"
INNER

xvfb-run -a -s "-screen 0 1400x900x24" bash "$work/login.sh" || exit 1
[ ! -d "$work/login/Quorvela数据库备份" ] || { echo "FAIL: a cancelled login made a backup"; exit 1; }
xvfb-run -a -s "-screen 0 1400x900x24" bash "$work/damaged.sh" || exit 1
cmp -s "$work/damaged/Quorvela数据库/数据库.dat" "$work/damaged.copy" || { echo "FAIL: the damaged file was changed"; exit 1; }
[ "$(ls "$work/damaged/Quorvela数据库")" = "数据库.dat" ] || { echo "FAIL: files were added beside the damaged one"; exit 1; }
echo "PASS: wrong password and damaged database refused"
