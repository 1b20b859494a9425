# Wine for the Windows tests; sourced, not run. wine_env_start DIR makes a
# fresh prefix in DIR, once for the whole test run, and leaves its server
# running on a virtual screen of its own (Xvfb: Wine creates no window
# without a display); wine_env_stop ends both.
#
# - A French UTF-8 locale, generated privately (LOCPATH): without one Wine cuts
#   file names to 7 bits; with it the ANSI code page is Windows-1252 and the
#   common dialogs speak French, as on a French Windows.
# - Windows are not managed by a window manager (X11 Driver, Managed=N):
#   otherwise every close waits two seconds for one.
# - wineserver and wineboot start detached, their standard streams on
#   /dev/null: the helper processes they leave would otherwise hold the test
#   runner's output pipe open and make it wait.
# - WINEDEBUG=-all and no Mono or Gecko installer prompts.

wine_env_locale() {
    local cache=${MELODIANE_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/melodiane-windows}
    local locales=$cache/locale
    if [ ! -d "$locales/fr_FR.UTF-8" ]; then
        mkdir -p "$locales"
        localedef -i fr_FR -f UTF-8 "$locales/fr_FR.UTF-8"
    fi
    export LOCPATH=$locales
    # The shell itself cannot load the new locale (it read LOCPATH at start)
    # and would say so; its children can.
    { export LANG=fr_FR.UTF-8 LC_ALL=fr_FR.UTF-8; } 2>/dev/null
}

wine_env_display() {
    local answer number=
    answer=$(mktemp)
    # Xvfb picks a free display and writes its number.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$answer" \
        </dev/null >/dev/null 2>&1 &
    wine_env_xvfb=$!
    for _ in $(seq 300); do
        number=$(cat "$answer")
        [ -n "$number" ] && break
        sleep 0.1
    done
    rm -f "$answer"
    export DISPLAY=:$number
}

wine_env_start() {
    local dir=$1
    wine_env_locale
    export WINEPREFIX=$dir WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    rm -rf "$dir"
    mkdir -p "$dir"
    wine_env_display
    setsid -w wineserver -p </dev/null >/dev/null 2>&1
    setsid -w wineboot -i </dev/null >/dev/null 2>&1
    setsid -w wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
        </dev/null >/dev/null 2>&1
}

# Each step is tried whatever the other gives: a caller under set -e would
# otherwise leave the screen running when the server is already gone.
wine_env_stop() {
    [ -n "${WINEPREFIX:-}" ] && wineserver -k </dev/null >/dev/null 2>&1 || true
    [ -n "${wine_env_xvfb:-}" ] && kill "$wine_env_xvfb" 2>/dev/null || true
    return 0
}
