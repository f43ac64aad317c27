#!/usr/bin/env bash
# Installs the built project into a temporary prefix and checks the tree and
# that the installed tool, started from anywhere, finds its pictures and logs
# where it should. Usage: check_install.sh BUILD_DIR SOURCE_DIR WITH_CTL PYTHON
# (WITH_CTL 1: the command-line companion is built and must be installed too;
# PYTHON: the interpreter the Python package is built for, "none" when it is
# not built).
set -euo pipefail
build="$1"
source="$2"
with_ctl="$3"
python="${4:-none}"
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
need_tools desktop-file-validate man
[ -r /usr/share/bash-completion/bash_completion ] ||
    { echo "SKIP: bash-completion is not installed (scripts/setup.sh installs it)"; exit "$SKIP"; }

work="$(realpath "$(mktemp -d)")"
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
bin="$prefix/bin/torvan60"
data="$prefix/share/torvan60"
[ -x "$bin" ] || fail "no executable $bin"
if [ "$with_ctl" = 1 ]; then
    [ -x "$prefix/bin/torvan60ctl" ] || fail "torvan60ctl is built but not installed"
fi

# The desktop entry: valid, starts the installed tool, names an icon the
# theme holds at every size, each PNG really of its folder's size.
entry="$prefix/share/applications/torvan60.desktop"
desktop-file-validate "$entry" || fail "desktop-file-validate rejects $entry"
exec_line="$(sed -n 's/^Exec=//p' "$entry")"
read -r -a exec_words <<<"$exec_line"
[ -x "$prefix/bin/${exec_words[0]}" ] || fail "Exec= starts ${exec_words[0]}, which is not installed"
grep -q '^Keywords=' "$entry" || fail "no Keywords in $entry"
icon="$(sed -n 's/^Icon=//p' "$entry")"
for size in 16 22 24 32 48 64 128 256; do
    png="$prefix/share/icons/hicolor/${size}x${size}/apps/$icon.png"
    [ -f "$png" ] || fail "no ${size}x${size} icon $png"
    # PNG header: width and height as big-endian 32-bit words at byte 16.
    read -r w1 w2 w3 w4 h1 h2 h3 h4 < <(od -An -tu1 -j16 -N8 "$png")
    [ $(((w1 << 24) | (w2 << 16) | (w3 << 8) | w4)) -eq "$size" ] &&
        [ $(((h1 << 24) | (h2 << 16) | (h3 << 8) | h4)) -eq "$size" ] ||
        fail "$png is not ${size}x${size}"
done

# The udev rule, unchanged.
cmp -s "$source/scripts/udev/70-torvan60.rules" "$prefix/lib/udev/rules.d/70-torvan60.rules" ||
    fail "udev rule missing or changed in lib/udev/rules.d"

# The documentation, whole.
expect_docs "$source" "$prefix/share/doc/torvan60"

# The systemd unit of torvan60ctl serve runs the tool of this prefix; its
# command works as systemd gives it. Its example settings go with it.
if [ "$with_ctl" = 1 ]; then
    unit="$prefix/lib/systemd/system/torvan60-serve@.service"
    check_unit "$unit" "$prefix/bin/torvan60ctl"
    [ -f "$(sed -n 's|^Documentation=file:||p' "$unit")" ] || fail "$unit names documentation that is not installed"
    run_unit_command "$unit"
    cmp -s "$source/scripts/systemd/serve.conf" "$prefix/share/doc/torvan60/serve.conf" ||
        fail "share/doc/torvan60/serve.conf not installed"
fi

# The manual pages and the completion, where man and bash-completion look
# under this prefix.
check_manual_and_completion "$prefix/share" "$with_ctl"

mkdir -p "$work/home" "$work/elsewhere" "$work/own/release" "$work/state"

# From an unrelated folder: pictures from the installed data folder, log in
# that folder, no per-user folder made.
start_check "$work/elsewhere" "$bin" || fail "--check failed: $(cat "$work/report" "$work/stderr")"
expect_pictures_from "$data"
expect_log_in "$work/elsewhere"
[ ! -e "$work/home/.local/state/torvan60" ] || fail "started from a shell, it made the per-user folder"

# A picture in release/ under the working folder wins over the installed one.
cp "$prefix/share/icons/hicolor/16x16/apps/$icon.png" "$work/own/release/Logo.png"
start_check "$work/own" "$bin" || fail "--check failed: $(cat "$work/report" "$work/stderr")"
[ "$(picture_file release/Logo.png)" = "$work/own/release/Logo.png" ] ||
    fail "release/Logo.png of the working folder not used: $(cat "$work/report")"
[ "$(picture_file release/TorvanLogo.png)" = "$data/release/TorvanLogo.png" ] ||
    fail "the other pictures should still come from $data: $(cat "$work/report")"

# As the desktop entry starts it: in ~/.local/state/torvan60, made for it,
# or under XDG_STATE_HOME when that is set.
start_check "$work/elsewhere" "$prefix/bin/${exec_words[0]}" "${exec_words[@]:1}" ||
    fail "--check failed: $(cat "$work/report" "$work/stderr")"
expect_pictures_from "$data"
expect_log_in "$work/home/.local/state/torvan60"
STATE_HOME="$work/state" start_check "$work/elsewhere" "$prefix/bin/${exec_words[0]}" "${exec_words[@]:1}" ||
    fail "--check failed: $(cat "$work/report" "$work/stderr")"
expect_log_in "$work/state/torvan60"

# The check itself fails when a picture is missing.
rm "$data/release/Logo.png"
if start_check "$work/elsewhere" "$bin"; then
    fail "--check passed with release/Logo.png missing"
fi
grep -qxF "picture release/Logo.png: not loaded" "$work/report" || fail "missing picture not reported: $(cat "$work/report")"
# The Python package, where the system's interpreter looks under a prefix
# other than /usr.
if [ "$python" != none ]; then
    version="$("$python" -c 'import sys; print("%d.%d" % sys.version_info[:2])')"
    expect_python_package "$python" "$prefix/lib/python$version/dist-packages"
fi
echo "installed tree and start from anywhere: OK"
