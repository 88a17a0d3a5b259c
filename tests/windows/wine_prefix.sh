#!/bin/sh
# Creates or removes the private Wine prefix that every Windows test of one ctest run shares:
#   wine_prefix.sh create PREFIX EXE   |   wine_prefix.sh remove PREFIX
# Exits 77 (skipped) when Wine is not installed, or when quorlane.exe is missing because
# the cross compiler is.
set -u
action=$1
export WINEPREFIX=$2
export WINEDEBUG=-all

if [ "$action" = remove ] && [ ! -d "$WINEPREFIX" ]; then
    echo "no prefix to remove at $WINEPREFIX"
    exit 77
fi
wine=$(command -v wine64 || command -v wine) || {
    echo "wine64 or wine not on PATH: the Windows tests are skipped"
    exit 77
}
wineserver=$(command -v wineserver || echo "$(dirname "$(readlink -f "$wine")")/wineserver")

# Ends the processes Wine keeps running in this prefix, so that it can be removed.
stop_wine() {
    if [ -d "$WINEPREFIX" ]; then "$wineserver" -k 2>/dev/null; "$wineserver" -w 2>/dev/null; fi
    return 0
}

case $action in
create)
    if [ ! -e "$3" ] && ! command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
        echo "x86_64-w64-mingw32-g++-posix not on PATH, so quorlane.exe is not built: the Windows tests are skipped"
        exit 77
    fi
    # A prefix left by an interrupted run would carry its state into this one.
    stop_wine
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX" || exit 1
    # A server that outlives each test keeps Wine's session started once for the whole run,
    # instead of once per program. Its own time limit ends it if the removal never comes.
    "$wineserver" -p600 </dev/null >/dev/null 2>&1
    # No Mono or Gecko: a console program needs neither, and their installers would wait for a
    # user. The session's processes get no descriptor of ctest's: it would wait for them.
    if ! WINEDLLOVERRIDES="mscoree,mshtml=" "$wine" wineboot --init </dev/null >/dev/null 2>&1; then
        echo "wineboot could not create the prefix $WINEPREFIX"
        stop_wine
        rm -rf "$WINEPREFIX"
        exit 1
    fi
    ;;
remove)
    stop_wine
    # Run as root, Wine keeps its server's socket directory apart, in $TMPDIR/wine-XXXXXX,
    # named after the prefix's device and inode: it goes with the prefix.
    server="server-$(stat -c %D "$WINEPREFIX")-$(printf %x "$(stat -c %i "$WINEPREFIX")")"
    for directory in "${TMPDIR:-/tmp}"/wine-*/"$server"; do
        [ -d "$directory" ] || continue
        rm -rf "$directory"
        rmdir "$(dirname "$directory")" 2>/dev/null
    done
    rm -rf "$WINEPREFIX"
    ;;
*)
    echo "usage: $0 create PREFIX EXE | remove PREFIX" >&2
    exit 2
    ;;
esac
