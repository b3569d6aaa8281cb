#!/usr/bin/env bash
# Two copies of the real program on one throw-away server, each with folders of its own, under a virtual X
# server with a window manager: a prescription saved at one desk is listed and loaded at the other, and
# changed there; a save while the server is down is refused and stays on screen, and the same save after the
# server is back stores it once. What each desk did is read back from the server.
# usage: e2e_two_desks.sh <quorvela binary>
set -uo pipefail
binary=$1
here=$(cd "$(dirname "$0")" && pwd)
pgserver="$here/../support/pgserver.sh"
for tool in xvfb-run xdotool openbox; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

if [ -z "${E2E_INSIDE_X:-}" ]; then
    work=$(mktemp -d)
    chmod 755 "$work"
    trap '"$pgserver" stop "$work/server.state"; rm -rf "$work"' EXIT
    "$pgserver" start "$work/server.state" || { echo "FAIL: the server did not start"; exit 1; }
    E2E_INSIDE_X=1 E2E_WORK="$work" xvfb-run -a -s "-screen 0 1366x768x24" bash "$0" "$binary"
    exit $?
fi

work=$E2E_WORK
state="$work/server.state"
socket=$(cat "$state")
unset QT_QPA_PLATFORM QUORVELA_DRIVE_D
sql() { psql -h "$socket" -U postgres -d "${2:-practice}" -At -c "$1" 2>/dev/null; }
fail() {
    echo "FAIL: $*"
    local shot=${TMPDIR:-/tmp}/e2e_two_desks.png
    import -window root "$shot" 2>/dev/null && echo "(the screen is kept as $shot)"
    exit 1
}
# Polls the server until the query gives the expected text: the program's work is seen where it is stored.
stored() { # query expected what
    for _ in $(seq 1 100); do
        [ "$(sql "$1")" = "$2" ] && return 0
        sleep 0.2
    done
    fail "$3 (the server holds \"$(sql "$1")\")"
}
sql 'create database practice' postgres >/dev/null || fail "no database could be made on the server"
# The server writes every statement to its log: a desk has opened when its archive list was read.
sql "alter system set log_statement = 'all'" postgres >/dev/null || fail "the server's log could not be set"
sql 'select pg_reload_conf()' postgres >/dev/null || fail "the server did not read its settings again"
archive_reads() { grep -c 'order by "序号" desc' "$socket/server.log"; }
export QUORVELA_SERVER="host=$socket dbname=practice user=postgres"

openbox --sm-disable >/dev/null 2>&1 &
sleep 1
# The window of the program with this pid and title, waited for up to a minute. A window that goes while
# xdotool looks through the tree makes it fail: it is asked again.
window_of() { # pid title
    for _ in $(seq 1 300); do
        local found
        found=$(xdotool search --all --onlyvisible --pid "$1" --name "$2" 2>/dev/null | head -1)
        [ -n "$found" ] && { echo "$found"; return 0; }
        sleep 0.2
    done
    return 1
}
pids=()
trap 'kill "${pids[@]}" 2>/dev/null' EXIT
# A desk of the practice: a computer of its own (home and drive folders), logged in, its desk on screen.
start_desk() { # name
    mkdir -p "$work/$1/home" "$work/$1/c"
    local reads
    reads=$(archive_reads)
    HOME="$work/$1/home" QUORVELA_DRIVE_C="$work/$1/c" "$binary" >"$work/$1.log" 2>&1 &
    pids+=($!)
    local pid=$!
    local login
    login=$(window_of "$pid" '^登录$') || fail "desk $1 shows no login window"
    xdotool windowactivate --sync "$login"
    sleep 0.5
    xdotool type --delay 50 947
    xdotool key Return
    window_of "$pid" '^Quorvela V2.0( — |$)' >/dev/null || fail "desk $1 shows no main window"
    for _ in $(seq 1 300); do
        [ "$(archive_reads)" -gt "$reads" ] && break
        sleep 0.2
    done
    [ "$(archive_reads)" -gt "$reads" ] || fail "desk $1 did not open its desk"
    sleep 1 # and has drawn it
}
to_front() { # pid
    xdotool windowactivate --sync "$(window_of "$1" '^Quorvela V2.0( — |$)')"
    sleep 0.7
}
# Where the desk's controls are once the window manager has maximised the main window on this screen.
click() { xdotool mousemove --sync "$1" "$2" click 1; sleep 0.4; }
owner_field() { click 760 236; }
species_field() { click 615 264; }
today_button() { click 397 479; }
archive_line() { click 250 $((531 + 12 * $1)); } # 0: the newest

start_desk a
a=${pids[0]}
owner_field
xdotool type --delay 30 ZHANG
xdotool key ctrl+s
stored "select count(*) from \"档案\" where \"0\" = 'ZHANG'" 1 "desk a's save is not on the server"
xdotool key ctrl+n

start_desk b
b=${pids[1]}

# The server goes away while desk a saves: refused, said so, kept on screen.
"$pgserver" halt "$state" || fail "the server did not stop"
to_front "$a"
owner_field
xdotool type --delay 30 LI
xdotool key ctrl+s
window_of "$a" '^提示$' >/dev/null || fail "desk a said nothing about the refused save"
xdotool key Return
"$pgserver" resume "$state" || fail "the server did not start again"
stored "select 1" 1 "the server does not answer after its restart"
sleep 0.5
to_front "$a"
xdotool key ctrl+s
stored "select count(*) from \"档案\" where \"0\" = 'LI'" 1 "desk a's save after the restart is not stored once"

# Desk b lists today's prescriptions of both desks, loads desk a's first one and changes it.
to_front "$b"
today_button
archive_line 1
species_field
xdotool type --delay 30 DOG
xdotool key ctrl+s
stored "select \"2\" from \"档案\" where \"0\" = 'ZHANG'" DOG "desk b did not change desk a's prescription"
stored "select count(*) from \"档案\" where \"0\" in ('ZHANG', 'LI')" 2 "a prescription was stored twice"
for pid in "$a" "$b"; do
    kill -0 "$pid" 2>/dev/null || fail "a desk ended by itself"
done
echo "PASS: two desks on one server, a save across its restart, each desk's work stored once"
