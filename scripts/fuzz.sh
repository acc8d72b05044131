#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer and UndefinedBehaviorSanitizer)
# and runs each for SECONDS (default 60) from its seed corpus in fuzz/corpus/<target>/.
# Usage: bash scripts/fuzz.sh [SECONDS]
# Fails when a target finds a crash, a sanitizer report, a leak or a hang; the input
# that shows it is kept as <build dir>/fuzz-findings/<target>/crash-* (or leak-,
# timeout-). Inputs found on the way stay in <build dir>/fuzz-corpus/, not in git.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
dir=${VIDLUME_FUZZ_BUILD_DIR:-build-fuzz}
[[ "$seconds" =~ ^[0-9]+$ ]] || { echo "usage: $0 [SECONDS]" >&2; exit 2; }
scripts/install-deps.sh fuzz

cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DVIDLUME_FUZZ=ON >/dev/null
targets=()
for seeds in fuzz/corpus/*/; do
    targets+=("$(basename "$seeds")")
done
cmake --build "$dir" -j"$(nproc)" --target "${targets[@]}"

# Halt on the first report of either sanitizer, with the stack of a UBSan report.
export ASAN_OPTIONS=${ASAN_OPTIONS:-halt_on_error=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}

# Per target: the largest input and the time one input may take. The
# conversion gets real video sizes (64 KiB) and a limit well inside the
# suite's 20 s slot, so an input that keeps it busy shows as a timeout.
optionsFor() {
    case "$1" in
    fuzz_ConvertToMp4) echo "-max_len=65536 -timeout=5" ;;
    fuzz_DavListing) echo "-max_len=16384 -timeout=10" ;;
    *) echo "-max_len=4096 -timeout=10" ;;
    esac
}

failed=()
summary=""
for target in "${targets[@]}"; do
    corpus="$dir/fuzz-corpus/$target"
    findings="$dir/fuzz-findings/$target"
    log="$dir/fuzz-logs/$target.log"
    mkdir -p "$corpus" "$findings" "$(dirname "$log")"
    echo "Fuzzing $target for ${seconds}s"
    # New inputs go to the first folder; the seeds in the second stay as they are.
    # shellcheck disable=SC2046 # the options are words on purpose
    if "$dir/bin/$target" "$corpus" "fuzz/corpus/$target" -max_total_time="$seconds" $(optionsFor "$target") \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/" >"$log" 2>&1; then
        result=ok
    else
        result=FINDING
        failed+=("$target")
        tail -n 60 "$log" >&2
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    summary+=$(printf '%-24s %12s runs  %s' "$target" "${runs:-?}" "$result")$'\n'
done

printf '\n%s' "$summary"
if [[ ${#failed[@]} -gt 0 ]]; then
    echo "Findings in: ${failed[*]} (inputs in $dir/fuzz-findings/, logs in $dir/fuzz-logs/)" >&2
    exit 1
fi
