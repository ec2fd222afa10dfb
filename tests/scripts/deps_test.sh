#!/usr/bin/env bash
# scripts/deps.sh on a machine that lacks some packages, with dpkg-query, apt-cache, apt-get and id
# replaced by stand-ins that log what they are asked: what is missing gets installed (clang included,
# which the fuzz targets need), and nothing runs when everything is there.
set -euo pipefail
deps=$1 work=$2
rm -rf "$work"
mkdir -p "$work/bin"
log=$work/log

stub() { printf '#!/usr/bin/env bash\n%s\n' "$2" >"$work/bin/$1"; chmod +x "$work/bin/$1"; }
# Installed: everything except what DEPS_MISSING names. Known to apt: what DEPS_KNOWN names.
stub dpkg-query 'p=${@: -1}; case " $DEPS_MISSING " in *" $p "*) exit 1;; esac; printf "install ok installed"'
stub apt-cache 'case " $DEPS_KNOWN " in *" $2 "*) exit 0;; esac; exit 100'
stub apt-get "echo \"apt-get \$*\" >>$log"
stub id 'echo 0'

run() {
  : >"$log"
  PATH="$work/bin:$PATH" DEPS_MISSING="$1" DEPS_KNOWN="$2" bash "$deps" >/dev/null
}
fail() { echo "FAIL: $*"; cat "$log"; exit 1; }

# A fresh machine without clang and its fuzzer runtime gets both.
run "clang libclang-rt-dev" "clang libclang-rt-dev"
grep -q '^apt-get update' "$log" || fail "no package list update"
grep -Eq '^apt-get install .* clang( |$)' "$log" || fail "clang not installed"
grep -Eq '^apt-get install .* libclang-rt-dev( |$)' "$log" || fail "the fuzzer runtime not installed"

# A release without a separate fuzzer runtime package still gets clang, and nothing unknown is asked for.
run "clang libclang-rt-dev" "clang"
grep -Eq '^apt-get install .* clang( |$)' "$log" || fail "clang not installed"
! grep -q 'libclang-rt-dev' "$log" || fail "asked for a package the release does not have"

# Everything there: apt is not touched.
run "" ""
[ ! -s "$log" ] || fail "apt-get ran with nothing missing"
run "libclang-rt-dev" ""
[ ! -s "$log" ] || fail "apt-get ran for an optional package the release does not have"
echo "deps.sh: ok"
