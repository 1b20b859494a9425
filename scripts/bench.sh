#!/usr/bin/env bash
# Builds the release configuration (build/bench, benchmarks only), runs every
# benchmark program of bench/ and prints one table: each figure, its target,
# whether it is met, the baseline measured in the same run and the ratio to it
# (scripts/bench_report.py). Then the machine: processors, CPU model, memory.
# The sound server benchmarks (bench_start, bench_server_cpu) play on a
# private PulseAudio server with a null sink, started as the tests start one,
# and report an error when none can be; bench_server_cpu measures Debian's
# mpg123 on the same server in the same run as the baseline.
# With a Windows build (scripts/build_windows.sh; build/windows, or
# $MELODIANE_WINDOWS_BUILD), the decoder library's throughput as VBMP3.DLL
# under Wine is measured beside the Linux library's.
#
#   scripts/bench.sh [BUILD_DIR]
#
# The JSON results stay in BUILD_DIR/bench-results. Takes a few minutes; the
# figures are wall-clock or processor times on this machine, so other load on
# it shows in the wall-clock ones.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/bench}

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMELODIANE_TESTS=OFF \
    -DMELODIANE_WERROR=ON >/dev/null
cmake --build "$build"

export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy
export MELODIANE_FIXTURES=$root/tests/fixtures
results=$build/bench-results
rm -rf "$results"
mkdir -p "$results"
for program in "$build"/bench/bench_*; do
    name=$(basename "$program")
    echo "running $name" >&2
    (cd "$results" && "$program" --benchmark_format=json --benchmark_out_format=json \
        --benchmark_out="$results/$name.json" >/dev/null) || echo "$name failed" >&2
done

# VBMP3.DLL under Wine, on the five-minute file bench_decode has just made
# (bench/vbmp3/bench_support.h: the temporary folder's melodiane_bench), when a
# Windows build is there to measure: scripts/build_windows.sh makes one.
windows=${MELODIANE_WINDOWS_BUILD:-$root/build/windows}
five_minutes=${TMPDIR:-/tmp}/melodiane_bench/five_minutes.mp3
if [ -f "$windows/VBMP3.DLL" ] && [ -f "$windows/CMakeCache.txt" ] && [ -f "$five_minutes" ]; then
    echo "running bench_decode_windows under Wine" >&2
    cmake --build "$windows" --target bench_decode_windows >/dev/null && (
        source "$root/scripts/wine_env.sh"
        wine_env_start "$windows/wine-bench"
        trap wine_env_stop EXIT
        wine "$windows/bench_decode_windows.exe" "$(winepath -w "$five_minutes")" \
            "$(winepath -w "$results")\\bench_decode_windows.json" </dev/null
    ) || echo "bench_decode_windows failed" >&2
else
    echo "VBMP3.DLL under Wine not measured: no Windows build in $windows" \
        "(scripts/build_windows.sh makes one)" >&2
fi

python3 "$root/scripts/bench_report.py" "$results"
echo
echo "Machine: $(nproc) processors, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), \
$(awk '/MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo) of memory, load average \
$(cut -d' ' -f1-3 /proc/loadavg) at the end"
