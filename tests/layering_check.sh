#!/bin/sh
# Fails when a file under src/ includes a header of a room above its own, or of another room
# on its own level: each room builds only on the rooms below it (cmake/rooms.txt, told by
# docs/architecture.md's layout).
# Given that page too, also fails when it leaves a room out or names one src/ does not have.
# Usage: layering_check.sh <the repository's src directory> [the architecture page]
src=${1:?usage: layering_check.sh src-directory [architecture-page]}
page=$2

# A room's level, from the table of rooms the build uses too (cmake/rooms.txt); "unknown" for
# a folder that is no room.
rooms_table="$src/../cmake/rooms.txt"
level() {
    awk -v room="$1" '!/^#/ && NF { for (i = 1; i <= NF; i++) if ($i == room) { print n + 0; found = 1; exit } n++ }
                      END { if (!found) print "unknown" }' "$rooms_table"
}

status=0
for file in $(cd "$src" && find . -name '*.cpp' -o -name '*.hpp' | sort); do
    file=${file#./}
    room=${file%%/*}
    own=$(level "$room")
    if [ "$own" = unknown ]; then
        echo "$file: the room $room has no level in cmake/rooms.txt"
        status=1
        continue
    fi
    for included in $(sed -n 's|^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([a-z_]*\)/.*|\1|p' "$src/$file"); do
        [ "$included" = "$room" ] && continue
        other=$(level "$included")
        if [ "$other" = unknown ] || [ "$other" -ge "$own" ]; then
            echo "$file: includes $included/, which is not below $room/"
            status=1
        fi
    done
done

if [ -n "$page" ]; then
    for room in $(cd "$src" && find . -mindepth 1 -maxdepth 1 -type d | sed 's|^\./||' | sort); do
        grep -q "\`src/$room/\`" "$page" || { echo "$page: says nothing of the room src/$room/"; status=1; }
    done
    for room in $(grep -o '`src/[a-z_]*/`' "$page" | sed 's|^`src/||; s|/`$||' | sort -u); do
        [ -d "$src/$room" ] || { echo "$page: names src/$room/, which src/ does not have"; status=1; }
    done
fi
exit $status
