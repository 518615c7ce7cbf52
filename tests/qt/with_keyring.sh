#!/usr/bin/env bash
# with_keyring.sh PROGRAM [ARGS...]: runs PROGRAM in a private D-Bus session with a GNOME Keyring
# of its own (in a home folder made for the run), unlocked from standard input. Skipped (77)
# without them.
set -euo pipefail
if [ "${1-}" != --inside ]; then
    for tool in dbus-run-session gnome-keyring-daemon; do
        command -v "$tool" >/dev/null || { echo "Skipped: $tool is missing" >&2; exit 77; }
    done
    home=$(mktemp -d)
    trap 'rm -rf "$home"' EXIT
    status=0
    HOME=$home XDG_RUNTIME_DIR=$home XDG_DATA_HOME=$home/share XDG_CONFIG_HOME=$home/config \
        dbus-run-session -- "$0" --inside "$@" || status=$?
    exit "$status"
fi
shift
echo -n quillet-test | gnome-keyring-daemon --unlock --components=secrets >/dev/null
"$@"
