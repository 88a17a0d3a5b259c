#!/bin/sh
# The build's check of calls between rooms, on objects made here: a call down passes, a call up
# and a call across one level fail and name the function, a folder that is no room fails.
# Usage: room_calls_check_test.sh <room_calls_check.sh> <rooms.txt> <C++ compiler>
check=$1 rooms=$2 compiler=$3
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
printf 'int lower_value() { return 1; }\n' > lower.cpp
printf 'int lower_value();\nint upper_value() { return lower_value() + 1; }\n' > upper.cpp
"$compiler" -c lower.cpp upper.cpp || exit 1

failed=0
# expect pass|fail WORD ROOM=FILE...: a failure must name WORD.
expect() {
    wanted=$1 named=$2
    shift 2
    output=$(sh "$check" "$rooms" "$@")
    status=$?
    if [ "$wanted" = pass ] && [ $status -ne 0 ]; then echo "expected a pass for $*: $output"; failed=1; fi
    if [ "$wanted" = fail ] && { [ $status -eq 0 ] || ! echo "$output" | grep -q "$named"; }; then
        echo "expected a failure naming $named for $*, got status $status: $output"
        failed=1
    fi
}
expect pass - common=lower.o report=upper.o
expect fail 'lower_value()' report=lower.o common=upper.o
expect fail 'lower_value()' workers=lower.o cache=upper.o
expect fail nowhere nowhere=lower.o report=upper.o
exit $failed
