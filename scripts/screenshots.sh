#!/usr/bin/env bash
# Takes the README's pictures of the windows, without a display.
set -euo pipefail
cd "$(dirname "$0")/.."
make build
QT_QPA_PLATFORM=offscreen build/quillet-screenshots docs/images
echo "written: docs/images/main-window.png docs/images/email-setup.png"
