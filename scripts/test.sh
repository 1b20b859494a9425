#!/usr/bin/env bash
# Sets everything up, then builds and runs the whole test suite twice: a normal
# build, and one with AddressSanitizer and UndefinedBehaviorSanitizer. Last, the
# Windows build is made with MinGW-w64 and its tests run under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# Each stage's wall time, for keeping the command within its budget.
stage_start=$SECONDS
stage_done() {
    echo "== $1 took $((SECONDS - stage_start)) s"
    stage_start=$SECONDS
}

"$root/scripts/setup.sh"
stage_done "setup"

# Every C++ file as the root .clang-format lays it out, before any build.
echo "== format"
git -C "$root" ls-files -z --cached --others --exclude-standard '*.cpp' '*.h' | (cd "$root" && xargs -0 clang-format --dry-run --Werror)
stage_done "format"

export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

echo "== normal build"
"$root/scripts/build.sh" "$root/build/test" -DMELODIANE_WERROR=ON
ctest --test-dir "$root/build/test" --output-on-failure -j2
stage_done "normal build and tests"

echo "== sanitizer build"
"$root/scripts/build.sh" "$root/build/sanitize" -DMELODIANE_WERROR=ON -DMELODIANE_SANITIZE=ON \
    -DMELODIANE_BENCH=OFF
ctest --test-dir "$root/build/sanitize" --output-on-failure -j2
stage_done "sanitizer build and tests"

echo "== Windows build, tests under Wine"
"$root/scripts/build_windows.sh" "$root/build/windows"
(
    source "$root/scripts/wine_env.sh"
    wine_env_start "$root/build/windows/wine"
    trap wine_env_stop EXIT
    ctest --test-dir "$root/build/windows" --output-on-failure -j2
)
stage_done "Windows build and tests under Wine"
