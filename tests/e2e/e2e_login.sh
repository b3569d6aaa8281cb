#!/usr/bin/env bash
# The real program under a virtual X server: log in with the factory password, see the main window, close it,
# and find the database and the day's backup, both opening with the database password.
# usage: e2e_login.sh <quorvela binary>
set -uo pipefail
binary=$1
here=$(cd "$(dirname "$0")" && pwd)
if ! command -v xvfb-run >/dev/null || ! command -v xdotool >/dev/null; then
    echo "SKIP: xvfb-run or xdotool is not installed"; exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QUORVELA_DRIVE_C="$work"
unset QUORVELA_DRIVE_D
unset QT_QPA_PLATFORM

cat > "$work/inner.sh" <<INNER
set -u
"$binary" & pid=\$!
login=\$(timeout 30 xdotool search --sync --onlyvisible --name '^登录\$' | head -1)
[ -n "\$login" ] || { echo "FAIL: no login window"; kill \$pid; exit 1; }
xdotool windowfocus --sync "\$login" 2>/dev/null || xdotool windowfocus "\$login"
sleep 0.5
xdotool type --delay 50 947
xdotool key Return
main=\$(timeout 30 xdotool search --sync --onlyvisible --name '^Quorvela V2.0\$' | head -1)
[ -n "\$main" ] || { echo "FAIL: the main window did not appear"; kill \$pid; exit 1; }
echo "main window shown: \$(xdotool getwindowname "\$main")"
/usr/bin/python3 "$here/wm_close.py" "\$main"
for i in \$(seq 1 100); do kill -0 \$pid 2>/dev/null || break; sleep 0.2; done
if kill -0 \$pid 2>/dev/null; then echo "FAIL: the program did not end after closing"; kill \$pid; exit 1; fi
wait \$pid; echo "exit code \$?"
INNER
xvfb-run -a -s "-screen 0 1400x900x24" bash "$work/inner.sh" || exit 1

db="$work/Quorvela数据库/数据库.dat"
backup="$work/Quorvela数据库备份/$(date +%-d)日/数据库.dat"
for f in "$db" "$backup"; do
    [ -f "$f" ] || { echo "FAIL: missing $f"; exit 1; }
    n=$(printf "PRAGMA key = 'kq7315';\nselect count(*) from [设置];\n" | sqlcipher "$f" 2>&1 | tail -1)
    [ "$n" = "1" ] || { echo "FAIL: $f does not open with the key ($n)"; exit 1; }
done
# A clean exit leaves the database as one file: the write-ahead log is folded back in.
left=$(ls -A "$work/Quorvela数据库")
[ "$left" = "数据库.dat" ] || { echo "FAIL: the data folder holds more than the database: $left"; exit 1; }
echo "PASS: database and backup open with the key"
