#!/usr/bin/env bash
# Redraws the pictures the tool reads at run time from the working directory:
#   Torvan-IFU-Graphics2.ico         window icon
#   release/TorvanLogo.png           logo of the About page (form picture)
#   release/Logo.png                 logo shown over it at start-up
#   release/Connection diagram.png   wiring diagram of the board
#   release/Driver timing.png        chopper timing of the advanced driver setup
#   icons/hicolor/NxN/apps/torvan60.png  desktop menu icon, several sizes
# They are drawn by a small Qt program (generator/main.cpp) and kept in the
# repository; run this after changing the drawings.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="${TMPDIR:-/tmp}/torvan-pictures-build"
cmake -S "$here/generator" -B "$build" -DTORVAN_QT="${TORVAN_QT:-5}" >/dev/null
cmake --build "$build" -j2 >/dev/null
QT_QPA_PLATFORM=offscreen "$build/draw_pictures" "$here"
