#!/usr/bin/env bash
# A throw-away print service for the tests: a CUPS scheduler with its own configuration, spool, cache and logs
# in a temporary folder, listening on a Unix socket in that folder only (no network), with one virtual PDF
# printer that writes every job as a PDF file into <folder>/pdf. Programs reach it with CUPS_SERVER=<folder>/cups.sock.
#   cupsserver.sh start <state file> [owner pid]   the folder's path goes into <state file>; with an owner pid
#                                                  the scheduler is stopped at the latest when that process ends
#   cupsserver.sh stop <state file>                stops the scheduler and removes the folder
#   cupsserver.sh halt <state file>                stops the scheduler, keeps folder and queue (a service that is down)
#   cupsserver.sh resume <state file>              starts it again on the same folder
#
# The PDF printer's backend (cups-pdf) reads its settings from /etc/cups/cups-pdf.conf only, and must run as root
# (its file is root's alone), so the scheduler runs as root. It runs in a mount namespace of its own in which our
# settings file is mounted over that path: the machine's file is never touched, and the mount goes away with the
# scheduler.
set -euo pipefail
action=${1:?start, stop, halt or resume}
state=${2:?state file}
queue=QvPDF
cupsd=/usr/sbin/cupsd
pdfconf=/etc/cups/cups-pdf.conf

if [ ! -x "$cupsd" ] || [ ! -x /usr/lib/cups/backend/cups-pdf ] || [ ! -f "$pdfconf" ]; then
    echo "cupsserver: CUPS or its PDF printer is not installed (./setup.sh --test installs them)" >&2
    exit 1
fi
if [ "$(id -u)" -ne 0 ]; then
    echo "cupsserver: the PDF printer's backend runs only as root" >&2
    exit 1
fi

write_config() {
    mkdir -p "$dir"/{etc/ppd,etc/ssl,spool/tmp,cache,state,log,pdf,pdf-spool}
    cat >"$dir/cups-files.conf" <<EOF
ServerRoot $dir/etc
RequestRoot $dir/spool
TempDir $dir/spool/tmp
CacheDir $dir/cache
StateDir $dir/state
AccessLog $dir/log/access_log
ErrorLog $dir/log/error_log
PageLog $dir/log/page_log
Printcap $dir/state/printcap
User lp
Group lp
SystemGroup root
FileDevice No
EOF
    # No authentication, no browsing, no web interface: only the socket, and nobody else on it.
    cat >"$dir/cupsd.conf" <<EOF
LogLevel info
Listen $dir/cups.sock
Browsing No
BrowseLocalProtocols none
WebInterface No
DefaultAuthType None
JobRetryInterval 1
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  JobPrivateAccess all
  JobPrivateValues none
  SubscriptionPrivateAccess all
  SubscriptionPrivateValues none
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
EOF
    # Label 1: file names begin with "job_<id>-", so a test finds the file of its job. TitlePref 1: the title is
    # the job's name.
    cat >"$dir/cups-pdf.conf" <<EOF
Out $dir/pdf
AnonDirName $dir/pdf
Spool $dir/pdf-spool
Log $dir/log
LogType 3
Label 1
TitlePref 1
Grp root
EOF
    # The scheduler runs the filters as lp: they read the spool through these folders.
    chmod 755 "$dir"
}

start_scheduler() {
    : >"$dir/log/cupsd.out"
    # setsid: the scheduler outlives this script without holding the caller's terminal or pipes.
    setsid unshare --mount --propagation private -- \
        sh -c 'mount --bind "$1" "$2" && exec "$3" -f -c "$4" -s "$5"' sh \
        "$dir/cups-pdf.conf" "$pdfconf" "$cupsd" "$dir/cupsd.conf" "$dir/cups-files.conf" \
        </dev/null >>"$dir/log/cupsd.out" 2>&1 &
    echo $! >"$dir/cupsd.pid"
    for _ in $(seq 100); do
        if [ -S "$dir/cups.sock" ] && lpstat -h "$dir/cups.sock" -r >/dev/null 2>&1; then
            return 0
        fi
        kill -0 "$(cat "$dir/cupsd.pid")" 2>/dev/null || break
        sleep 0.1
    done
    echo "cupsserver: the scheduler did not start" >&2
    cat "$dir/log/cupsd.out" "$dir/log/error_log" >&2 2>/dev/null || true
    stop_scheduler
    exit 1
}

stop_scheduler() {
    [ -f "$dir/cupsd.pid" ] || return 0
    local pid
    pid=$(cat "$dir/cupsd.pid")
    rm -f "$dir/cupsd.pid"
    kill -TERM "$pid" 2>/dev/null || return 0
    for _ in $(seq 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null || true
    rm -f "$dir/cups.sock"
}

# Stops the scheduler and removes the folder once the owner process is gone, so a test that crashes leaves
# nothing behind.
watch_owner() {
    local owner=$1
    (
        while kill -0 "$owner" 2>/dev/null && [ -d "$dir" ]; do sleep 1; done
        if [ -d "$dir" ]; then remove; fi
    ) </dev/null >/dev/null 2>&1 &
}

remove() {
    [ -f "$state" ] || return 0
    dir=$(cat "$state")
    if [ -d "$dir" ]; then stop_scheduler; fi
    rm -rf "$dir" "$state"
}

case "$action" in
start)
    remove
    mkdir -p "$(dirname "$state")"
    dir=$(mktemp -d /tmp/qv-cups.XXXXXX)
    write_config
    start_scheduler
    sock="$dir/cups.sock"
    # lpadmin warns that printer drivers are deprecated: keep that out of the test's output.
    if ! { lpadmin -h "$sock" -p "$queue" -E -v cups-pdf:/ -P /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd \
        -o printer-is-shared=false && lpadmin -h "$sock" -d "$queue"; } 2>"$dir/log/lpadmin.out"; then
        cat "$dir/log/lpadmin.out" >&2
        stop_scheduler
        rm -rf "$dir"
        exit 1
    fi
    echo "$dir" >"$state"
    if [ -n "${3:-}" ]; then watch_owner "$3"; fi
    ;;
stop) remove ;;
halt)
    dir=$(cat "$state")
    stop_scheduler
    ;;
resume)
    dir=$(cat "$state")
    start_scheduler
    if [ -n "${3:-}" ]; then watch_owner "$3"; fi
    ;;
*) echo "usage: $0 start|stop|halt|resume <state file> [owner pid]" >&2; exit 2 ;;
esac
