#!/usr/bin/env bash
# Builds the release configuration (build/bench, benchmarks only), runs every
# benchmark program of bench/ and writes one table to docs/benchmarks.md (and
# prints it): each figure, its target, whether it is met, the baseline
# measured in the same run and the ratio to it (scripts/bench_report.py),
# with the date and the machine: processors, CPU model, memory, load.
# The sound server benchmarks (bench_start, bench_server_cpu) play on private
# servers with a null sink, started as the tests start one: PulseAudio, and
# PipeWire with wireplumber and pipewire-pulse; bench_server_cpu measures
# Debian's mpg123 on the same server in the same run as the baseline, and
# audacious and qmmp beside it as peers. Those benchmark-only packages
# (pipewire, pipewire-pulse, wireplumber, audacious, qmmp) are installed here
# when missing and root may install them; a benchmark whose server or peer is
# missing reports it and the others go on.
# With a Windows build (scripts/build_windows.sh; build/windows, or
# $MELODIANE_WINDOWS_BUILD), the decoder library's throughput as VBMP3.DLL
# under Wine is measured beside the Linux library's.
#
#   scripts/bench.sh [--report-only] [BUILD_DIR]
#
# --report-only writes the table again from the results of the last run,
# measuring nothing (the date is then the writing's).
# The JSON results stay in BUILD_DIR/bench-results. Takes several minutes; the
# figures are wall-clock or processor times on this machine, so other load on
# it shows in the wall-clock ones.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
report_only=false
if [ "${1:-}" = "--report-only" ]; then
    report_only=true
    shift
fi
build=${1:-$root/build/bench}
results=$build/bench-results

# The machine and the run's end are kept beside the results, for --report-only.
write_report() {
    local machine table status=0
    if ! $report_only; then
        echo "$(nproc) processors, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 |
            sed 's/^ *//'), $(awk '/MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' \
            /proc/meminfo) of memory, load average $(cut -d' ' -f1-3 /proc/loadavg) at the end" \
            >"$results/machine.txt"
    fi
    machine=$(cat "$results/machine.txt")
    table=$(python3 "$root/scripts/bench_report.py" "$results") || status=$?
    echo "$table"
    echo
    echo "Machine: $machine"
    {
        cat "$root/scripts/benchmarks_intro.md"
        echo
        echo "Run of $(date -u -r "$results/machine.txt" '+%Y-%m-%d %H:%M UTC') on this" \
            "machine: $machine."
        echo
        echo "$table"
    } >"$root/docs/benchmarks.md"
    echo "written: docs/benchmarks.md" >&2
    return "$status"
}

if $report_only; then
    write_report
    exit
fi

# The peers and the second server are for comparison only: not in
# scripts/setup.sh, which the tests need.
bench_packages=(pipewire pipewire-pulse wireplumber audacious qmmp)
missing=()
for package in "${bench_packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    if [ "$(id -u)" -eq 0 ]; then
        echo "installing ${missing[*]} for the benchmarks" >&2
        DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
            "${missing[@]}" >/dev/null || echo "could not install ${missing[*]}" >&2
    else
        echo "not installed (the benchmarks that need them are skipped): ${missing[*]}" >&2
    fi
fi

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMELODIANE_TESTS=OFF \
    -DMELODIANE_WERROR=ON >/dev/null
cmake --build "$build"

export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy
export MELODIANE_FIXTURES=$root/tests/fixtures
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

write_report
