#!/bin/sh
# Plays scenarios with kelvra-run on a simulated terminal of their own: no step
# times, a fresh state folder (batch, clock, settings) removed afterwards, and none
# of the testers' switches (host down, disabled applications, failed swipes).
#
#   run_scenarios.sh KELVRA_RUN REPORT SCENARIO|FOLDER...
#       plays the scenarios (a folder: its *.yaml in name order), writes the JUnit
#       report; exits as kelvra-run does.
#   run_scenarios.sh --broken KELVRA_RUN REPORT SCENARIO STEP EXPECTED ACTUAL
#       plays a scenario with one wrong expectation: passes when kelvra-run exits
#       with 1 and its output names the failing step, the expected and the actual
#       value.
set -u

broken=0
if [ "${1:-}" = "--broken" ]; then
    broken=1
    shift
fi
if [ $# -lt 3 ] || { [ $broken = 1 ] && [ $# -ne 6 ]; }; then
    echo "usage: $0 [--broken] KELVRA_RUN REPORT SCENARIO... [STEP EXPECTED ACTUAL]" >&2
    exit 2
fi
runner=$1
report=$2
shift 2

state=$(mktemp -d "${TMPDIR:-/tmp}/kelvra-scenarios.XXXXXX") || exit 2
trap 'rm -rf "$state"' EXIT
trap 'exit 2' INT TERM
export KORVEX_SIM_DELAY=0 KORVEX_SIM_STATE_DIR="$state"
unset KORVEX_SIM_HOST_DOWN KORVEX_SIM_DISABLED_APPS KORVEX_SIM_SWIPE KORVEX_SIM_PRINT_PORT

if [ $broken = 0 ]; then
    for given in "$@"; do
        shift
        if [ -d "$given" ]; then
            for file in "$given"/*.yaml; do
                [ -e "$file" ] || { echo "run_scenarios.sh: no scenario in $given" >&2; exit 2; }
                set -- "$@" "$file"
            done
        else
            set -- "$@" "$given"
        fi
    done
    status=0
    "$runner" --junit "$report" --journal "$state/journal.db" "$@" || status=$?
    exit $status
fi

scenario=$1 step=$2 expected=$3 actual=$4
output="$state/output.txt"
status=0
"$runner" --junit "$report" --journal "$state/journal.db" "$scenario" >"$output" 2>&1 || status=$?
cat "$output"
failed=0
if [ $status -ne 1 ]; then
    echo "run_scenarios.sh: kelvra-run exited with $status, not 1" >&2
    failed=1
fi
# The failing step's own line, then its expected and actual values.
if ! grep -F "$step" "$output" | grep -q "FAIL"; then
    echo "run_scenarios.sh: no FAIL line names the step '$step'" >&2
    failed=1
fi
for pair in "expected:$expected" "actual:$actual"; do
    label=${pair%%:*}
    value=${pair#*:}
    if ! grep -Eq "^ +$label: +$value\$" "$output"; then
        echo "run_scenarios.sh: the output does not give '$value' as the $label value" >&2
        failed=1
    fi
done
exit $failed
