# Running the fuzz targets of fuzz/ (built by the preset "fuzz"). Sourced by scripts/test and scripts/campaign.
#
#   kes_fuzz_targets                        the target names, one a line
#   kes_run_fuzzer NAME SECONDS [ARGS...]   runs build/fuzz/fuzz/kes_fuzz_NAME for SECONDS on its corpus
#                                           (build/fuzz-corpus/NAME, seeded from fuzz/corpus/NAME) with the
#                                           dictionary; prints "fuzz NAME: … execs, cov …, … crashes"; fails on
#                                           any crash, leak or sanitizer report (the input is kept in
#                                           build/fuzz-artifacts/). Its output goes to build/fuzz-logs/NAME.log
#                                           (or $KES_FUZZ_LOG).
# Variables set by kes_run_fuzzer for its caller: kes_fuzz_execs, kes_fuzz_cov, kes_fuzz_crashes.

kes_fuzz_targets() {
    echo state_document key_names page_messages local_requests settings_files legacy_config | tr ' ' '\n'
}

# The longest input worth trying: key texts are short, documents and requests are not (a request's body can
# still reach 1 MiB and beyond through the target's own padding).
kes_fuzz_max_len() {
    case $1 in
    key_names) echo 256 ;;
    *) echo 16384 ;;
    esac
}

# kes_fuzz_stats LOG: sets kes_fuzz_execs, kes_fuzz_cov and kes_fuzz_crashes from a fuzzer's output.
kes_fuzz_stats() {
    kes_fuzz_execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$1" | tail -1)
    kes_fuzz_cov=$(grep -o 'cov: [0-9]*' "$1" | tail -1 | cut -d' ' -f2)
    # libFuzzer keeps the input of every crash, leak, sanitizer report, time-out and memory excess.
    kes_fuzz_crashes=$(grep -c 'Test unit written to' "$1")
    kes_fuzz_execs=${kes_fuzz_execs:-0}
    kes_fuzz_cov=${kes_fuzz_cov:-0}
}

kes_run_fuzzer() {
    local name=$1 seconds=$2
    shift 2
    local binary=build/fuzz/fuzz/kes_fuzz_$name corpus=build/fuzz-corpus/$name
    local artifacts=build/fuzz-artifacts log=${KES_FUZZ_LOG:-build/fuzz-logs/$name.log}
    [ -x "$binary" ] || { echo "fuzz $name: $binary does not exist (build the preset fuzz)"; return 1; }
    mkdir -p "$corpus" "$artifacts" "$(dirname "$log")"
    local status=0
    ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0} \
        UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1} \
        "$binary" -max_total_time="$seconds" -print_final_stats=1 -dict=fuzz/kestrava.dict \
        -artifact_prefix="$artifacts/$name-" -timeout=30 -rss_limit_mb=3072 -max_len="$(kes_fuzz_max_len "$name")" "$@" \
        "$corpus" "fuzz/corpus/$name" >"$log" 2>&1 || status=$?
    kes_fuzz_stats "$log"
    if ((status != 0)) && ((kes_fuzz_crashes == 0)); then kes_fuzz_crashes=1; fi
    echo "fuzz $name: $kes_fuzz_execs execs, cov $kes_fuzz_cov, corpus $(find "$corpus" -type f | wc -l) inputs, $kes_fuzz_crashes crashes, ${seconds} s"
    if ((status != 0 || kes_fuzz_crashes != 0)); then
        echo "---- $log (end)"
        grep -v '^#[0-9]' "$log" | tail -60
        return 1
    fi
}
