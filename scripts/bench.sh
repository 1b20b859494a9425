#!/usr/bin/env bash
# Builds the release configuration (build/bench, benchmarks only), runs every
# benchmark program of bench/ and prints one table: each figure, its target,
# whether it is met, the baseline measured in the same run and the ratio to it
# (scripts/bench_report.py). Then the machine: processors, CPU model, memory.
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

python3 "$root/scripts/bench_report.py" "$results"
echo
echo "Machine: $(nproc) processors, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), \
$(awk '/MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo) of memory, load average \
$(cut -d' ' -f1-3 /proc/loadavg) at the end"
