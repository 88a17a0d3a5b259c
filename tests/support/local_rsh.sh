#!/bin/sh
# Stands in for ssh so that mpirun starts its "remote" daemons on this machine: given hosts
# that are not this machine's addresses (127.0.0.2, 127.0.0.3), Open MPI takes each for a
# node of its own, and the tests get ranks on two nodes without a second machine. With
# QUORLANE_NODE_TMP set, each node gets a temporary directory of its own there, as separate
# machines have: daemons of two nodes on one machine race to make the same session directories.
host=$1
shift
if [ -n "${QUORLANE_NODE_TMP:-}" ]; then
    export TMPDIR="$QUORLANE_NODE_TMP/$host"
    mkdir -p "$TMPDIR"
fi
exec sh -c "$*"
