#!/usr/bin/env bash
# Runs a Windows program under Wine as an ordinary user. Wine keeps a file's
# read-only attribute and a folder's access list in Unix permissions, which
# root does not obey, so a test of them run by root sees neither. Run by root,
# the program is copied into a fresh folder of the unprivileged user and run
# there as that user, with a Wine prefix of its own (about ten seconds to
# make); otherwise it runs as it is. The program must need no DLL beside it.
# As in scripts/wine_env.sh, the prefix's server starts detached, its streams
# on /dev/null, so that it does not hold the caller's output open.
#
#   scripts/wine_as_user.sh PROGRAM.exe [ARGUMENT...]
set -euo pipefail
program=$1
shift
if [ "$(id -u)" -ne 0 ]; then
    exec wine "$program" "$@"
fi

user=65534
home=$(mktemp -d)
as_user() {
    setpriv --reuid=$user --regid=$user --clear-groups \
        env -u DISPLAY HOME="$home" WINEPREFIX="$home/wine" "$@"
}
finish() {
    as_user wineserver -k </dev/null >/dev/null 2>&1 || true
    rm -rf "$home"
}
trap finish EXIT
mkdir "$home/wine"
cp "$program" "$home/"
chown -R $user:$user "$home"
as_user setsid -w wineserver -p </dev/null >/dev/null 2>&1
as_user setsid -w wineboot -i </dev/null >/dev/null 2>&1
as_user wine "$home/$(basename "$program")" "$@" </dev/null
