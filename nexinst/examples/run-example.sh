#!/bin/sh
# Runs nexinst on a scratch copy of the example root.
#   nexinst/examples/run-example.sh BUILD/nexinst/nexinst -Wait_Set_Corvane_SKU
set -eu
program=$1
shift
scratch=$(mktemp -d)
cp -R "$(dirname "$0")/root/." "$scratch/"
cp "$program" "$scratch/program/nexinst"
PATH="$scratch/bin:$PATH" NEXINST_ROOT=$scratch NEXINST_WAIT_SCALE=${NEXINST_WAIT_SCALE:-0.01} "$scratch/program/nexinst" "$@" && status=0 || status=$?
echo "exit code: $status; the machine is in $scratch" >&2
