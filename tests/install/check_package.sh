#!/usr/bin/env bash
# Builds the Debian package from the built project and checks its file list,
# its Depends (worked out by dpkg-shlibdeps), its udev trigger, and that the
# unpacked tool finds its pictures.
# Usage: check_package.sh BUILD_DIR QT_MAJOR WITH_CTL PYTHON (as for
# check_install.sh)
set -euo pipefail
build="$1"
qt="$2"
with_ctl="$3"
python="${4:-none}"
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
need_tools cpack dpkg-deb dpkg-shlibdeps file man
[ -r /usr/share/bash-completion/bash_completion ] ||
    { echo "SKIP: bash-completion is not installed (scripts/setup.sh installs it)"; exit "$SKIP"; }

work="$(realpath "$(mktemp -d)")"
trap 'rm -rf "$work"' EXIT
# The tests run on a finished build: CPack is told to skip its build step
# (with Makefiles a walk over every target of the project that finds nothing
# to do, hundreds of processes, most of this test's time on a loaded
# machine). A generator without such a step is named for that; the package
# is made from the same install rules either way.
cpack -G DEB -D CPACK_CMAKE_GENERATOR=Ninja --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
    fail "cpack failed: $(cat "$work/cpack.log")"
debs=("$work"/out/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one .deb, got: ${debs[*]}"
deb="${debs[0]}"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = torvan60 ] || fail "Package: $(field Package)"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture: $(field Architecture)"
[[ "$(field Version)" == 1.23-* ]] || fail "Version: $(field Version)"

# Files: everything under /usr, nothing in /usr/local.
dpkg-deb -c "$deb" | awk '{ $1=$2=$3=$4=$5=""; sub(/^ +/, ""); print }' >"$work/files"
for f in ./usr/bin/torvan60 ./usr/share/applications/torvan60.desktop \
    ./usr/share/icons/hicolor/16x16/apps/torvan60.png ./usr/share/icons/hicolor/48x48/apps/torvan60.png \
    ./usr/share/icons/hicolor/256x256/apps/torvan60.png \
    ./usr/lib/udev/rules.d/70-torvan60.rules ./usr/share/man/man1/torvan60.1.gz; do
    grep -qxF "$f" "$work/files" || fail "$f not in the package: $(cat "$work/files")"
done
for f in "${PICTURES[@]}"; do
    grep -qxF "./usr/share/torvan60/$f" "$work/files" || fail "picture $f not in the package"
done
if [ "$with_ctl" = 1 ]; then
    grep -qxF ./usr/bin/torvan60ctl "$work/files" || fail "torvan60ctl is built but not in the package"
    for f in ./usr/lib/systemd/system/torvan60-serve@.service ./usr/share/doc/torvan60/serve.conf \
        ./usr/share/man/man1/torvan60ctl.1.gz ./usr/share/bash-completion/completions/torvan60ctl; do
        grep -qxF "$f" "$work/files" || fail "$f not in the package"
    done
fi
if grep -v -e '^\./$' -e '^\./usr/' "$work/files" | grep -q . || grep -q '^\./usr/local' "$work/files"; then
    fail "files outside /usr: $(cat "$work/files")"
fi

# Depends: the libraries the executable links, as Debian names them.
depends="$(field Depends)"
if [ "$qt" = 6 ]; then
    expected=(libqt6core6 libqt6widgets6 libqcustomplot2.1-qt6)
else
    expected=(libqt5core5a libqt5widgets5 libqcustomplot2.1)
fi
expected+=(libhidapi-hidraw0 libc6 libstdc++6)
[ "$with_ctl" = 1 ] && expected+=(libmosquitto1)
for package in "${expected[@]}"; do
    [[ ", $depends," == *", $package "* || ", $depends," == *", $package,"* ]] ||
        fail "Depends lacks $package: $depends"
done
# The Python module runs on the Python version it was built for only.
if [ "$python" != none ]; then
    read -r major minor < <("$python" -c 'import sys; print(*sys.version_info[:2])')
    for dependency in "python3 (>= $major.$minor~)" "python3 (<< $major.$((minor + 1)))"; do
        [[ ", $depends," == *", $dependency,"* ]] || fail "Depends lacks $dependency: $depends"
    done
fi

# The udev rule takes effect on install.
dpkg-deb -e "$deb" "$work/control"
[ -x "$work/control/postinst" ] || fail "no executable postinst"
grep -q "udevadm trigger" "$work/control/postinst" || fail "postinst does not trigger udev"
sh -n "$work/control/postinst" || fail "postinst is not valid sh"

# Unpacked anywhere, the tool finds the pictures the package carries; the
# serve unit names the tool where the package puts it.
dpkg-deb -x "$deb" "$work/root"
expect_docs "$(dirname "${BASH_SOURCE[0]}")/../.." "$work/root/usr/share/doc/torvan60"
if [ "$with_ctl" = 1 ]; then
    check_unit "$work/root/usr/lib/systemd/system/torvan60-serve@.service" /usr/bin/torvan60ctl
    grep -q "daemon-reload" "$work/control/postinst" || fail "postinst does not tell systemd about the unit"
fi
check_manual_and_completion "$work/root/usr/share" "$with_ctl"
mkdir -p "$work/home" "$work/elsewhere"
start_check "$work/elsewhere" "$work/root/usr/bin/torvan60" ||
    fail "--check failed: $(cat "$work/report" "$work/stderr")"
expect_pictures_from "$work/root/usr/share/torvan60"
expect_log_in "$work/elsewhere"
# Debian's interpreter finds the package in its own folder under /usr.
if [ "$python" != none ]; then
    grep -qxF ./usr/lib/python3/dist-packages/torvan60/__init__.py "$work/files" ||
        fail "the Python package is not in the package's /usr/lib/python3/dist-packages"
    expect_python_package "$python" "$work/root/usr/lib/python3/dist-packages"
fi
echo "Debian package $(basename "$deb"): OK"
