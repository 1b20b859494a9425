#!/usr/bin/env bash
# ThreadSanitizer run of the decoder library and the player: builds build/tsan
# with -fsanitize=thread (tests only, no benchmarks), then runs every decoder
# test (tests/vbmp3) and the player tests whose tracks end by themselves while
# commands come fast (a thousand Next presses, the damaged-file playthrough).
#
#   scripts/tsan.sh [BUILD_DIR]
#
# Not part of scripts/test.sh: the instrumented build and run take several
# minutes on two cores. Exit status 0 when every test passes and
# ThreadSanitizer reports nothing; its reports are in BUILD_DIR/tsan-logs.
#
# Qt, GLib, SDL and libmpg123 come from Debian without ThreadSanitizer: the
# memory accesses of their own code are not checked
# (ignore_noninstrumented_modules), and scripts/tsan.supp names the one
# hand-over of Qt's that runs through our code but that it cannot see.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/tsan}
tests=(test_bad_input test_file_info test_gapless test_output_samples test_playback_states
    test_rapid_next test_damaged_files)

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMELODIANE_BENCH=OFF \
    -DCMAKE_C_FLAGS="-fsanitize=thread" -DCMAKE_CXX_FLAGS="-fsanitize=thread" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" >/dev/null
cmake --build "$build" --target "${tests[@]}"

export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy
export MELODIANE_SOURCE_DIR=$root MELODIANE_FIXTURES=$root/tests/fixtures
logs=$build/tsan-logs
rm -rf "$logs"
mkdir -p "$logs"
export TSAN_OPTIONS="halt_on_error=0 second_deadlock_stack=1 ignore_noninstrumented_modules=1 log_path=$logs/report suppressions=$root/scripts/tsan.supp"

failed=0
for test in "${tests[@]}"; do
    if "$build/tests/$test" --gtest_brief=1 >"$logs/$test.out" 2>&1; then
        echo "passed: $test"
    else
        echo "FAILED: $test (see $logs/$test.out)"
        failed=1
    fi
done
if compgen -G "$logs/report.*" >/dev/null; then
    echo "ThreadSanitizer reports:"
    grep -h "WARNING: ThreadSanitizer" "$logs"/report.* | sort | uniq -c
    failed=1
else
    echo "ThreadSanitizer: no report"
fi
exit $failed
