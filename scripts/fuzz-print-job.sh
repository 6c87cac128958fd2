#!/bin/sh
# Builds the print-job fuzz target with clang's libFuzzer (plus AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs it for a bounded time. scripts/test.sh (CI)
# runs it for a minute; a crash, a leak or an undefined behaviour fails it.
#
#   scripts/fuzz-print-job.sh [SECONDS]       default 120
#
# Needs clang and its runtime (Debian: apt-get install -y clang libclang-rt-14-dev,
# where the fuzzer runtime is not part of clang's own package; both are in
# scripts/setup.sh's list) and the GTK headers.
# The corpus and any crash files stay in $FUZZ_DIR (default build-fuzz/).
set -eu

seconds=${1:-120}
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${FUZZ_DIR:-$root/build-fuzz}
corpus=$dir/corpus
mkdir -p "$corpus"

clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I"$root/common" \
    "$root/fuzz/print_job_fuzz.cpp" "$root/common/print_job.cpp" "$root/common/print_job_wire.cpp" \
    -o "$dir/print_job_fuzz"

# Seeds: well-formed jobs with style codes, pound and euro bytes, and a bare line feed.
seed() { printf "$2" > "$corpus/seed-$1"; }
seed total '\015\000\000\000\000\002\000\041\025\000\010\000\005\000\000\000TOTAL\012'
seed bold '\013\000\000\000\000\002\000\041\025\000\010\000\003\000\000\000\033\124X'
seed center '\015\000\000\000\000\002\000\041\025\000\010\000\005\000\000\000\033\141\000A\012'
seed money '\016\000\000\000\000\002\000\041\025\000\010\000\006\000\000\000\022\223\2401\012'
seed feed '\011\000\000\000\000\002\000\041\025\000\010\000\001\000\000\000\012'
seed empty '\010\000\000\000\000\002\000\041\025\000\010\000\001\000\000\000'

cd "$dir"
exec ./print_job_fuzz -max_total_time="$seconds" -max_len=512 -print_final_stats=1 "$corpus"
