#!/usr/bin/env bash
# Installs what the benchmarks need beyond the build and the tests, only what is missing:
# Postfix for its smtp-sink (a fast SMTP test server), stunnel4 for TLS in front of it, openssl
# for the CA made for each run, strace to count the flushes of the disk. Postfix is told "No configuration" beforehand, so that it sets
# up and starts nothing: only its programs are wanted.
set -euo pipefail

packages=(postfix stunnel4 openssl strace)
if dpkg-query -W -f='${Status}\n' "${packages[@]}" 2>/dev/null | grep -c 'install ok installed' |
    grep -qx "${#packages[@]}"; then
    exit 0
fi
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
echo "postfix postfix/main_mailer_type select No configuration" |
    "${sudo[@]}" debconf-set-selections
exec "$(dirname "$0")/install-deps.sh" "${packages[@]}"
