#!/usr/bin/env bash
# Builds the Debian package of the tool into dist/:
#   scripts/package.sh          Qt 5 build  -> dist/torvan60_<version>_<arch>.deb
#   scripts/package.sh --qt6    Qt 6 build  -> dist/qt6/torvan60_<version>_<arch>.deb
# Installs what is missing first. The package installs under /usr, with the
# README and docs/ in /usr/share/doc/torvan60/; its dependencies are worked
# out from the executables by dpkg-shlibdeps. Install
# it with: sudo apt-get install ./dist/torvan60_<version>_<arch>.deb
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
qt=5
for arg in "$@"; do
  case "$arg" in
    --qt6) qt=6 ;;
    *) echo "usage: $0 [--qt6]" >&2; exit 2 ;;
  esac
done

if [ "$qt" = 6 ]; then
  "$here/scripts/setup.sh" --qt6
  build="$here/build-package-qt6"
  dist="$here/dist/qt6"
else
  "$here/scripts/setup.sh"
  build="$here/build-package"
  dist="$here/dist"
fi

# A build of its own, installed under /usr, without tests and benchmarks.
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
  -DTORVAN_QT="$qt" -DTORVAN_TESTS=OFF -DTORVAN_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
mkdir -p "$dist"
(cd "$build" && cpack -G DEB -B "$dist" >/dev/null)
rm -rf "$dist/_CPack_Packages"
deb="$(ls -t "$dist"/torvan60_*.deb | head -n 1)"
dpkg-deb -f "$deb" Package Version Depends
echo "Built $deb"
