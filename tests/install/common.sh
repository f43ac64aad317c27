# Helpers of the installation tests, sourced by them.
# Exit code that CTest reports as a skipped test.
SKIP=77

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

need_tools() {
    for tool in "$@"; do
        if ! command -v "$tool" >/dev/null 2>&1; then
            echo "SKIP: $tool is not installed (scripts/setup.sh installs it)"
            exit "$SKIP"
        fi
    done
}

# start_check DIR BIN [ARG...]: runs BIN --simulate --check [ARG...] headless
# in DIR with a fresh HOME ($work/home) and no XDG_STATE_HOME unless one is
# exported in STATE_HOME; its report goes to $work/report.
start_check() {
    local dir="$1" bin="$2"
    shift 2
    (
        cd "$dir"
        unset XDG_STATE_HOME
        [ -n "${STATE_HOME:-}" ] && export XDG_STATE_HOME="$STATE_HOME"
        HOME="$work/home" QT_QPA_PLATFORM=offscreen "$bin" --simulate --check "$@" >"$work/report" 2>"$work/stderr"
    )
}

# picture_file NAME: the file the last report says NAME was loaded from.
picture_file() {
    sed -n "s|^picture $1: ||p" "$work/report"
}

# The pictures the window reads, by their names relative to where it runs.
PICTURES=(Torvan-IFU-Graphics2.ico release/TorvanLogo.png "release/Connection diagram.png" release/Logo.png
    "release/Driver timing.png")

# expect_pictures_from DATADIR: the last report lists every picture, each
# loaded from DATADIR.
expect_pictures_from() {
    local data="$1" name
    [ "$(grep -c '^picture ' "$work/report")" -eq ${#PICTURES[@]} ] ||
        fail "expected ${#PICTURES[@]} pictures in: $(cat "$work/report")"
    for name in "${PICTURES[@]}"; do
        [ "$(picture_file "$name")" = "$data/$name" ] ||
            fail "$name: expected $data/$name, report: $(cat "$work/report")"
    done
}

# expect_log_in DIR: the last start wrote its start line to DIR/log.txt and
# reported that file.
expect_log_in() {
    grep -q "Application started: Torvan60 " "$1/log.txt" 2>/dev/null || fail "no start line in $1/log.txt"
    grep -qxF "log: $1/log.txt" "$work/report" || fail "log reported elsewhere: $(cat "$work/report")"
}

# check_unit UNIT BIN: the systemd template unit of torvan60ctl serve starts
# BIN on the board of its instance with the broker URL and the further
# options from its configuration files.
check_unit() {
    local unit="$1" bin="$2" exec_start
    [ -f "$unit" ] || fail "no systemd unit $unit"
    exec_start="$(sed -n 's/^ExecStart=//p' "$unit")"
    [ "$exec_start" = "$bin -d %i serve --mqtt \${MQTT_URL} \$MQTT_OPTIONS" ] ||
        fail "$unit: ExecStart=$exec_start"
    grep -qxF "EnvironmentFile=-/etc/torvan60/serve.conf" "$unit" || fail "$unit reads no /etc/torvan60/serve.conf"
    grep -qxF "EnvironmentFile=-/etc/torvan60/serve-%i.conf" "$unit" || fail "$unit reads no per-board file"
    grep -qxF "WantedBy=multi-user.target" "$unit" || fail "$unit cannot be enabled"
}

# run_unit_command UNIT: runs the unit's command as systemd would for the
# simulated board, with an unreachable broker and --simulate as the further
# options; it must serve the board, keep trying the broker and end cleanly
# on SIGTERM.
run_unit_command() {
    local unit="$1" command pid i
    command="$(sed -n 's/^ExecStart=//p' "$unit")"
    command="${command//%i/SIM60-000001}"
    command="${command//\$\{MQTT_URL\}/mqtt://127.0.0.1:1}"
    command="${command//\$MQTT_OPTIONS/--simulate}"
    read -r -a words <<<"$command"
    "${words[@]}" >/dev/null 2>"$work/serve.err" &
    pid=$!
    for i in $(seq 600); do
        grep -q "not reachable" "$work/serve.err" && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    grep -q "Serving board SIM60-000001" "$work/serve.err" && grep -q "not reachable" "$work/serve.err" || {
        kill "$pid" 2>/dev/null
        fail "the unit's command did not serve the board: $(cat "$work/serve.err")"
    }
    kill -TERM "$pid"
    wait "$pid" || fail "the unit's command did not end cleanly on SIGTERM: $(cat "$work/serve.err")"
}
