#!/usr/bin/env bash
# Builds the tool (installing what is missing first) and starts it from the
# working directory run/, which holds the pictures under release/ and where
# log.txt is written. Arguments are passed on, e.g. ./run.sh --simulate
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
"$here/scripts/setup.sh"
cmake -S "$here" -B "$here/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$here/build" --target torvan60 -j"$(nproc)"

workdir="$here/run"
mkdir -p "$workdir/release"
cp -f "$here"/resources/release/* "$workdir/release/" 2>/dev/null || true
cp -f "$here/resources/Torvan-IFU-Graphics2.ico" "$workdir/" 2>/dev/null || true

# Relative paths in the arguments (a trace file) stay relative to where the
# command was given.
args=()
prev=""
for a in "$@"; do
  if [ "$prev" = "--trace" ] && [[ "$a" != /* ]]; then
    a="$PWD/$a"
  elif [[ "$a" == --trace=* ]] && [[ "${a#--trace=}" != /* ]]; then
    a="--trace=$PWD/${a#--trace=}"
  fi
  args+=("$a")
  prev="$a"
done

cd "$workdir"
exec "$here/build/torvan60" "${args[@]}"
