#!/bin/sh
# Stands in for ssh so that mpirun starts its "remote" daemons on this machine: given hosts
# that are not this machine's addresses (127.0.0.2, 127.0.0.3), Open MPI takes each for a
# node of its own, and the tests get ranks on two nodes without a second machine.
shift
exec sh -c "$*"
