#!/usr/bin/env bash
# Builds the fuzz targets (tests/fuzz/) with clang and libFuzzer under
# AddressSanitizer and UndefinedBehaviorSanitizer, in build-fuzz/, and runs
# each for the given number of seconds (default 60):
#
#     scripts/fuzz.sh [SECONDS] [TARGET...]
#
# targets: reports settings_line settings_file options cli_options service
# recording sparkplug_command (all when none is named).
#
# Each run starts from the seed corpus in tests/fuzz/corpus/<target>/ and
# keeps what it finds in build-fuzz/corpus/<target>/. A crashing input is
# written to build-fuzz/findings/<target>/; once its fault is mended, copy it
# into tests/fuzz/corpus/<target>/ so that the normal build replays it.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-60}"
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(reports settings_line settings_file options cli_options service recording sparkplug_command)
fi

"$here/scripts/setup.sh" --fuzz

dir="$here/build-fuzz"
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake -S "$here" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTORVAN_LIBFUZZER=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
cmake --build "$dir" -j2 --target "${targets[@]/#/fuzz_}"

status=0
for t in "${targets[@]}"; do
  mkdir -p "$dir/corpus/$t" "$dir/findings/$t"
  echo "== fuzz_$t for ${seconds}s"
  if ! (cd "$dir/findings/$t" &&
    ASAN_OPTIONS="detect_leaks=0:abort_on_error=1" UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
      QT_QPA_PLATFORM=offscreen "$dir/tests/fuzz/fuzz_$t" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$dir/findings/$t/" "$dir/corpus/$t" "$here/tests/fuzz/corpus/$t" 2>&1 |
      tee "$dir/findings/$t.log" | grep -E "^(#[0-9]+ +DONE|stat::number_of_executed_units|==[0-9]+==ERROR|SUMMARY)|runtime error"); then
    :
  fi
  if ls "$dir/findings/$t"/crash-* "$dir/findings/$t"/leak-* "$dir/findings/$t"/timeout-* >/dev/null 2>&1; then
    echo "   findings in $dir/findings/$t/"
    status=1
  fi
done
exit $status
