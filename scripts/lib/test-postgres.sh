# Sourced by scripts/test. Starts a private PostgreSQL cluster for the store tests that run
# against a server, and stops it when the sourcing shell exits.
#
# The cluster lives in a temporary folder and listens only on a Unix socket there, on a port
# of its own, so the machine's own server (running or not) is neither used nor changed.
# Run as root, the server runs as the postgres user, since it refuses to run as root.
# PANTRIO_POSTGRES_OPTIONS replaces the server options for speed (default: no fsync). By
# default the server also names a standby that never comes, which only a session asking for
# synchronous_commit=on waits for: a commit made and never answered, for the tests.
#
# Exports:
#   PANTRIO_TEST_POSTGRES  a connection URI for an empty database the tests may fill
# The cluster also has the roles pantrio_password (which must give a password) and pantrio_guest
# (which may create nothing in a database it does not own), for the tests of refusals.

pantrio_postgres_stop() {
    if [ -n "${PANTRIO_TEST_POSTGRES_DIR:-}" ]; then
        $pantrio_pg_as "$pantrio_pg_bin/pg_ctl" -D "$PANTRIO_TEST_POSTGRES_DIR/data" -m immediate stop \
            >/dev/null 2>&1 || true
        rm -rf "$PANTRIO_TEST_POSTGRES_DIR"
    fi
    unset PANTRIO_TEST_POSTGRES_DIR PANTRIO_TEST_POSTGRES
}

pantrio_postgres_start() {
    if [ -n "${PANTRIO_TEST_POSTGRES:-}" ]; then
        return 0
    fi
    pantrio_pg_bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1 || true)
    if [ -z "$pantrio_pg_bin" ] || [ ! -x "$pantrio_pg_bin/initdb" ]; then
        echo "test-postgres: postgresql is missing (scripts/install-deps)" >&2
        return 1
    fi
    pantrio_pg_as=""
    [ "$(id -u)" -eq 0 ] && pantrio_pg_as="runuser -u postgres --"

    local dir port
    dir=$(mktemp -d /tmp/pantrio-postgres.XXXXXX)
    chmod 755 "$dir"
    [ -n "$pantrio_pg_as" ] && chown postgres "$dir"
    PANTRIO_TEST_POSTGRES_DIR=$dir
    pantrio_add_cleanup pantrio_postgres_stop

    if ! $pantrio_pg_as "$pantrio_pg_bin/initdb" -D "$dir/data" -U pantrio --auth=trust \
        --encoding=UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1; then
        echo "test-postgres: initdb failed:" >&2
        cat "$dir/initdb.log" >&2
        return 1
    fi
    # For the tests of a refused login: this role alone must give a password, before the trust
    # lines that let every other role in.
    sed -i '1i local all pantrio_password scram-sha-256' "$dir/data/pg_hba.conf"
    # A port nothing listens on; with the socket in our own folder only the number matters.
    port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    if ! $pantrio_pg_as "$pantrio_pg_bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
        -o "-c listen_addresses='' -c unix_socket_directories='$dir' -p $port ${PANTRIO_POSTGRES_OPTIONS--c fsync=off -c synchronous_commit=local -c synchronous_standby_names=pantrio_never}" start \
        >/dev/null; then
        echo "test-postgres: the private server did not start:" >&2
        cat "$dir/server.log" >&2
        return 1
    fi
    "$pantrio_pg_bin/createdb" -h "$dir" -p "$port" -U pantrio pantrio_test || return 1
    # A role with a password, and one that may not create anything in a database it does not own.
    "$pantrio_pg_bin/psql" -q -h "$dir" -p "$port" -U pantrio -d pantrio_test -v ON_ERROR_STOP=1 \
        -c "CREATE ROLE pantrio_password LOGIN PASSWORD 'only-the-tests-know'" \
        -c "CREATE ROLE pantrio_guest LOGIN" || return 1
    export PANTRIO_TEST_POSTGRES="postgresql:///pantrio_test?host=$dir&port=$port&user=pantrio"
}

pantrio_postgres_start
