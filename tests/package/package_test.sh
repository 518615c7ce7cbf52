#!/usr/bin/env bash
# The Debian package of this build folder: made by CPack, unpacked with dpkg-deb into a
# temporary root, its files checked by the desktop's own validators and lintian, and the
# unpacked program run as an installed one (QUILLET_TEST_INSTALL_ROOT), keeping its settings
# under a temporary XDG_CONFIG_HOME.
# Usage: package_test.sh BUILD_FOLDER PREFIX VERSION APP_ID
set -euo pipefail
build=$1 prefix=${2#/} version=$3 id=$4
work=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack"; }
deb=$work/out/quillet_${version}_amd64.deb
dpkg-deb -x "$deb" "$work/root"
root=$work/root/$prefix

expected=(bin/quillet bin/quillet-feed "share/applications/$id.desktop"
    "share/metainfo/$id.metainfo.xml" "share/icons/hicolor/scalable/apps/$id.svg"
    share/man/man1/quillet.1.gz share/man/man1/quillet-feed.1.gz)
for size in 16 32 48 64 128 256; do
    expected+=("share/icons/hicolor/${size}x$size/apps/$id.png")
done
for doc in Quillet.chm README.md changelog.gz copyright help/{accounts,index,orders,setup}.html; do
    expected+=("share/doc/quillet/$doc")
done
diff <(printf "$prefix/%s\n" "${expected[@]}" | sort) <(cd "$work/root" && find . -type f | cut -c3- | sort) ||
    fail "the package's files differ (< expected, > packed)"
dpkg-deb -f "$deb" Depends | grep -q libqt6widgets6 || fail "no dependencies found"
desktop-file-validate "$root/share/applications/$id.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$root/share/metainfo/$id.metainfo.xml" || fail "metainfo"
lintian --fail-on error "$deb" || fail "lintian"

# Installed: the settings go to $XDG_CONFIG_HOME/quillet, made private.
export QUILLET_TEST_INSTALL_ROOT=$work/root QT_QPA_PLATFORM=offscreen
export XDG_CONFIG_HOME=$work/config QUILLET_SOCKET=$work/q.sock
"$root/bin/quillet" 2>"$work/quillet.log" &
pid=$!
for _ in $(seq 100); do [ -S "$QUILLET_SOCKET" ] && break; sleep 0.1; done
[ "$("$root/bin/quillet-feed" <<<'{"event":"Shutdown"}')" = '{"ok":true}' ] ||
    { cat "$work/quillet.log"; fail "the unpacked program did not serve its socket"; }
wait "$pid" || fail "the unpacked program ended with status $?"
pid=
[ "$(stat -c %a "$XDG_CONFIG_HOME/quillet" "$XDG_CONFIG_HOME/quillet/quillet.ini")" = $'700\n600' ] ||
    fail "no private settings under XDG_CONFIG_HOME"
[ ! -e "$root/bin/quillet.ini" ] || fail "settings beside the installed program"
echo "package test passed"
