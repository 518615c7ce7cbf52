#!/usr/bin/env bash
# The programs as built carry the hardening the common flags ask for: position-independent,
# a read-only relocation table bound at start, and at least one checked (_FORTIFY_SOURCE) call.
# Usage: hardening_test.sh PROGRAM...
set -u  # no pipefail: grep -q may end readelf early
status=0
fail() { echo "FAILED: $1: $2" >&2; status=1; }

for bin in "$@"; do
    readelf -h "$bin" | grep -Eq 'Type: +DYN' || fail "$bin" "not position-independent (PIE)"
    readelf -l -W "$bin" | grep -q GNU_RELRO || fail "$bin" "no GNU_RELRO segment"
    readelf -d "$bin" | grep -Eq '\(FLAGS\).*BIND_NOW|\(FLAGS_1\).*NOW' ||
        fail "$bin" "not bound at start (BIND_NOW)"
    readelf --dyn-syms -W "$bin" | grep -Eq ' UND +__[a-z0-9_]+_chk(@|$)' ||
        fail "$bin" "no fortified __*_chk import"
done
exit $status
