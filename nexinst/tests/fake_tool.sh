#!/bin/sh
# Stand-in for the device tools and other programs in golden scenarios:
# records its name and arguments in $NEXINST_ROOT/calls.log and exits with
# the next code listed in $NEXINST_ROOT/exit_codes/<name> (0 when none left).
name=$(basename "$0")
{
  printf '%s' "$name"
  for argument in "$@"; do printf ' [%s]' "$argument"; done
  printf '\n'
} >>"$NEXINST_ROOT/calls.log"
codes="$NEXINST_ROOT/exit_codes/$name"
code=0
if [ -s "$codes" ]; then
  code=$(head -n 1 "$codes")
  tail -n +2 "$codes" >"$codes.rest" && mv "$codes.rest" "$codes"
fi
exit "$code"
