#!/usr/bin/env bash
# bad_input.sh KIND SIZE COMMAND...: runs COMMAND with "@F" in its arguments standing for a bad input
# file (what follows "@F" in the argument is kept, so "@F.trs" names a .trs file) and passes when it
# answers status 1 with "cannot read NAME: REASON".
#   folder      the input is a folder
#   unreadable  the input cannot be read (no permission; a read error where permissions do not hold)
#   oversized   the input is a sparse file of SIZE bytes, more than its format allows
# Everything is made in a temporary folder of the test's own.
set -uo pipefail
kind=$1 size=$2
shift 2
work=$(mktemp -d)
trap 'chmod -R u+rwx "$work" 2>/dev/null; rm -rf "$work"' EXIT
args=()
for a in "$@"; do
  if [[ $a == *@F* ]]; then
    path=$work/input${a#*@F}
    case $kind in
      folder) mkdir -p "$path"; reason='Is a directory' ;;
      unreadable)
        if [ "$(id -u)" -ne 0 ]; then
          printf 'data' >"$path" && chmod 000 "$path"
        else
          # Permissions do not stop a privileged process: a file whose reads fail does.
          ln -s /proc/self/mem "$path"
        fi
        reason='Permission denied|Input/output error' ;;
      oversized) truncate -s "$size" "$path"; reason='larger than [0-9]+ bytes' ;;
      *) echo "unknown kind $kind"; exit 2 ;;
    esac
    a=${a%%@F*}$path
  fi
  args+=("$a")
done
err=$work/stderr
(cd "$work" && "${args[@]}" >/dev/null 2>"$err")
got=$?
if [ "$got" -ne 1 ] || ! grep -Eq -- "cannot read .*input.*: ($reason)" "$err"; then
  echo "expected status 1 and 'cannot read ...: $reason'; got status $got and:"
  cat "$err"
  exit 1
fi
