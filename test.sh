#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test headless.
# Arguments are passed on to ctest, except:
#   --sanitize   also build the tests with AddressSanitizer and
#                UndefinedBehaviorSanitizer (in build-asan/) and run them.
#   --qt6        also build on Qt 6 (in build-qt6/) and run the tests there.
# CI (the environment variable CI set, as CI runs it) always adds both passes.
# Every pass runs the tests side by side, as many at a time as the machine
# has cores (a -j among the arguments overrides it).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

sanitize=false
qt6=false
ctest_args=(-j"$(nproc)")
for arg in "$@"; do
  case "$arg" in
    --sanitize) sanitize=true ;;
    --qt6) qt6=true ;;
    *) ctest_args+=("$arg") ;;
  esac
done
case "${CI:-}" in "" | false | 0) ;; *) sanitize=true qt6=true ;; esac

"$here/scripts/setup.sh"
cmake -S "$here" -B "$here/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$here/build" -j"$(nproc)"
(cd "$here/build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure ${ctest_args[@]+"${ctest_args[@]}"})

# ---- Sanitizer pass: the same tests under ASan + UBSan, in build-asan/ ----
# Any report of either sanitizer fails the test that triggered it.
sanitizer_pass() {
  local dir="$here/build-asan"
  local flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
  echo "== Sanitizer pass (ASan + UBSan) in $dir"
  cmake -S "$here" -B "$dir" -DCMAKE_BUILD_TYPE=Debug -DTORVAN_BENCHMARKS=OFF \
    -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
  cmake --build "$dir" -j"$(nproc)"
  (cd "$dir" &&
    ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1" \
    LSAN_OPTIONS="suppressions=$here/scripts/lsan.supp:print_suppressions=0" \
    UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure ${ctest_args[@]+"${ctest_args[@]}"})
}

# ---- Qt 6 pass: the tests on a Qt 6 build in build-qt6/, no benchmarks ----
qt6_pass() {
  echo "== Qt 6 build (build-qt6)"
  "$here/scripts/setup.sh" --qt6
  cmake -S "$here" -B "$here/build-qt6" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTORVAN_QT=6 \
    -DTORVAN_BENCHMARKS=OFF >/dev/null
  cmake --build "$here/build-qt6" -j"$(nproc)"
  (cd "$here/build-qt6" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure ${ctest_args[@]+"${ctest_args[@]}"})
}

if [ "$sanitize" = true ]; then
  sanitizer_pass
fi
if [ "$qt6" = true ]; then
  qt6_pass
fi
