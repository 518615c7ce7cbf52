#!/usr/bin/env bash
# with_tray.sh PROGRAM [ARGS...]: runs PROGRAM on a private Xvfb display (xvfb-run gives it an
# authority file of its own) with a system tray (trayer) on it, on Qt's xcb platform and with no
# session bus, so that a tray icon docks there and nowhere else. Skipped (77) without Xvfb.
set -euo pipefail
if [ "${1-}" != --inside ]; then
    for tool in xvfb-run Xvfb xauth; do
        command -v "$tool" >/dev/null || { echo "Skipped: $tool is missing" >&2; exit 77; }
    done
    command -v trayer >/dev/null || { echo "trayer is missing (scripts/install-deps.sh)" >&2; exit 1; }
    exec xvfb-run -a -s "-nolisten tcp -screen 0 1024x768x24" "$0" --inside "$@"
fi
shift
export QT_QPA_PLATFORM=xcb DBUS_SESSION_BUS_ADDRESS=disabled:
unset WAYLAND_DISPLAY
trayer --edge bottom --align left --widthtype request --height 32 >/dev/null 2>&1 &
tray=$!
trap 'kill "$tray" 2>/dev/null || true' EXIT
"$@"
