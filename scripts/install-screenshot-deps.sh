#!/usr/bin/env bash
# Installs what only scripts/screenshots.sh uses, only what is missing: a virtual display, a
# window manager, a system tray, a notification daemon, a keyboard and mouse driver and a
# screen grabber. Building and testing need none of it.
set -euo pipefail
cd "$(dirname "$0")"
exec ./install-deps.sh xvfb xauth openbox trayer dunst xdotool imagemagick x11-utils \
    dbus-daemon dbus-bin python3 fonts-dejavu-core
