#!/usr/bin/env bash
# with_tray.sh [--screen WxH] [--window-manager] PROGRAM [ARGS...]: runs PROGRAM on a private
# Xvfb display (xvfb-run gives it an authority file of its own, 1024x768 unless --screen says)
# with a system tray (trayer, along the bottom edge) on it, on Qt's xcb platform and with no
# session bus, so that a tray icon docks there and nowhere else. --window-manager puts openbox
# on the display first: windows then get real frames, placement and a work area without the
# tray's edge. Skipped (77) without Xvfb.
set -euo pipefail
if [ "${1-}" != --inside ]; then
    screen=1024x768
    manager=no
    while [ $# -gt 0 ]; do
        case "$1" in
            --screen) screen=$2; shift 2 ;;
            --window-manager) manager=yes; shift ;;
            *) break ;;
        esac
    done
    for tool in xvfb-run Xvfb xauth; do
        command -v "$tool" >/dev/null || { echo "Skipped: $tool is missing" >&2; exit 77; }
    done
    command -v trayer >/dev/null || { echo "trayer is missing (scripts/install-deps.sh)" >&2; exit 1; }
    if [ "$manager" = yes ]; then
        command -v openbox >/dev/null ||
            { echo "openbox is missing (scripts/install-deps.sh)" >&2; exit 1; }
    fi
    exec xvfb-run -a -s "-nolisten tcp -screen 0 ${screen}x24" "$0" --inside "$manager" "$screen" "$@"
fi
manager=$2
height=${3#*x}
shift 3
export QT_QPA_PLATFORM=xcb DBUS_SESSION_BUS_ADDRESS=disabled:
unset WAYLAND_DISPLAY
helpers=()
trap 'kill "${helpers[@]}" 2>/dev/null || true' EXIT
if [ "$manager" = yes ]; then
    openbox --sm-disable >/dev/null 2>&1 &
    helpers+=($!)
    # Up once it has claimed the screen's window manager selection (seconds on a busy machine).
    for _ in $(seq 400); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
        sleep 0.05
    done
fi
trayer --edge bottom --align left --widthtype request --height 32 --SetDockType true \
    --SetPartialStrut true >/dev/null 2>&1 &
helpers+=($!)
if [ "$manager" = yes ]; then
    # Until the work area leaves the tray's edge out.
    for _ in $(seq 400); do
        [ "$(xprop -root _NET_WORKAREA | cut -d, -f4 | tr -d ' ')" != "$height" ] && break
        sleep 0.05
    done
fi
"$@"
