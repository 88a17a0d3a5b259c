#!/bin/sh
# Fails when a room's compiled code calls a function, or uses data, that a room of its own
# level or above defines: the includes can point down while a declaration repeated by hand,
# or a definition put in the wrong room, still calls up. Each argument is ROOM=FILE, FILE an
# archive or an object of that room's code; the levels come from cmake/rooms.txt.
# Usage: room_calls_check.sh <rooms.txt> ROOM=FILE...
levels=${1:?usage: room_calls_check.sh rooms.txt ROOM=FILE...}
shift
nm_tool=${NM:-nm}
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT

level() {
    awk -v room="$1" '!/^#/ && NF { for (i = 1; i <= NF; i++) if ($i == room) { print n + 0; exit } n++ }' "$levels"
}

for pair in "$@"; do
    room=${pair%%=*}
    file=${pair#*=}
    [ -n "$(level "$room")" ] || { echo "room_calls_check: $room is no room of $levels"; exit 1; }
    # Strong definitions only: an inline function or a template is defined weakly in every
    # object that uses it, wherever it was declared.
    "$nm_tool" --defined-only "$file" 2>/dev/null | awk 'NF == 3 && $2 ~ /^[TDBR]$/ { print $3 }' >> "$work/defined.$room"
    "$nm_tool" --undefined-only "$file" 2>/dev/null | awk 'NF == 2 && $1 == "U" { print $2 }' >> "$work/used.$room"
done

status=0
for used in "$work"/used.*; do
    room=${used##*.}
    own=$(level "$room")
    sort -u -o "$used" "$used"
    for defined in "$work"/defined.*; do
        other=${defined##*.}
        [ "$other" = "$room" ] && continue
        [ "$(level "$other")" -lt "$own" ] && continue
        sort -u -o "$defined" "$defined"
        for symbol in $(comm -12 "$used" "$defined"); do
            echo "src/$room/ uses $(echo "$symbol" | c++filt), which src/$other/ defines: $other is not below $room"
            status=1
        done
    done
done
exit $status
