#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite three times:
# a normal build, with AddressSanitizer + UndefinedBehaviorSanitizer, and the
# threaded tests with ThreadSanitizer. GUI tests run under Xvfb. After the first,
# the Debian package is built, installed, tried and removed (package-test.sh).
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
install_missing_packages
jobs=${KELVRA_JOBS:-2}

run_suite() { # DIR LABEL [ctest options...]
    local dir=$1 label=$2
    shift 2
    echo "== $label"
    ninja -C "$dir" -j"$jobs"
    (cd "$dir" && ctest --output-on-failure --timeout 900 "$@")
}

# The normal build also runs the GUI tests once in a shuffled order (gui_tests_shuffled;
# its output starts with the seed).
configure_build "$KELVRA_SRC/build"
run_suite "$KELVRA_SRC/build" "tests"

# The Debian package: built (without its checks: the suite above ran them),
# lintian, installed, one shipped scenario played, the console started, removed.
"$KELVRA_SRC/scripts/package-test.sh"

configure_build "$KELVRA_SRC/build-asan" -DKELVRA_SANITIZE=address -DKELVRA_BUILD_BENCH=OFF
run_suite "$KELVRA_SRC/build-asan" "tests under AddressSanitizer and UndefinedBehaviorSanitizer" \
    -LE shuffled

configure_build "$KELVRA_SRC/build-tsan" -DKELVRA_SANITIZE=thread -DKELVRA_BUILD_BENCH=OFF
TSAN_OPTIONS="halt_on_error=1 suppressions=$KELVRA_SRC/tests/tsan.supp" \
    run_suite "$KELVRA_SRC/build-tsan" "threaded tests under ThreadSanitizer" -L threads
