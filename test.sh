#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test headless.
# Arguments go to ctest, except --qt6 (see the Qt 6 pass below).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

# ---- Qt 6 pass: with --qt6, or when CI is set (as CI runs this), the tests
# run again on a Qt 6 build in build-qt6; tests only, no benchmarks.
qt6=false
case "${CI:-}" in "" | false | 0) ;; *) qt6=true ;; esac
ctest_args=()
for arg in "$@"; do
  if [ "$arg" = --qt6 ]; then qt6=true; else ctest_args+=("$arg"); fi
done
qt6_pass() {
  echo "== Qt 6 build (build-qt6)"
  "$here/scripts/setup.sh" --qt6
  cmake -S "$here" -B "$here/build-qt6" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTORVAN_QT=6 \
    -DTORVAN_BENCHMARKS=OFF >/dev/null
  cmake --build "$here/build-qt6" -j"$(nproc)"
  (cd "$here/build-qt6" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure "${ctest_args[@]}")
}
# ---- end of the Qt 6 pass

"$here/scripts/setup.sh"
cmake -S "$here" -B "$here/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$here/build" -j"$(nproc)"
(cd "$here/build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure "${ctest_args[@]}")

if $qt6; then
  qt6_pass
fi
