#!/usr/bin/env bash
# The server setup script against a throw-away cluster of its own (Unix socket only, in a temporary folder),
# with a systemctl that fails as it does without systemd, a cron file in the temporary folder, and wrappers
# that record every command line the script gives psql, runuser and perl. Run as an old installation would be
# upgraded: an owner with a password and the program's tables already there, then the script again and again.
# usage: test_server_setup_script.sh <create-practice-database.sh> <qv_prepare_server>
set -uo pipefail
script=$1
prepare=$2

[ "$(id -u)" -eq 0 ] || { echo "SKIP: the setup script runs as root"; exit 77; }
bindir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)
[ -x "$bindir/initdb" ] || { echo "SKIP: the PostgreSQL server is not installed"; exit 77; }
major=$(basename "$(dirname "$bindir")")
psql=$(command -v psql)

work=$(mktemp -d /tmp/qv-setup.XXXXXX)
chmod 755 "$work"
chown postgres "$work"
cleanup() {
    runuser -u postgres -- "$bindir/pg_ctl" -D "$work/data" -m immediate -w stop >/dev/null 2>&1
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
check() { # description, [!] command...
    local what=$1
    shift
    if [ "$1" = "!" ]; then
        shift
        ! "$@" || fail "$what"
    else
        "$@" || fail "$what"
    fi
}

# The cluster: postgres by peer, every other role by scram-sha-256, all through the socket. The practice
# range's line is the one an earlier version of the script wrote, for the owner alone; another range's stays.
runuser -u postgres -- "$bindir/initdb" -D "$work/data" -U postgres --auth-local=peer --auth-host=reject -E UTF8 \
    --locale=C.UTF-8 --no-sync \
    >"$work/initdb.log" 2>&1 || { cat "$work/initdb.log"; exit 1; }
hba=$work/data/pg_hba.conf
cat >"$hba" <<'HBA'
local all postgres peer
local all all scram-sha-256
# Quorvela: the practice network
host quorvela quorvela 10.7.0.0/16 scram-sha-256
host all all 127.0.0.1/32 scram-sha-256
# Quorvela: the practice network
host quorvela quorvela 10.9.8.0/24 scram-sha-256
HBA
runuser -u postgres -- "$bindir/pg_ctl" -D "$work/data" -l "$work/server.log" -w \
    -o "-c listen_addresses='' -k $work -F -c cluster_name=$major/main" start >/dev/null \
    || { cat "$work/server.log"; exit 1; }
export PGHOST=$work
unset PGPORT PGDATABASE PGUSER PGPASSWORD
as_postgres() { runuser -u postgres -- "$psql" -X -q -tA -d postgres "$@"; }
# The script must reach this cluster and no other.
[ "$(as_postgres -c 'show data_directory')" = "$work/data" ] || { echo "FAIL: not the test's cluster"; exit 1; }

# The old installation: the owner and its database, set up by the program as the owner.
as_postgres -v ON_ERROR_STOP=1 <<'SQL' || exit 1
create role quorvela login password 'Old-owner-pw-1';
create database quorvela owner quorvela encoding 'UTF8' template template0;
SQL
as() { # role, password, command...
    local role=$1 password=$2
    shift 2
    PGPASSWORD=$password "$@"
}
as_role() { # role, password, psql arguments...: through the socket with scram-sha-256
    local role=$1 password=$2
    shift 2
    PGPASSWORD=$password "$psql" -X -w -q -tA -v ON_ERROR_STOP=1 -U "$role" -d quorvela "$@" 2>&1
}
as quorvela Old-owner-pw-1 "$prepare" "host=$work dbname=quorvela user=quorvela" >/dev/null \
    || { echo "FAIL: the program could not set up the database as the owner"; exit 1; }

# Wrappers that write down their command lines, a failing systemctl, and no cron on PATH.
mkdir -p "$work/bin" "$work/dumpbin" "$work/cron.d"
touch "$work/argv.log" "$work/logger.log"
chmod 666 "$work/argv.log" "$work/logger.log"
for tool in psql runuser perl; do
    real=$(command -v "$tool")
    printf '#!/bin/sh\nprintf "%%s " "%s" "$@" >>"%s"; echo >>"%s"\nexec "%s" "$@"\n' \
        "$tool" "$work/argv.log" "$work/argv.log" "$real" >"$work/bin/$tool"
done
cat >"$work/bin/systemctl" <<SH
#!/bin/sh
echo "systemctl \$*" >>"$work/argv.log"
echo "System has not been booted with systemd as init system (PID 1)." >&2
exit 1
SH
chmod 755 "$work"/bin/*
export PATH="$work/bin:/usr/bin:/bin"
export QUORVELA_CRON_FILE=$work/cron.d/quorvela-backup
run() { # output file, arguments...: the script's exit status
    local out=$1
    shift
    bash "$script" "$@" >"$out" 2>&1 </dev/null
}
password_of() { # output file, role: the password the script printed for it
    awk -v role="$1" '$1 == role && $2 == "密码" && $3 != "unchanged" { print $3 }' "$2"
}
logs_in() { as_role "$1" "$2" -c 'select 1' >/dev/null; }
dumps="$work/dumps 100%"

# First run: the owner keeps its password, the desk role gets one, printed before the restart fails.
run "$work/run1" --network 10.9.8.0/24 --backups "$dumps"
status=$?
desk_pw=$(password_of quorvela_desk "$work/run1")
check "the first run ends with a failure when the restart fails (status $status)" [ "$status" -ne 0 ]
check "a desk password was printed" [ -n "$desk_pw" ]
check "the owner's password is kept" grep -q '^ *quorvela  *密码  unchanged' "$work/run1"
printed=$(grep -n "密码  $desk_pw" "$work/run1" | head -1 | cut -d: -f1)
restart=$(grep -n "could not be restarted" "$work/run1" | head -1 | cut -d: -f1)
[ -n "$printed" ] && [ -n "$restart" ] && [ "$printed" -lt "$restart" ] \
    || fail "the password is printed before the failed restart"
check "a failed restart says how by hand" grep -q "pg_ctlcluster $major main restart" "$work/run1"
check "the cluster's own unit was restarted" grep -q "systemctl restart postgresql@$major-main" "$work/argv.log"
check "the missing cron is told" grep -q "cron is not installed" "$work/run1"
check "the desk role logs in" logs_in quorvela_desk "$desk_pw"
check "the owner still logs in with its old password" logs_in quorvela Old-owner-pw-1
check "the earlier line of the range is replaced in place, another range kept" diff - "$hba" <<'HBA'
local all postgres peer
local all all scram-sha-256
# Quorvela: the practice network
host quorvela quorvela 10.7.0.0/16 scram-sha-256
host all all 127.0.0.1/32 scram-sha-256
# Quorvela: the practice network
host quorvela quorvela,quorvela_desk 10.9.8.0/24 scram-sha-256
HBA
check "a new dumps folder belongs to postgres alone" [ "$(stat -c '%U %a' "$dumps")" = "postgres 700" ]

# The desk role reads and writes the six tables and the catalog's change notes (the trigger writes them as
# the desk), reads the schema version, and can change nothing else; the program's start works as the desk.
desk_sql() { as_role quorvela_desk "$desk_pw" "$@"; }
check "the desk role reads and writes the six tables" desk_sql >/dev/null <<'SQL'
do $$
declare t text; c text;
begin
    foreach t in array array['档案', '商品', '设置', '个人模板', '诊断', '动物种类'] loop
        select attname into c from pg_attribute where attrelid = format('%I', t)::regclass and attnum = 1;
        execute format('insert into %I (%I) values (''qv-test'')', t, c);
        execute format('update %I set %I = ''qv-test2'' where %I = ''qv-test''', t, c, c);
        execute format('delete from %I where %I = ''qv-test2''', t, c);
    end loop;
end $$;
select "version" from "qv_schema";
select count(*) from "qv_catalog_changed";
SQL
check "the desk's change to a drug left a change note" \
    [ "$(desk_sql -c 'select count(*) > 0 from "qv_catalog_changed"')" = t ]
for refused in 'drop table "档案"' 'create table "其他" (a int)' 'truncate "档案"' \
    'alter table "档案" add column "x" int' 'update "qv_schema" set "version" = "version"' \
    'create schema "其他"' 'drop function "qv_note_catalog_change"() cascade'; do
    out=$(desk_sql -c "$refused")
    check "the desk role may not: $refused ($out)" grep -qE 'permission denied|must be owner' <<<"$out"
done
check "the program opens the database as the desk role" [ "$(as quorvela_desk "$desk_pw" "$prepare" \
    "host=$work dbname=quorvela user=quorvela_desk")" = opened ]
as_role quorvela Old-owner-pw-1 -c 'create table "later" (a int)' >/dev/null
check "a table the owner makes later is the desk's to write" desk_sql -c 'insert into "later" values (1)'

# The order the README gives: the script on a new, empty database, then the program sets it up as the owner.
# The desks then read the version record but cannot change it.
QUORVELA_CRON_FILE=$work/cron.d/fresh run "$work/fresh" --database fresh --network 10.9.9.0/24 --no-restart \
    --backups "$dumps"
check "the script sets up a second, empty database" [ $? -eq 0 ]
as quorvela Old-owner-pw-1 "$prepare" "host=$work dbname=fresh user=quorvela" >/dev/null \
    || fail "the program could not set up the empty database as the owner"
fresh_sql() { PGPASSWORD=$desk_pw "$psql" -X -w -q -tA -U quorvela_desk -d fresh "$@" 2>&1; }
check "the desk role reads the new database's version" [ "$(fresh_sql -c 'select "version" from "qv_schema"')" -ge 1 ]
check "the desk role writes the new database's prescriptions" fresh_sql -v ON_ERROR_STOP=1 \
    -c "insert into \"档案\" (\"序号\") values ('qv-test')"
for refused in 'delete from "qv_schema"' 'update "qv_schema" set "version" = 99' 'truncate "qv_schema"'; do
    out=$(fresh_sql -c "$refused")
    check "the desk role may not, in the new database: $refused ($out)" grep -q 'permission denied' <<<"$out"
done

# With ssl off, --tls is refused before anything is changed (the server would refuse that pg_hba.conf).
hba_before=$(cat "$hba")
run "$work/refused" --network 10.9.8.0/24 --tls --no-restart --new-password
check "--tls with ssl off is refused" [ $? -ne 0 ]
check "--tls with ssl off says why" grep -q "ssl is off" "$work/refused"
check "--tls with ssl off changes no password" logs_in quorvela_desk "$desk_pw"
check "--tls with ssl off leaves pg_hba.conf" [ "$hba_before" = "$(cat "$hba")" ]
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -subj /CN=qv-test -days 2 \
    -keyout "$work/data/server.key" -out "$work/data/server.crt" >/dev/null 2>&1
chown postgres "$work/data/server.key" "$work/data/server.crt"
chmod 600 "$work/data/server.key"
as_postgres -c 'alter system set ssl = on' -c 'select pg_reload_conf()' >/dev/null
for _ in $(seq 1 50); do [ "$(as_postgres -c 'show ssl')" = on ] && break; sleep 0.1; done

# Second run, with TLS and an existing dumps folder: both passwords kept, the plain line gone.
mkdir "$work/kept"
chown postgres:daemon "$work/kept"
chmod 0750 "$work/kept"
run "$work/run2" --network 10.9.8.0/24 --tls --no-restart --backups "$work/kept"
check "the second run succeeds" [ $? -eq 0 ]
check "no password is made again" [ -z "$(password_of quorvela_desk "$work/run2")$(password_of quorvela "$work/run2")" ]
check "the desk password still works" logs_in quorvela_desk "$desk_pw"
check "the owner password still works" logs_in quorvela Old-owner-pw-1
check "--no-restart says a restart is still needed" grep -q "still needs a restart" "$work/run2"
[ "$(grep -c '10\.9\.8\.0/24' "$hba")" = 1 ] \
    && grep -qx 'hostssl quorvela quorvela,quorvela_desk 10.9.8.0/24 scram-sha-256' "$hba" \
    || fail "--tls leaves one TLS-only line of the range"
check "an existing dumps folder keeps owner and mode" [ "$(stat -c '%U:%G %a' "$work/kept")" = "postgres:daemon 750" ]

# Third run without --tls: the range stays TLS-only; a new desk password replaces the old; cron is found.
printf '#!/bin/sh\n' >"$work/bin/cron"
chmod 755 "$work/bin/cron"
run "$work/run3" --network 10.9.8.0/24 --no-restart --new-desk-password --backups "$dumps"
new_desk_pw=$(password_of quorvela_desk "$work/run3")
check "the range stays TLS-only" grep -qx 'hostssl quorvela quorvela,quorvela_desk 10.9.8.0/24 scram-sha-256' "$hba"
[ -n "$new_desk_pw" ] && [ "$new_desk_pw" != "$desk_pw" ] || fail "--new-desk-password makes a new desk password"
check "the new desk password works" logs_in quorvela_desk "$new_desk_pw"
check "the old desk password no longer works" ! logs_in quorvela_desk "$desk_pw"
check "the owner's password is untouched by --new-desk-password" logs_in quorvela Old-owner-pw-1
check "an installed cron is not reported missing" ! grep -q "cron is not installed" "$work/run3"

# Fourth run: --no-tls, an owner password given on standard input, a new random desk password.
echo 'Given-owner-pw-2' | bash "$script" --network 10.9.8.0/24 --no-tls --no-restart --new-password \
    --password - --backups "$dumps" >"$work/run4" 2>&1
check "the fourth run succeeds" [ $? -eq 0 ]
last_desk_pw=$(password_of quorvela_desk "$work/run4")
[ "$(grep -c '10\.9\.8\.0/24' "$hba")" = 1 ] \
    && grep -qx 'host quorvela quorvela,quorvela_desk 10.9.8.0/24 scram-sha-256' "$hba" \
    || fail "--no-tls makes the range's line plain again"
check "the owner's password from standard input works" logs_in quorvela Given-owner-pw-2
[ -n "$last_desk_pw" ] && [ "$last_desk_pw" != "$new_desk_pw" ] && logs_in quorvela_desk "$last_desk_pw" \
    || fail "--new-password renews the desk's too"

for pw in Old-owner-pw-1 Given-owner-pw-2 "$desk_pw" "$new_desk_pw" "$last_desk_pw"; do
    check "no command line holds a password" ! grep -qF -- "$pw" "$work/argv.log"
done
check "the command lines were recorded" grep -q "psql" "$work/argv.log"

# The nightly dump, as cron runs it: a failing pg_dump keeps the weekday's previous file and is logged.
line=$(grep -vE '^(#|[A-Z]+=|$)' "$QUORVELA_CRON_FILE" | sed -E 's/^([^ ]+ +){6}//')
line=${line//\\%/%}
printf '#!/bin/sh\necho Tst\n' >"$work/dumpbin/date"
printf '#!/bin/sh\necho "$*" >>"%s"\n' "$work/logger.log" >"$work/dumpbin/logger"
mkdir "$work/failbin"
cat >"$work/failbin/pg_dump" <<'SH'
#!/bin/sh
for a; do case "$a" in --file=*) echo partial >"${a#--file=}" ;; esac; done
echo "pg_dump: error: connection lost" >&2
exit 1
SH
chmod 755 "$work"/dumpbin/* "$work"/failbin/*
echo "last week" >"$dumps/quorvela-Tst.dump"
chown postgres "$dumps/quorvela-Tst.dump"
nightly() { runuser -u postgres -- env PATH="$1:$work/dumpbin:/usr/bin:/bin" PGHOST="$work" sh -c "$line"; }
nightly "$work/failbin"
check "a failed dump keeps last week's file" [ "$(cat "$dumps/quorvela-Tst.dump")" = "last week" ]
check "a failed dump leaves no partial file" [ ! -e "$dumps/quorvela-Tst.dump.part" ]
check "a failed dump is logged" \
    grep -q "pg_dump of quorvela into .*failed: pg_dump: error: connection lost" "$work/logger.log"
nightly "$work/dumpbin"
check "a good dump replaces the file" "$bindir/pg_restore" --list "$dumps/quorvela-Tst.dump" >/dev/null
check "a dump is readable by postgres alone" [ "$(stat -c '%U %a' "$dumps/quorvela-Tst.dump")" = "postgres 600" ]

# --help, wherever it stands, prints help and changes nothing.
state() {
    cat "$hba" "$work/data/postgresql.auto.conf" "$QUORVELA_CRON_FILE"
    as_postgres -c 'select rolname, rolpassword from pg_authid order by 1'
}
before=$(state)
bash "$script" --network 10.9.8.0/24 --new-password --help >"$work/help" 2>&1
check "--help ends well" [ $? -eq 0 ]
check "--help prints the usage" grep -q '^Usage: create-practice-database.sh' "$work/help"
check "--help prints no code" ! grep -q 'set -euo' "$work/help"
check "--help changes nothing" [ "$before" = "$(state)" ]

if [ "$failures" -ne 0 ]; then
    for f in run1 run2 run3 run4; do echo "--- $f"; cat "$work/$f"; done
    exit 1
fi
echo "all checks passed"
