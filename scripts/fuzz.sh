#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs one: fuzz.sh TARGET SECONDS
# TARGET: m3u, profile or decoder (or fuzz_m3u, ...). The target starts
# from its committed seeds (fuzz/corpus/TARGET), adds what it discovers to a
# working corpus in build/fuzz/corpus/TARGET, and writes any crashing or
# hanging input to fuzz/crashes/TARGET. Extra arguments go to libFuzzer.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ $# -lt 2 ]; then
    echo "usage: $0 TARGET SECONDS [libFuzzer options...]" >&2
    exit 2
fi
name=${1#fuzz_}
seconds=$2
shift 2
build="$root/build/fuzz"

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DMELODIANE_FUZZ=ON -DMELODIANE_TESTS=OFF -DMELODIANE_BENCH=OFF >/dev/null
cmake --build "$build" --target "fuzz_$name"

seeds="$root/fuzz/corpus/$name"
corpus="$build/corpus/$name"
crashes="$root/fuzz/crashes/$name"
mkdir -p "$corpus" "$crashes"

export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/fuzz/lsan.supp:print_suppressions=0}
# Path lines of a fuzzed playlist name files to open; the target works in its
# own temporary directory, and standard input is empty in case one names it.
"$build/fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=4096 \
    -artifact_prefix="$crashes/" -print_final_stats=1 "$@" "$corpus" "$seeds" </dev/null
