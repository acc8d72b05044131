# Timing helpers for the benchmark scripts; source it after setting $work, a
# scratch folder that the caller removes.

# Runs a command with its output discarded; prints "<wall seconds> <peak RSS KiB>".
timed() {
    local start end
    start=$EPOCHREALTIME
    /usr/bin/time -f %M -o "$work/rss" "$@" >/dev/null 2>&1
    end=$EPOCHREALTIME
    echo "$start $end $(tail -n 1 "$work/rss")" | awk '{ printf "%.6f %d\n", $2 - $1, $3 }'
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
maximum() { sort -g | tail -n 1; }
