#!/usr/bin/env bash
# Sets up the practice's archive on a Debian/Ubuntu computer running PostgreSQL: a login role with a
# scram-sha-256 password, an empty UTF-8 database owned by it (the first desk, or "迁移到服务器", fills it), the
# practice network's address range in pg_hba.conf (TLS only with --tls), the server listening on the network,
# and a nightly pg_dump kept for a week. Run it as root on the server; it is safe to run again.
#
#   create-practice-database.sh --network 192.168.1.0/24 [--database quorvela] [--user quorvela]
#                               [--password PW] [--tls] [--backups /var/backups/quorvela] [--no-restart]
#
# Without --password a random one is made and printed once; write it down for the desks.
set -euo pipefail

database=quorvela
user=quorvela
password=
network=
tls=no
backups=/var/backups/quorvela
restart=yes

die() { echo "create-practice-database: $*" >&2; exit 1; }

while [ $# -gt 0 ]; do
    case "$1" in
    --network) network=${2:?}; shift 2 ;;
    --database) database=${2:?}; shift 2 ;;
    --user) user=${2:?}; shift 2 ;;
    --password) password=${2:?}; shift 2 ;;
    --tls) tls=yes; shift ;;
    --backups) backups=${2:?}; shift 2 ;;
    --no-restart) restart=no; shift ;;
    -h | --help) sed -n '2,11p' "$0"; exit 0 ;;
    *) die "unknown option $1 (see --help)" ;;
    esac
done

[ -n "$network" ] || die "--network is required: the practice network's address range, e.g. 192.168.1.0/24"
[[ "$network" =~ ^[0-9a-fA-F:.]+/[0-9]{1,3}$ ]] || die "--network $network is not an address range like 192.168.1.0/24"
[[ "$database" =~ ^[a-z_][a-z0-9_]*$ ]] || die "--database: lower-case letters, digits and _ only"
[[ "$user" =~ ^[a-z_][a-z0-9_]*$ ]] || die "--user: lower-case letters, digits and _ only"
[ "$(id -u)" -eq 0 ] || die "run it as root (sudo $0 …)"
command -v psql >/dev/null || die "PostgreSQL is not installed: apt install postgresql"

made_password=no
if [ -z "$password" ]; then
    password=$(head -c 18 /dev/urandom | base64 | tr -d '/+=')
    made_password=yes
fi

# psql as the postgres administrator; values go in as psql variables, quoted by psql itself.
as_postgres() { runuser -u postgres -- psql -X -v ON_ERROR_STOP=1 -q "$@"; }

as_postgres -d postgres -v user="$user" -v password="$password" -v database="$database" <<'SQL'
set password_encryption = 'scram-sha-256';
select format('create role %I login', :'user')
    where not exists (select 1 from pg_roles where rolname = :'user') \gexec
select format('alter role %I with login password %L', :'user', :'password') \gexec
select format('create database %I owner %I encoding ''UTF8'' template template0', :'database', :'user')
    where not exists (select 1 from pg_database where datname = :'database') \gexec
select format('revoke connect, temporary on database %I from public', :'database') \gexec
select format('grant connect on database %I to %I', :'database', :'user') \gexec
SQL

hba=$(as_postgres -d postgres -tA -c 'show hba_file')
kind=host
[ "$tls" = yes ] && kind=hostssl
rule="$kind $database $user $network scram-sha-256"
if ! grep -qxF "$rule" "$hba"; then
    printf '# Quorvela: the practice network\n%s\n' "$rule" >>"$hba"
fi
as_postgres -d postgres -c "alter system set listen_addresses = '*'"
if [ "$tls" = yes ]; then
    ssl=$(as_postgres -d postgres -tA -c 'show ssl')
    [ "$ssl" = on ] || echo "note: ssl is off in postgresql.conf; set ssl = on with a certificate (Debian's package turns it on with its own certificate)" >&2
fi

# The nightly dump: one file per day of the week, so the last seven days are kept.
install -d -o postgres -g postgres -m 0700 "$backups"
cat >/etc/cron.d/quorvela-backup <<CRON
# Quorvela: the practice's archive dumped every night at 02:30, one file per weekday (kept for a week)
30 2 * * * postgres pg_dump --format=custom --file=$backups/$database-\$(date +\%a).dump $database
CRON
chmod 0644 /etc/cron.d/quorvela-backup

if [ "$restart" = yes ] && command -v systemctl >/dev/null; then
    systemctl restart postgresql
fi

address=$(hostname -I 2>/dev/null | awk '{print $1}')
[ -n "$address" ] || address="<this computer's address>"
port=$(as_postgres -d postgres -tA -c 'show port')
cat <<EOT
The practice's database is ready.
On every desk: 数据维护(D) → 数据存储… → 诊所服务器
    服务器  $address
    端口    $port
    数据库  $database
    用户名  $user
EOT
if [ "$made_password" = yes ]; then
    echo "    密码    $password      (made now: write it down, it is not shown again)"
fi
[ "$tls" = yes ] && echo "    加密    必须加密（require）, or verify-full with the server's certificate on each desk"
echo "Nightly dumps: $backups (restore one with pg_restore --clean --dbname=$database <file>)"
