#!/usr/bin/env bash
# Runs a Windows test program under Wine: wine_run.sh PROGRAM [ARGS...].
# Now and then Wine's loader dies before the program starts, printing
# nothing; a test program always prints its first line at once. A run that
# failed with no output at all is therefore tried once more, so that a loader
# fault is not taken for a failed test. Any other result stands.
log=$(mktemp)
trap 'rm -f "$log"' EXIT
wine "$@" 2>&1 | tee "$log"
status=${PIPESTATUS[0]}
if [ "$status" -ne 0 ] && [ ! -s "$log" ]; then
    echo "wine_run.sh: Wine ended with status $status before the program printed anything;" \
        "trying again" >&2
    wine "$@"
    status=$?
fi
exit "$status"
