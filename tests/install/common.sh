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

# expect_python_package PYTHON DIR: the package torvan60 is installed in DIR
# as it should be, and PYTHON imports it from there, started from elsewhere,
# and drives a simulated board with it.
expect_python_package() {
    local python="$1" dir="$2" name
    for name in __init__.py __init__.pyi py.typed _errors.py _rpc.py _served.py; do
        [ -f "$dir/torvan60/$name" ] || fail "torvan60/$name not installed in $dir"
    done
    compgen -G "$dir/torvan60/_core*.so" >/dev/null || fail "the module torvan60._core is not installed in $dir"
    [ ! -e "$dir/torvan60/__pycache__" ] || fail "$dir/torvan60 carries a __pycache__ of the build"
    mkdir -p "$work/elsewhere"
    (cd "$work/elsewhere" && PYTHONPATH="$dir" PYTHONDONTWRITEBYTECODE=1 "$python" -c '
import sys, torvan60
assert torvan60.__file__.startswith(sys.argv[1]), torvan60.__file__
with torvan60.open(simulate=True) as board:
    assert board.move_to(200, max_speed=50000, accel=200000, decel=200000) == 200
print(torvan60.__version__)
' "$dir") >"$work/python.out" 2>&1 || fail "the installed package does not work: $(cat "$work/python.out")"
    grep -qx "1.23" "$work/python.out" || fail "the installed package has another version: $(cat "$work/python.out")"
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
    mkdir -p -m 700 "$work/runtime"
    XDG_RUNTIME_DIR="$work/runtime" "${words[@]}" >/dev/null 2>"$work/serve.err" &
    pid=$!
    for i in $(seq 600); do
        grep -q "Serving board SIM60-000001" "$work/serve.err" && grep -q "not reachable" "$work/serve.err" && break
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

# check_manual_and_completion SHARE WITH_CTL: the manual pages under
# SHARE/man/man1, found and shown by man as "man NAME" shows them, and (with
# the command-line companion) its bash completion where bash-completion looks
# for it, loaded by bash-completion's own loader and completing a command.
check_manual_and_completion() {
    local share="$1" with_ctl="$2" pages=(torvan60) page where
    [ "$with_ctl" = 1 ] && pages+=(torvan60ctl)
    for page in "${pages[@]}"; do
        [ -f "$share/man/man1/$page.1.gz" ] || fail "no manual page $share/man/man1/$page.1.gz"
        where="$(MANPATH="$share/man" man -w "$page")" || fail "man does not find $page under $share/man"
        [ "$where" = "$share/man/man1/$page.1.gz" ] || fail "man $page finds $where"
        MANPATH="$share/man" MANWIDTH=100 man "$page" 2>"$work/man.err" >"$work/man.txt" || fail "man $page failed"
        grep -q "^SYNOPSIS" "$work/man.txt" && [ ! -s "$work/man.err" ] ||
            fail "man $page: $(head -c 500 "$work/man.txt" "$work/man.err")"
    done
    [ "$with_ctl" = 1 ] || return 0
    grep -q "^ *serve \[--mqtt URL" "$work/man.txt" || fail "man torvan60ctl does not show serve"
    # Every command the installed tool knows has its section in the page.
    local commands command
    commands="$("$share/../bin/torvan60ctl" help | sed -n '/^Commands:/,/^$/s/^  \([a-z-]\{1,\}\) .*/\1/p')"
    [ "$(wc -w <<<"$commands")" -gt 10 ] || fail "torvan60ctl help lists no commands: $commands"
    for command in $commands; do
        grep -q "^   $command\$" "$work/man.txt" || fail "man torvan60ctl has no section for $command"
    done
    local completion="$share/bash-completion/completions/torvan60ctl"
    [ -f "$completion" ] || fail "no bash completion $completion"
    XDG_DATA_DIRS="$share" bash --norc -c '
        . /usr/share/bash-completion/bash_completion
        __load_completion torvan60ctl || exit 1
        COMP_WORDS=(torvan60ctl firmw); COMP_CWORD=1
        "$(complete -p torvan60ctl | sed "s/.* -F \([^ ]*\) .*/\1/")" torvan60ctl
        echo "${COMPREPLY[*]}"
        COMP_WORDS=(torvan60ctl ""); COMPREPLY=()
        "$(complete -p torvan60ctl | sed "s/.* -F \([^ ]*\) .*/\1/")" torvan60ctl
        printf "%s\n" "${COMPREPLY[@]}" | LC_ALL=C sort' >"$work/completion.out" 2>&1 ||
        fail "bash-completion does not load $completion: $(cat "$work/completion.out")"
    [ "$(head -n 1 "$work/completion.out")" = firmware ] ||
        fail "the completion completes: $(cat "$work/completion.out")"
    # The first word offers every command.
    [ "$(tail -n +2 "$work/completion.out" | grep -v '^-')" = "$(LC_ALL=C sort <<<"$commands")" ] ||
        fail "the completion offers $(tail -n +2 "$work/completion.out" | tr '\n' ' '), not every command"
}

# expect_docs SOURCE DOCDIR: the README and every page of docs/ in the
# source tree are in DOCDIR as they are there (README.md, docs/NAME.md).
expect_docs() {
    local source="$1" doc="$2" page
    cmp -s "$source/README.md" "$doc/README.md" || fail "README.md not installed in $doc"
    for page in "$source"/docs/*.md; do
        cmp -s "$page" "$doc/docs/$(basename "$page")" || fail "docs/$(basename "$page") not installed in $doc"
    done
}
