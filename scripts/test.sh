#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite three times:
# a normal build, with AddressSanitizer + UndefinedBehaviorSanitizer, and with
# ThreadSanitizer. GUI tests run under Xvfb. After the first, the print-job
# parser's fuzzer runs for a minute (a crash fails the run), and the Debian
# package is built, installed, tried and removed (package-test.sh).
#
# KELVRA_JOBS: parallel compiles (default 2). KELVRA_TEST_JOBS: tests run side by
# side (default 2; each test process has its own Xvfb, network namespace and
# temporary folder, and most of a GUI test's time is spent waiting for the window
# or the terminal). KELVRA_FUZZ_SECONDS: the fuzzer's time (default 60, 0: none).
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
install_missing_packages
jobs=${KELVRA_JOBS:-2}
test_jobs=${KELVRA_TEST_JOBS:-2}

run_suite() { # DIR LABEL [ctest options...]
    local dir=$1 label=$2
    shift 2
    echo "== $label"
    ninja -C "$dir" -j"$jobs"
    (cd "$dir" && ctest --output-on-failure --timeout 900 -j"$test_jobs" "$@")
}

# The normal build also runs the GUI tests once in a shuffled order (gui_tests_shuffled;
# its output starts with the seed).
configure_build "$KELVRA_SRC/build"
run_suite "$KELVRA_SRC/build" "tests"

fuzz_seconds=${KELVRA_FUZZ_SECONDS:-60}
if [ "$fuzz_seconds" -gt 0 ]; then
    echo "== the print-job parser's fuzzer, $fuzz_seconds s"
    FUZZ_DIR="$KELVRA_SRC/build-fuzz" "$KELVRA_SRC/scripts/fuzz-print-job.sh" "$fuzz_seconds"
fi

# The Debian package: built (without its checks: the suite above ran them),
# lintian, installed, one shipped scenario played, the console started, removed.
"$KELVRA_SRC/scripts/package-test.sh"

configure_build "$KELVRA_SRC/build-asan" -DKELVRA_SANITIZE=address -DKELVRA_BUILD_BENCH=OFF
run_suite "$KELVRA_SRC/build-asan" "tests under AddressSanitizer and UndefinedBehaviorSanitizer" \
    -LE shuffled

configure_build "$KELVRA_SRC/build-tsan" -DKELVRA_SANITIZE=thread -DKELVRA_BUILD_BENCH=OFF
TSAN_OPTIONS="halt_on_error=1 suppressions=$KELVRA_SRC/tests/tsan.supp" \
    run_suite "$KELVRA_SRC/build-tsan" "tests under ThreadSanitizer" -LE shuffled
