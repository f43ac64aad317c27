#!/bin/sh
# Runs a command with a runtime folder of its own ($XDG_RUNTIME_DIR, where
# holders put their sockets and clients look for them), removed afterwards.
# Tests run side by side: none may find a holder that another one started.
# The folder is short-named under the temporary folder, as a socket's path
# must be short.
folder=$(mktemp -d "${TMPDIR:-/tmp}/torvan60-test-XXXXXX") || exit 1
trap 'rm -rf "$folder"' EXIT
XDG_RUNTIME_DIR=$folder "$@"
