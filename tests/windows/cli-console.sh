#!/usr/bin/env bash
# vidlume-cli.exe under Wine in a terminal, which Wine turns into the
# program's console: a name in any script shows as it is on standard output
# (the new folder), on standard error (a file left out) and in the progress bar.
#   cli-console.sh BIN_DIR WORK_DIR
set -euo pipefail
bin=$1
work=$2
rm -rf "$work"
mkdir -p "$work"
name=$'\xe6\x9d\xb1\xe4\xba\xac\xc3\xa9t\xc3\xa9' # Tokyo, then "été"
printf 'FLV' >"$work/$name.flv"

windows() { winepath -w "$1" 2>/dev/null; }
folder="$(windows "$work")"
cat >"$work/run.sh" <<SCRIPT
stty cols 300
wine '$bin/vidlume-cli.exe' --no-html5 --thumbnail-image '$folder\\$name.jpg' --out '$folder\\out' '$folder\\$name.flv'
echo "exit \$?"
SCRIPT
# script(1) gives the program a terminal of its own; what the terminal
# received is read without the console's escape sequences and carriage returns.
LC_ALL=C.UTF-8 script -qec "bash '$work/run.sh'" /dev/null </dev/null >"$work/typescript"
shown=$(sed 's/\x1b\[[?0-9;]*[a-zA-Z]//g' "$work/typescript" | tr -d '\r')
printf '%s\n' "$shown"
fail=0
for expected in "$folder\\out\\$name" "the file \"$folder\\$name.jpg\" does not exist" "Copying $name.flv" "exit 3"; do
    if [[ $shown != *"$expected"* ]]; then
        echo "not shown: $expected"
        fail=1
    fi
done
[[ -d "$work/out/$name" ]] || { echo "no folder $name was made"; fail=1; }
exit $fail
