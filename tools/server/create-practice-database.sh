#!/usr/bin/env bash
# Sets up the practice's archive on a Debian/Ubuntu computer running PostgreSQL. Run it as root on the server;
# it is safe to run again (see usage below). Passwords never go on a command line: each is turned into a
# SCRAM-SHA-256 verifier here (perl, which Debian's PostgreSQL packages depend on) and handed to psql on its
# standard input, so neither ps nor the server's statement log ever sees it.
#
# For tests (not needed on a real server): PGHOST/PGPORT name the cluster it sets up (its pg_hba.conf and
# postgresql.auto.conf are the ones that cluster reports), QUORVELA_CRON_FILE replaces
# /etc/cron.d/quorvela-backup, and systemctl, cron and psql are the ones found on PATH.
set -euo pipefail

usage() {
    cat <<'EOT'
Usage: create-practice-database.sh --network RANGE [options]

Sets up the practice's PostgreSQL database for the desks: two roles, an empty UTF-8 database, the practice
network in pg_hba.conf, the server listening on the network, and a nightly dump kept for a week. Run it as
root on the server; running it again changes only what differs and keeps the passwords.

  --network RANGE          the desks' address range, e.g. 192.168.1.0/24 (never 0.0.0.0/0)
  --database NAME          the database (default quorvela)
  --user NAME              the owner role: setting up, upgrades, "迁移到服务器" (default quorvela)
  --desk-user NAME         the role every desk works as: reads and writes the archive's tables, can
                           neither create nor drop them (default <owner>_desk)
  --password PW            sets the owner's password (PW "-" reads it from standard input)
  --desk-password PW       sets the desk role's password (PW "-" reads it from standard input, after
                           the owner's when both are "-")
  --new-password           new random passwords for both roles (every desk must then be given the new one)
  --new-owner-password     a new random password for the owner only
  --new-desk-password      a new random password for the desk role only (e.g. after a desk was stolen)
  --tls                    accept the desks over TLS only (replaces an earlier plain line of this range)
  --no-tls                 accept plain connections too (a range set up with --tls stays TLS-only
                           until this is given)
  --backups DIR            the nightly dumps' folder (default /var/backups/quorvela); an existing
                           folder keeps its owner and mode, but user postgres must be able to write it
  --no-restart             do not restart PostgreSQL (it says when a restart is still needed)
  -h, --help               this help; changes nothing

A password is made at random for a role that has none and printed once; a role that has one keeps it.
A password given on the command line is visible to other users of this computer while the script runs:
prefer "-" and standard input.
EOT
}

# --help wins wherever it stands, before anything is checked or changed.
for arg in "$@"; do
    case "$arg" in -h | --help) usage; exit 0 ;; esac
done

database=quorvela
owner=quorvela
desk=
owner_password=
desk_password=
renew_owner=no
renew_desk=no
network=
tls=keep
backups=/var/backups/quorvela
restart=yes
cron_file=${QUORVELA_CRON_FILE:-/etc/cron.d/quorvela-backup}

die() { echo "create-practice-database: $*" >&2; exit 1; }
note() { echo "note: $*" >&2; }

while [ $# -gt 0 ]; do
    case "$1" in
    --network) network=${2:?--network needs a range}; shift 2 ;;
    --database) database=${2:?--database needs a name}; shift 2 ;;
    --user) owner=${2:?--user needs a name}; shift 2 ;;
    --desk-user) desk=${2:?--desk-user needs a name}; shift 2 ;;
    --password) owner_password=${2:?--password needs a password or -}; shift 2 ;;
    --desk-password) desk_password=${2:?--desk-password needs a password or -}; shift 2 ;;
    --new-password) renew_owner=yes; renew_desk=yes; shift ;;
    --new-owner-password) renew_owner=yes; shift ;;
    --new-desk-password) renew_desk=yes; shift ;;
    --tls) [ "$tls" != no ] || die "--tls and --no-tls together"; tls=yes; shift ;;
    --no-tls) [ "$tls" != yes ] || die "--tls and --no-tls together"; tls=no; shift ;;
    --backups) backups=${2:?--backups needs a folder}; shift 2 ;;
    --no-restart) restart=no; shift ;;
    *) die "unknown option $1 (see --help)" ;;
    esac
done
desk=${desk:-${owner}_desk}

# Everything is checked before anything is changed.
[ -n "$network" ] || die "--network is required: the practice network's address range, e.g. 192.168.1.0/24"
[[ "$network" =~ ^[0-9a-fA-F:.]+/[0-9]{1,3}$ ]] || die "--network $network is not an address range like 192.168.1.0/24"
for name in "$database" "$owner" "$desk"; do
    [[ "$name" =~ ^[a-z_][a-z0-9_]*$ ]] || die "$name: a name may hold lower-case letters, digits and _ only"
done
[ "$owner" != "$desk" ] || die "the owner and the desk role must be two roles (--user, --desk-user)"
if [ "$owner" = postgres ] || [ "$desk" = postgres ]; then
    die "postgres is the server's administrator, not a role for the practice"
fi
if [ "$owner_password" = - ]; then
    IFS= read -r owner_password || [ -n "$owner_password" ] || die "--password -: no password on standard input"
fi
if [ "$desk_password" = - ]; then
    IFS= read -r desk_password || [ -n "$desk_password" ] || die "--desk-password -: no password on standard input"
fi
for pw in "$owner_password" "$desk_password"; do
    [ -z "$pw" ] || [ ${#pw} -ge 8 ] || die "a password needs at least 8 characters"
    [ -z "$(printf '%s' "$pw" | LC_ALL=C tr -d '!-~')" ] \
        || die "a password may hold ASCII letters, digits and punctuation only (no blanks)"
done
[[ "$backups" == /* ]] || die "--backups needs an absolute path"
[[ "$backups" != *[$'\n\r']* ]] || die "--backups: a folder name without line breaks"
[ "$(id -u)" -eq 0 ] || die "run it as root (sudo $0 …)"
psql_bin=$(command -v psql) || die "PostgreSQL is not installed: apt install postgresql"
perl -MDigest::SHA -MMIME::Base64 -e 1 2>/dev/null || die "perl with Digest::SHA is needed: apt install perl"
if [ -e "$backups" ]; then
    [ -d "$backups" ] || die "--backups $backups is not a folder"
    runuser -u postgres -- sh -c 'test -w "$1" && test -x "$1"' sh "$backups" \
        || die "user postgres cannot write into $backups: give it write access or choose another --backups"
fi

trap 'rm -f "${kept_hba:-}" "${new_hba:-}" "${cron_new:-}"' EXIT

# psql as the postgres administrator; names go in as psql variables, quoted by psql itself, and anything
# secret only on standard input.
as_postgres() { runuser -u postgres -- "$psql_bin" -X -v ON_ERROR_STOP=1 -q "$@"; }

# The lines of pg_hba.conf this script wrote for the range (also one an earlier version wrote for the owner
# alone), as "number<TAB>type".
managed_line() {
    awk -v db="$database" -v net="$network" -v owner="$owner" -v desk="$desk" '
        ($1 == "host" || $1 == "hostssl" || $1 == "hostnossl") && $2 == db && $4 == net {
            n = split($3, users, ",")
            for (i = 1; i <= n; i++)
                if (users[i] != owner && users[i] != desk)
                    next
            print NR "\t" $1
        }' "$hba"
}

# What is there already (no field empty: tabs in a row would count as one). A role's password state is
# "scram", "other" (none, or one scram-sha-256 cannot check) or "missing"; a desk role that exists with
# powers ("powerful") is not the script's to strip of them.
IFS=$'\t' read -r owner_state desk_state database_owner cluster version listening port hba ssl < <(
    as_postgres -d postgres -tA -F $'\t' -v owner="$owner" -v desk="$desk" -v database="$database" <<'SQL'
select coalesce((select case when rolpassword like 'SCRAM-SHA-256$%' then 'scram' else 'other' end
                 from pg_authid where rolname = :'owner'), 'missing'),
       coalesce((select case when rolsuper or rolcreaterole or rolcreatedb or rolreplication then 'powerful'
                             when rolpassword like 'SCRAM-SHA-256$%' then 'scram' else 'other' end
                 from pg_authid where rolname = :'desk'), 'missing'),
       coalesce((select pg_get_userbyid(datdba) from pg_database where datname = :'database'), '-'),
       coalesce(nullif(current_setting('cluster_name'), ''), '-'),
       current_setting('server_version_num')::int / 10000,
       coalesce(nullif(current_setting('listen_addresses'), ''), '-'), current_setting('port'),
       current_setting('hba_file'),
       current_setting('ssl');
SQL
) || die "cannot ask PostgreSQL as user postgres (is the server running?)"
[ "$database_owner" = - ] || [ "$database_owner" = "$owner" ] \
    || die "the database $database exists and belongs to $database_owner, not $owner (give --user $database_owner)"
[ "$desk_state" != powerful ] \
    || die "the role $desk exists and may create roles or databases; the desks need a plain one (--desk-user)"

# A range set up for TLS only stays so unless --no-tls is given. With ssl off the server refuses a pg_hba.conf
# with a TLS-only line (and would not start again with it).
earlier=$(managed_line | awk -F'\t' 'NR == 1 { print $2 }')
if [ "$tls" = keep ]; then
    tls=no
    if [ "$earlier" = hostssl ]; then
        tls=yes
        note "$network stays TLS-only, as an earlier run set it (--no-tls accepts plain connections too)"
    fi
fi
if [ "$tls" = yes ] && [ "$ssl" != on ]; then
    die "ssl is off in this server's postgresql.conf, so it cannot accept the desks over TLS only: turn it" \
        "on (ssl = on with a certificate; Debian's package does so with its own) and run this again, or leave out --tls"
fi

# The SCRAM-SHA-256 verifier of the password on standard input, as PostgreSQL stores it (RFC 7677; the
# password is printable ASCII, which SASLprep leaves as it is).
verifier() {
    perl -MDigest::SHA=hmac_sha256,sha256 -MMIME::Base64 -e '
        my $password = <STDIN>; chomp $password;
        open(my $random, "<", "/dev/urandom") or die "urandom: $!";
        read($random, my $salt, 16) == 16 or die "urandom: short read";
        my $u = hmac_sha256($salt . pack("N", 1), $password);
        my $salted = $u;
        for (2 .. 4096) { $u = hmac_sha256($u, $password); $salted ^= $u; }
        my $b64 = sub { encode_base64($_[0], "") };
        print "SCRAM-SHA-256\$4096:", $b64->($salt), "\$", $b64->(sha256(hmac_sha256("Client Key", $salted))),
            ":", $b64->(hmac_sha256("Server Key", $salted)), "\n";'
}
random_password() { head -c 18 /dev/urandom | base64 | tr -d '/+=\n'; }

# A password is set when given, when asked for anew, or when the role has none it could log in with.
owner_made=no desk_made=no owner_verifier='' desk_verifier=''
if [ -z "$owner_password" ] && { [ "$renew_owner" = yes ] || [ "$owner_state" != scram ]; }; then
    owner_password=$(random_password) owner_made=yes
fi
if [ -z "$desk_password" ] && { [ "$renew_desk" = yes ] || [ "$desk_state" != scram ]; }; then
    desk_password=$(random_password) desk_made=yes
fi
[ -z "$owner_password" ] || owner_verifier=$(printf '%s\n' "$owner_password" | verifier)
[ -z "$desk_password" ] || desk_verifier=$(printf '%s\n' "$desk_password" | verifier)

# The roles and their passwords in one transaction, and the passwords printed at once, before anything else
# can fail. The desk role may log in and nothing more.
as_postgres -d postgres -v owner="$owner" -v desk="$desk" <<SQL
\\set owner_verifier '$owner_verifier'
\\set desk_verifier '$desk_verifier'
begin;
select format('create role %I login', name) from (values (:'owner'), (:'desk')) as wanted (name)
    where not exists (select 1 from pg_roles where rolname = name) \\gexec
select format('alter role %I login nosuperuser nocreatedb nocreaterole noreplication nobypassrls', :'desk') \\gexec
select format('alter role %I password %L', :'owner', :'owner_verifier') where :'owner_verifier' <> '' \\gexec
select format('alter role %I password %L', :'desk', :'desk_verifier') where :'desk_verifier' <> '' \\gexec
commit;
SQL

tell_password() { # role, password, made, what it is for
    if [ -n "$2" ]; then
        local how="as given"
        [ "$3" = yes ] && how="made now: write it down, it is not shown again"
        printf '    %-20s 密码  %s      (%s)\n        %s\n' "$1" "$2" "$how" "$4"
    else
        printf '    %-20s 密码  unchanged (--new-%s makes a new one)\n        %s\n' "$1" "$5" "$4"
    fi
}
echo "Passwords:"
tell_password "$desk" "$desk_password" "$desk_made" \
    "the desks' password: every desk's 数据维护(D) → 数据存储… → 诊所服务器, with 用户名 $desk" desk-password
tell_password "$owner" "$owner_password" "$owner_made" \
    "the administrator's, not for the desks: only to set the database up, for upgrades and for \"迁移到服务器\"" \
    owner-password

# The database, open to these two roles only.
as_postgres -d postgres -v owner="$owner" -v desk="$desk" -v database="$database" <<'SQL'
select format('create database %I owner %I encoding ''UTF8'' template template0', :'database', :'owner')
    where not exists (select 1 from pg_database where datname = :'database') \gexec
select format('revoke connect, temporary on database %I from public', :'database') \gexec
select format('grant connect on database %I to %I, %I', :'database', :'owner', :'desk') \gexec
SQL

# Inside it: the owner creates the program's tables (the first start as the owner, or "迁移到服务器"); the desk
# role reads and writes every table the owner makes, except the schema's version record, which it only reads,
# and can create nothing. Tables the owner made before this run get the same grants.
as_postgres -d "$database" -v owner="$owner" -v desk="$desk" <<'SQL'
revoke create on schema public from public;
select format('grant usage, create on schema public to %I', :'owner') \gexec
select format('grant usage on schema public to %I', :'desk') \gexec
select format('alter default privileges for role %I in schema public '
              'grant select, insert, update, delete on tables to %I', :'owner', :'desk') \gexec
select format('grant select, insert, update, delete on %I to %I', c.relname, :'desk')
    from pg_class c join pg_namespace n on n.oid = c.relnamespace
    where n.nspname = 'public' and c.relkind in ('r', 'p') and pg_get_userbyid(c.relowner) = :'owner'
      and c.relname <> 'qv_schema' \gexec
select format('revoke insert, update, delete, truncate on "qv_schema" from %I', :'desk'),
       format('grant select on "qv_schema" to %I', :'desk')
    where to_regclass('public."qv_schema"') is not null \gexec
SQL

# pg_hba.conf: the first line that matches a connection decides, so this range's line is replaced where it
# stands instead of adding another after it.
kind=host
[ "$tls" = yes ] && kind=hostssl
rule="$kind $database $owner,$desk $network scram-sha-256"
comment="# Quorvela: the practice network"
kept_hba=$(mktemp "$hba.XXXXXX")
cp -p "$hba" "$kept_hba"
new_hba=$(mktemp "$hba.XXXXXX")
awk -v lines="$(managed_line | cut -f1 | tr '\n' ' ')" -v rule="$rule" -v comment="$comment" '
    BEGIN { n = split(lines, drop, " "); for (i = 1; i <= n; i++) dropped[drop[i]] = 1 }
    pending { if (!(NR in dropped)) print comment; pending = 0 }
    $0 == comment { pending = 1; next }
    NR in dropped { if (!placed) { print comment; print rule; placed = 1 } next }
    { print }
    END { if (pending) print comment; if (!placed) { print comment; print rule } }' "$hba" >"$new_hba"
chown --reference="$hba" "$new_hba"
chmod --reference="$hba" "$new_hba"
mv -f "$new_hba" "$hba"
hba_errors=$(as_postgres -d postgres -tA \
    -c "select line_number || ': ' || error from pg_hba_file_rules where error is not null")
if [ -n "$hba_errors" ]; then
    mv -f "$kept_hba" "$hba"
    die "the new pg_hba.conf was refused and the old one put back: $hba_errors"
fi
rm -f "$kept_hba"

as_postgres -d postgres -tA -c "alter system set listen_addresses = '*'" -c 'select pg_reload_conf()' >/dev/null

# The nightly dump, one file per day of the week (the last seven are kept). pg_dump writes to a temporary
# name that replaces the day's file only when the dump is whole; a failure leaves last week's file and is
# logged to syslog. In a cron line % is special, so the quoted folder has its % escaped.
if [ -e "$backups" ]; then
    echo "Nightly dumps go into the existing $backups (its owner and mode are kept)"
else
    install -d -o postgres -g postgres -m 0700 "$backups"
fi
quoted_backups="'${backups//\'/\'\\\'\'}'"
quoted_backups=${quoted_backups//%/\\%}
cron_new=$(mktemp "$(dirname "$cron_file")/.quorvela-backup.XXXXXX")
cat >"$cron_new" <<CRON
# Quorvela: the practice's archive dumped every night at 02:30, one file per weekday (kept for a week).
# A failed dump keeps the previous file of that weekday and is logged to syslog (tag quorvela-backup).
SHELL=/bin/sh
PATH=/usr/bin:/bin
30 2 * * * postgres umask 077; f=$quoted_backups/$database-\$(date +\%a).dump; if out=\$(pg_dump --port=$port --format=custom --file="\$f.part" $database 2>&1); then mv -f "\$f.part" "\$f"; else rm -f "\$f.part"; logger -t quorvela-backup -p cron.err -- "pg_dump of $database into \$f failed: \$out"; fi
CRON
chmod 0644 "$cron_new"
mv -f "$cron_new" "$cron_file"
if ! command -v cron >/dev/null && ! command -v crond >/dev/null; then
    note "cron is not installed, so the nightly dump will not run: apt install cron"
fi

# A restart is needed only while the server does not yet listen on the network; pg_hba.conf was reloaded.
if [[ "$cluster" =~ ^([0-9]+)/(.+)$ ]]; then
    unit="postgresql@${BASH_REMATCH[1]}-${BASH_REMATCH[2]}"
    by_hand="pg_ctlcluster ${BASH_REMATCH[1]} ${BASH_REMATCH[2]} restart"
else
    unit=postgresql
    by_hand="pg_ctlcluster $version <cluster> restart   (pg_lsclusters lists the clusters)"
fi
unfinished=no
if [ "$listening" != "*" ]; then
    if [ "$restart" = no ]; then
        note "PostgreSQL still needs a restart to listen on the network: systemctl restart $unit, or $by_hand"
    elif ! command -v systemctl >/dev/null || ! systemctl restart "$unit"; then
        echo "create-practice-database: PostgreSQL could not be restarted here; restart it by hand: $by_hand" >&2
        unfinished=yes
    fi
fi

address=$(hostname -I 2>/dev/null | awk '{print $1}') || true
[ -n "$address" ] || address="<this computer's address>"
encryption="必须加密（require） (the desks' default; it needs ssl = on, as Debian's package sets it)"
[ "$tls" = yes ] && encryption="必须加密（require）, or verify-full with the server's certificate on each desk"
heading="The practice's database is ready."
[ "$unfinished" = no ] \
    || heading="The practice's database is set up; the desks can connect once PostgreSQL is restarted (see above)."
cat <<EOT
$heading
On every desk: 数据维护(D) → 数据存储… → 诊所服务器
    服务器  $address
    端口    $port
    数据库  $database
    用户名  $desk
    密码    the password of $desk above
    加密    $encryption
The owner $owner is for the administrator: enter it in 数据存储… only to set the empty database up (the first
start), for "迁移到服务器" and after an upgrade of the program, then switch that desk back to $desk.
Nightly dumps: $backups (restore one as the owner: pg_restore --clean --dbname=$database <file>)
EOT
[ "$unfinished" = no ]
