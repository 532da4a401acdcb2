# Sourced by scripts/test. Starts a private CUPS server whose default printer writes PDF files,
# for the printing tests, and stops it when the sourcing shell exits.
#
# The server lives in a temporary folder with its own socket, so the machine's own CUPS
# (running or not) is neither used nor changed. The only system file written is the PDF
# backend's configuration for this server, /etc/cups/cups-pdf-<tag>.conf, since the backend
# reads its configuration from /etc/cups only; it is removed again on exit.
#
# Exports:
#   CUPS_SERVER                     the private server's socket
#   PANTRIO_TEST_PRINTER            the default queue; it writes one PDF per job
#   PANTRIO_TEST_REJECTING_PRINTER  a queue that refuses every job
#   PANTRIO_TEST_PDF_DIR            where the queues' PDF files appear

# Runs each registered cleanup once when the shell exits; an EXIT trap set before ours is kept.
pantrio_add_cleanup() {
    local cleanup=$1
    if [ -z "${pantrio_cleanups+set}" ]; then
        pantrio_cleanups=()
        local previous
        previous=$(trap -p EXIT)
        if [ -n "$previous" ]; then
            eval "set -- ${previous#trap -- }"
            pantrio_cleanups+=("$1")
        fi
        trap 'for pantrio_c in "${pantrio_cleanups[@]}"; do eval "$pantrio_c" || true; done' EXIT
    fi
    pantrio_cleanups+=("$cleanup")
}

pantrio_cups_stop() {
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo -n"
    if [ -n "${PANTRIO_TEST_CUPS_PID:-}" ]; then
        $sudo kill "$PANTRIO_TEST_CUPS_PID" 2>/dev/null || true
        wait "$PANTRIO_TEST_CUPS_PID" 2>/dev/null || true
    fi
    if [ -n "${PANTRIO_TEST_CUPS_DIR:-}" ]; then
        $sudo rm -f "/etc/cups/cups-pdf-pantrio-cups-${PANTRIO_TEST_CUPS_DIR##*.}.conf"
        $sudo rm -rf "$PANTRIO_TEST_CUPS_DIR"
    fi
    unset PANTRIO_TEST_CUPS_PID PANTRIO_TEST_CUPS_DIR
}

pantrio_cups_start() {
    # Sourced twice in one shell: the server of the first time is still there.
    if [ -n "${PANTRIO_TEST_CUPS_PID:-}" ] && kill -0 "$PANTRIO_TEST_CUPS_PID" 2>/dev/null; then
        return 0
    fi

    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo -n"
    local ppd=/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd
    if ! command -v cupsd >/dev/null || ! command -v lpadmin >/dev/null \
        || [ ! -e /usr/lib/cups/backend/cups-pdf ] || [ ! -e "$ppd" ]; then
        echo "test-cups: cups, cups-client or printer-driver-cups-pdf is missing (scripts/install-deps)" >&2
        return 1
    fi

    # Backend configurations left behind by servers that were killed.
    local stale suffix
    for stale in /etc/cups/cups-pdf-pantrio-cups-*.conf; do
        [ -e "$stale" ] || continue
        suffix=${stale#/etc/cups/cups-pdf-pantrio-cups-}
        [ -d "/tmp/pantrio-cups.${suffix%.conf}" ] && continue
        $sudo rm -f "$stale"
    done

    local dir
    dir=$(mktemp -d /tmp/pantrio-cups.XXXXXX)
    local tag="pantrio-cups-${dir##*.}"
    # The filters run as the lp user and the backend as the job's owner: both need to get in.
    chmod 755 "$dir"
    mkdir "$dir"/{conf,spool,cache,state,log,tmp,pdf,pdf-spool}
    chmod 1777 "$dir"/tmp "$dir"/pdf "$dir"/pdf-spool

    cat >"$dir/conf/cups-files.conf" <<EOF
ServerRoot $dir/conf
RequestRoot $dir/spool
CacheDir $dir/cache
StateDir $dir/state
TempDir $dir/tmp
ErrorLog $dir/log/error_log
AccessLog $dir/log/access_log
PageLog $dir/log/page_log
Printcap $dir/printcap
SystemGroup root
CreateSelfSignedCerts no
EOF
    # Only a socket in the folder, and no authentication: nobody else can reach this server.
    cat >"$dir/conf/cupsd.conf" <<EOF
LogLevel warn
Listen $dir/cups.sock
Browsing Off
BrowseLocalProtocols none
WebInterface No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
EOF
    # The backend picks cups-pdf-<tag>.conf for the device URI cups-pdf:/<tag>.
    $sudo tee "/etc/cups/cups-pdf-$tag.conf" >/dev/null <<EOF
Out $dir/pdf
AnonDirName $dir/pdf
Spool $dir/pdf-spool
Log $dir/log
Grp root
EOF

    PANTRIO_TEST_CUPS_DIR=$dir
    $sudo cupsd -f -c "$dir/conf/cupsd.conf" -s "$dir/conf/cups-files.conf" >"$dir/log/cupsd.out" 2>&1 &
    PANTRIO_TEST_CUPS_PID=$!
    pantrio_add_cleanup pantrio_cups_stop

    export CUPS_SERVER=$dir/cups.sock
    local i
    for i in $(seq 100); do
        lpstat -r 2>/dev/null | grep -q "scheduler is running" && break
        if ! kill -0 "$PANTRIO_TEST_CUPS_PID" 2>/dev/null || [ "$i" -eq 100 ]; then
            echo "test-cups: the private CUPS server did not start:" >&2
            cat "$dir/log/cupsd.out" "$dir/log/error_log" >&2 2>/dev/null
            return 1
        fi
        sleep 0.1
    done

    # lpadmin warns that PPD drivers are deprecated; the PDF backend has nothing newer.
    # Through Ghostscript's PostScript the text would arrive as bitmap glyphs; pdftocairo keeps
    # the fonts, so that the tests can read the printed words back.
    lpadmin -p PantrioPDF -v "cups-pdf:/$tag" -P "$ppd" -E \
        -o printer-error-policy=abort-job -o pdftops-renderer-default=pdftocairo 2>/dev/null \
        && lpadmin -p PantrioRejecting -v "cups-pdf:/$tag" -P "$ppd" -E 2>/dev/null \
        && cupsreject -r "Jobs are refused for the tests" PantrioRejecting \
        && lpadmin -d PantrioPDF || {
        echo "test-cups: could not set up the PDF queues" >&2
        return 1
    }

    export PANTRIO_TEST_PRINTER=PantrioPDF
    export PANTRIO_TEST_REJECTING_PRINTER=PantrioRejecting
    export PANTRIO_TEST_PDF_DIR=$dir/pdf
}

pantrio_cups_start
