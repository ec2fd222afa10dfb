#!/usr/bin/env bash
# expect_exit.sh STATUS PATTERN COMMAND...: passes when COMMAND exits with STATUS and its stderr matches
# the extended regular expression PATTERN ("-": any message, none included).
set -uo pipefail
want=$1 pattern=$2
shift 2
err=$(mktemp)
trap 'rm -f "$err"' EXIT
"$@" >/dev/null 2>"$err"
got=$?
if [ "$got" -ne "$want" ] || { [ "$pattern" != - ] && ! grep -Eq -- "$pattern" "$err"; }; then
  echo "expected status $want and a message matching '$pattern'; got status $got and:"
  cat "$err"
  exit 1
fi
