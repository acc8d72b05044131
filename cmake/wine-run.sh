#!/usr/bin/env bash
# Runs a Windows program under Wine for the build and ctest, its standard output
# and error through files of its own. Wine hands a program's standard error on
# to every process it starts, whatever handles that process is given; one that
# outlives the program (a console host Wine started for a child, say) would
# otherwise keep ctest's pipe open, and ctest waits on that pipe until its
# timeout although the program has ended.
#   wine-run.sh PROGRAM [ARGUMENT...]
set -u
dir=$(mktemp -d "${TMPDIR:-/tmp}/vidlume-wine-run.XXXXXX") || exit 1
trap 'rm -rf "$dir"' EXIT
wine "$@" >"$dir/out" 2>"$dir/err" </dev/null
status=$?
cat "$dir/out"
cat "$dir/err" >&2
exit "$status"
