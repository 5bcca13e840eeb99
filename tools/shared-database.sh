#!/usr/bin/env bash
# The shared database of several desks on a PostgreSQL server, step by step
# (README, "Several workstations"). Each command names who runs it, and where:
#
#   tools/shared-database.sh create [NAME]
#       On the server, as root or with sudo. Makes the desks' user (asking
#       for its new password when it does not exist yet) and the empty
#       database NAME (brenvoll) owned by it, both made by the server's own
#       system user, postgres.
#   tools/shared-database.sh tables [NAME]
#       The program's tables in the empty database NAME (brenvoll-mkdb).
#   tools/shared-database.sh copy 数据库.db [NAME]
#       The records, settings and phrases of a desk's 数据库.db into NAME,
#       which has the tables and no records yet (brenvoll-migrate).
#   tools/shared-database.sh restore 数据库.dump NAME
#       On the desk, as the desk's own system user (its backup files are
#       readable by it alone): a backup's 数据库.dump into NAME, which
#       `create NAME` made empty on the server before.
#
# tables, copy and restore connect as the desks' user, with its password:
# PGPASSWORD, else the matching line of ~/.pgpass, else asked for once.
#
# Settings, from the environment:
#   BRENVOLL_SERVER      the server as the desks reach it (localhost)
#   BRENVOLL_PORT        its port (5432)
#   BRENVOLL_USER        the desks' user on the server (brenvoll)
#   BRENVOLL_BIN         where brenvoll-mkdb and brenvoll-migrate are (build/bin)
#   BRENVOLL_ADMIN       the system user that runs the server (postgres)
#   BRENVOLL_ADMIN_ARGS  how that user's psql and createdb reach the server
#                        (none: the server's own socket)
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
server="${BRENVOLL_SERVER:-localhost}"
port="${BRENVOLL_PORT:-5432}"
user="${BRENVOLL_USER:-brenvoll}"
bin="${BRENVOLL_BIN:-$here/../build/bin}"
admin="${BRENVOLL_ADMIN:-postgres}"
read -r -a admin_args <<<"${BRENVOLL_ADMIN_ARGS:-}"

fail() {
    echo "shared-database: $*" >&2
    exit 1
}

usage() {
    sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2
    exit 2
}

# A value inside single quotes for libpq: \ and ' escaped.
quoted() {
    local value="${1//\\/\\\\}"
    printf "'%s'" "${value//\'/\\\'}"
}

# libpq's connection string for database $1 as the desks' user.
conninfo() {
    printf 'host=%s port=%s dbname=%s user=%s' "$(quoted "$server")" "$(quoted "$port")" \
        "$(quoted "$1")" "$(quoted "$user")"
}

# Runs a command as the server's system user: through runuser as root, through
# sudo otherwise. Run from /, which every user may enter.
as_admin() {
    if [ "$(id -un)" = "$admin" ]; then
        (cd / && env -u PGPASSWORD "$@")
    elif [ "$(id -u)" -eq 0 ]; then
        (cd / && runuser -u "$admin" -- env -u PGPASSWORD "$@")
    elif command -v sudo >/dev/null; then
        (cd / && sudo -u "$admin" -- env -u PGPASSWORD "$@")
    else
        fail "run this as root, or install sudo"
    fi
}

# Stops at once, before anything is asked for, when this user cannot run
# commands as the server's system user: neither that user, nor root, nor
# one with sudo.
need_admin() {
    if [ "$(id -un)" != "$admin" ] && [ "$(id -u)" -ne 0 ] && ! command -v sudo >/dev/null; then
        fail "run this as root (su -c '$0 $*'), or install sudo"
    fi
}

# SQL from standard input, as the server's system user.
admin_sql() {
    as_admin psql -X -q -t -A -v ON_ERROR_STOP=1 "${admin_args[@]}" -d postgres
}

# The desks' user's password, asked for once when neither PGPASSWORD nor a
# ~/.pgpass file gives it.
need_password() {
    local passfile="${PGPASSFILE:-$HOME/.pgpass}"
    if [ -n "${PGPASSWORD:-}" ] || [ -f "$passfile" ] || [ ! -t 0 ]; then
        return
    fi
    read -r -s -p "Password of the server user $user: " PGPASSWORD
    echo
    export PGPASSWORD
}

create() {
    need_admin create "$@"
    local name="${1:-brenvoll}"
    local literal="${user//\'/\'\'}"
    # A failure here (sudo refused, no server) stops before the password is
    # asked for: inside $(…) it would not end the script by itself.
    local existing
    existing="$(echo "select 1 from pg_roles where rolname = '$literal'" | admin_sql)" ||
        fail "cannot ask the server as $admin whether the user $user exists; nothing was created"
    if [ -n "$existing" ]; then
        echo "shared-database: the server user $user is there already; its password stays as it is"
    else
        local password="${PGPASSWORD:-}"
        if [ -z "$password" ]; then
            [ -t 0 ] || fail "give the new password of $user as PGPASSWORD='…'"
            local again
            read -r -s -p "New password of the server user $user: " password
            echo
            read -r -s -p "The same password again: " again
            echo
            [ "$password" = "$again" ] || fail "the two passwords differ; nothing was created"
        fi
        [ -n "$password" ] || fail "an empty password is no password; nothing was created"
        # The password goes in on standard input, never on a command line.
        printf 'CREATE ROLE "%s" LOGIN PASSWORD '\''%s'\'';\n' "${user//\"/\"\"}" "${password//\'/\'\'}" |
            admin_sql
        echo "shared-database: created the server user $user"
    fi
    as_admin createdb "${admin_args[@]}" --owner="$user" "$name"
    echo "shared-database: created the empty database $name, owned by $user"
}

tables() {
    local name="${1:-brenvoll}"
    need_password
    "$bin/brenvoll-mkdb" --postgresql "$(conninfo "$name")"
}

copy() {
    [ $# -ge 1 ] || usage
    local name="${2:-brenvoll}"
    need_password
    "$bin/brenvoll-migrate" "$1" "$(conninfo "$name")"
}

restore() {
    [ $# -eq 2 ] || usage
    local dump="$1" name="$2"
    [ -r "$dump" ] || fail "cannot read $dump: run this as the desk's user whose backup it is"
    need_password
    # All or nothing; the objects become the desks' user's, whoever owned them
    # in the dumped database.
    pg_restore --no-owner --no-privileges --single-transaction --dbname="$(conninfo "$name")" "$dump"
    local records
    records="$(psql -X -q -t -A -d "$(conninfo "$name")" -c 'select count(*) from 档案')"
    echo "shared-database: restored $records records from $dump into the database $name;" \
        "point name= in brenvoll.ini at it on every desk"
}

[ $# -ge 1 ] || usage
command="$1"
shift
case "$command" in
create) create "$@" ;;
tables) tables "$@" ;;
copy) copy "$@" ;;
restore) restore "$@" ;;
*) usage ;;
esac
