#!/usr/bin/env bash
# This build's Debian package, unpacked into a temporary root, validated, and run from there
# as installed (QUILLET_TEST_INSTALL_ROOT): its settings go under a temporary XDG_CONFIG_HOME.
# Usage: package_test.sh BUILD_FOLDER PREFIX VERSION APP_ID
set -euo pipefail
build=$1 prefix=${2#/} version=$3 id=$4 pid=
work=$(mktemp -d)
trap '[ -z "$pid" ] || kill "$pid"; rm -rf "$work"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack"; }
deb=$work/out/quillet_${version}_amd64.deb
dpkg-deb -x "$deb" "$work/root"
root=$work/root/$prefix
icons=("share/icons/hicolor/scalable/apps/$id.svg")
for s in 16 32 48 64 128 256; do icons+=("share/icons/hicolor/${s}x$s/apps/$id.png"); done
diff <(printf "$prefix/%s\n" bin/quillet{,-feed} "share/applications/$id.desktop" \
    "share/metainfo/$id.metainfo.xml" share/man/man1/quillet{,-feed}.1.gz "${icons[@]}" \
    share/doc/quillet/{Quillet.chm,README.md,changelog.gz,copyright} \
    share/doc/quillet/help/{accounts,events,history,index,mails,orders,setup,sources}.html \
    share/quillet/FIX4{2,4}.xml | sort) \
    <(cd "$work/root" && find . -type f | cut -c3- | sort) || fail "files (< expected, > packed)"
dpkg-deb -f "$deb" Depends | grep -q libqt6widgets6 || fail "no dependencies found"
desktop-file-validate "$root/share/applications/$id.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$root/share/metainfo/$id.metainfo.xml" || fail "metainfo"
# Debian's rules hold for a package into /usr (`make package`), not one into another prefix.
[ "$prefix" != usr ] || lintian --fail-on error "$deb" || fail "lintian"
[ "$prefix" != usr ] || ! lintian -I "$deb" | grep hardening- || fail "lintian: hardening"

export QUILLET_TEST_INSTALL_ROOT=$work/root QT_QPA_PLATFORM=offscreen
export XDG_CONFIG_HOME=$work/config QUILLET_SOCKET=$work/q.sock
"$root/bin/quillet" 2>"$work/quillet.log" &
pid=$!
for _ in $(seq 100); do [ -S "$QUILLET_SOCKET" ] && break; sleep 0.1; done
[ "$("$root/bin/quillet-feed" <<<'{"event":"Shutdown"}')" = '{"ok":true}' ] ||
    { cat "$work/quillet.log"; fail "the unpacked program did not serve its socket"; }
wait "$pid" || fail "the unpacked program ended with status $?"
pid=
[ "$(stat -c %a "$XDG_CONFIG_HOME"/quillet{,/quillet.ini})" = $'700\n600' ] ||
    fail "no private settings under XDG_CONFIG_HOME"
