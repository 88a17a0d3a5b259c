#!/bin/sh
# Fails when a file under src/ includes a header of a room above its own, or of another room
# on its own level: each room builds only on the rooms below it (the README's layout).
# Usage: layering_check.sh <the repository's src directory>
src=${1:?usage: layering_check.sh src-directory}

# A room's level; the rooms on one line share it and don't include each other.
level() {
    case $1 in
        platform) echo 0 ;;
        common) echo 1 ;;
        settings | latency | io) echo 2 ;;
        run | device) echo 3 ;;
        data) echo 4 ;;
        results) echo 5 ;;
        cache | workers | cluster) echo 6 ;;
        report) echo 7 ;;
        driver | compare) echo 8 ;;
        *) echo unknown ;;
    esac
}

status=0
for file in $(cd "$src" && find . -name '*.cpp' -o -name '*.hpp' | sort); do
    file=${file#./}
    room=${file%%/*}
    own=$(level "$room")
    if [ "$own" = unknown ]; then
        echo "$file: the room $room has no level in the layering check"
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
exit $status
