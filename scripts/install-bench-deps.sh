#!/usr/bin/env bash
# Installs what the benchmarks need beyond the build and the tests, only what is missing:
# Postfix for its smtp-sink (a fast SMTP test server), stunnel4 for TLS in front of it, openssl
# for the CA made for each run. Postfix is told "No configuration" beforehand, so that it sets
# up and starts nothing: only its programs are wanted.
set -euo pipefail

packages=(postfix stunnel4 openssl)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages for the benchmarks: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
    sudo=()
else
    sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
echo "postfix postfix/main_mailer_type select No configuration" |
    "${sudo[@]}" debconf-set-selections
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
