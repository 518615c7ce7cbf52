#!/usr/bin/env bash
# screenshots.sh [FOLDER]: takes the README's pictures (docs/images, or FOLDER) by walking
# through the real program on a virtual display (Xvfb) with a window manager (openbox), a
# system tray (trayer) and a notification daemon (dunst) on a private session bus. Everything
# it writes besides the pictures goes into a temporary folder: the home and XDG folders, the
# settings file, the control socket. The only network it uses is 127.0.0.1.
#
# The walk: the platform connects and places three orders while e-mail is not set up (the
# marks, the link and the notice); the setup dialog is filled in by keyboard, a test message to
# a port where nothing listens fails with a long reason, one to a server that takes the
# connection and never answers is under way and then cancelled; closing the main window while
# the platform is connected asks whether to quit; the tray icon's menu.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

if [ "${1-}" != --inside ]; then
    out=$(realpath -m "${1:-$here/docs/images}")
    "$here/scripts/install-screenshot-deps.sh"
    make -C "$here" build
    mkdir -p "$out"
    rm -f "$out/failed.png"
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    xvfb-run -a -s "-nolisten tcp -screen 0 1024x768x24" \
        dbus-run-session -- "$0" --inside "$work" "$out"
    ls "$out"/*.png
    exit 0
fi

work=$2
out=$3
build=$here/build
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share
export XDG_CACHE_HOME=$work/home/.cache XDG_STATE_HOME=$work/home/.local/state
export XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=xcb LANG=C.UTF-8
unset WAYLAND_DISPLAY SESSION_MANAGER
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_STATE_HOME" \
    "$work/settings"
mkdir -m 700 "$XDG_RUNTIME_DIR"
settings=$work/settings/quillet.ini
socket=$work/quillet.sock

helpers=()
trap 'kill "${helpers[@]}" 2>/dev/null || true' EXIT

# wait_for WHAT COMMAND...: until COMMAND succeeds, for at most 60 s (the machine may be busy).
wait_for() {
    local what=$1
    shift
    for _ in $(seq 600); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    echo "screenshots: gave up waiting for $what; the screen is in $out/failed.png" >&2
    import -window root "$out/failed.png"
    tail -n 5 "$work"/*.log >&2 || true
    exit 1
}

# The window manager's frame around window $1: "X Y W H".
frame_of() {
    local frame
    frame=$(xwininfo -children -id "$1" | awk '/Parent window id/ {print $4}')
    xwininfo -id "$frame" | awk '/Absolute upper-left X/ {x = $4} /Absolute upper-left Y/ {y = $4}
        /Width:/ {w = $2} /Height:/ {h = $2} END {print x, y, w, h}'
}

# shot NAME X Y W H: the screen's rectangle, as NAME.png. The screen settles first.
shot() {
    sleep 0.7
    import -window root -crop "$4x$5+$2+$3" +repage "$out/$1.png"
    echo "screenshots: $1.png"
}

# shot_windows NAME WINDOW...: the smallest rectangle holding the windows' frames, with a margin.
shot_windows() {
    local name=$1 x0=100000 y0=100000 x1=0 y1=0 x y w h
    shift
    for window in "$@"; do
        read -r x y w h < <(frame_of "$window")
        ((x < x0)) && x0=$x
        ((y < y0)) && y0=$y
        ((x + w > x1)) && x1=$((x + w))
        ((y + h > y1)) && y1=$((y + h))
    done
    x0=$((x0 > 8 ? x0 - 8 : 0))
    y0=$((y0 > 8 ? y0 - 8 : 0))
    shot "$name" "$x0" "$y0" $((x1 + 8 - x0)) $((y1 + 8 - y0))
}

window_named() {
    xdotool search --onlyvisible --name "^$1\$" | head -1
}

feed() {
    "$build/quillet-feed" --socket "$socket" >/dev/null
}

# The desktop: a backdrop, the window manager, the tray along the bottom and the notices.
openbox --sm-disable >"$work/openbox.log" 2>&1 &
helpers+=($!)
wait_for "the window manager" sh -c "xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'"
convert -size 1024x768 gradient:'#5b7f9e'-'#2b3d4f' "$work/backdrop.png"
timeout 10 display -window root "$work/backdrop.png" || true  # sets it, then fails to stay
trayer --edge bottom --align right --widthtype request --height 28 --SetDockType true \
    --SetPartialStrut true --transparent true --alpha 0 --tint 0x2b3d4f >/dev/null 2>&1 &
helpers+=($!)
wait_for "the tray" sh -c "xwininfo -root -tree | grep -q '\"panel\"'"
cat >"$work/dunstrc" <<'EOF'
[global]
    font = DejaVu Sans 9
    width = 320
    origin = top-right
    offset = 12x12
    frame_width = 1
    padding = 10
    horizontal_padding = 12
    format = "<b>%s</b>\n%b"
    show_indicators = no
[urgency_low]
    background = "#ffffff"
    foreground = "#222222"
    frame_color = "#8a9bb0"
[urgency_normal]
    background = "#ffffff"
    foreground = "#222222"
    frame_color = "#8a9bb0"
[urgency_critical]
    background = "#fff4f2"
    foreground = "#222222"
    frame_color = "#c0392b"
EOF
dunst -config "$work/dunstrc" >/dev/null 2>&1 &
helpers+=($!)
wait_for "the notification daemon" dbus-send --session --print-reply --dest=org.freedesktop.DBus \
    / org.freedesktop.DBus.GetNameOwner string:org.freedesktop.Notifications

# A server on 127.0.0.1 that takes connections and never says a word; it notes in a file when
# a connection comes and when it ends. And a port where nothing listens.
python3 - "$work/silent" <<'EOF' &
import os, socket, sys, threading
folder = sys.argv[1]
os.makedirs(folder)
listener = socket.socket()
listener.bind(("127.0.0.1", 0))
listener.listen()
with open(os.path.join(folder, "port.new"), "w") as f:
    f.write(str(listener.getsockname()[1]))
os.rename(os.path.join(folder, "port.new"), os.path.join(folder, "port"))
def hold(connection):
    open(os.path.join(folder, "opened"), "a").close()
    while connection.recv(4096):
        pass
    open(os.path.join(folder, "closed"), "a").close()
while True:
    connection, _ = listener.accept()
    threading.Thread(target=hold, args=(connection,), daemon=True).start()
EOF
helpers+=($!)
wait_for "the silent server" test -f "$work/silent/port"
silent_port=$(cat "$work/silent/port")
closed_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')

# Quillet, at its first start: no settings file yet.
"$build/quillet" --settings "$settings" --socket "$socket" >"$work/quillet.log" 2>&1 &
quillet=$!
helpers+=($quillet)
wait_for "Quillet's socket" "$build/quillet-feed" --socket "$socket" --status
wait_for "the main window" window_named "Corvana - Quillet"
main=$(window_named "Corvana - Quillet")
xdotool windowsize "$main" 640 260 windowmove "$main" 24 48

# a. Orders while e-mail is not set up: each line marked "not mailed", the link, the notice.
feed <<'EOF'
{"event": "Connect"}
{"event": "OrderPlaced", "OrderId": "77", "Side": 1, "Quantity": 100, "Symbol": "XYZ", "OrderType": 3, "StopPrice": 0, "LimitPrice": 12.5, "Info4": "NYSE", "Info5": "swing", "Info6": "ACC-1"}
{"event": "OrderPlaced", "OrderId": "78", "Side": 2, "Quantity": 40, "Symbol": "ABC", "OrderType": 2, "StopPrice": 31.2, "LimitPrice": 0, "Info4": "NASDAQ", "Info5": "hedge", "Info6": "ACC-1"}
{"event": "OrderPlaced", "OrderId": "79", "Side": 4, "Quantity": 250, "Symbol": "QRS", "OrderType": 4, "StopPrice": 8.1, "LimitPrice": 8.25, "Info4": "NYSE", "Info5": "", "Info6": "ACC-2"}
EOF
wait_for "the notice" sh -c '[ "$(dunstctl count displayed)" -ge 1 ]'
shot not-mailed-notice 0 0 1024 340
dunstctl close-all
shot_windows main-window "$main"
xdotool mousemove --window "$main" 20 57  # the last line's mark: its tip says why
sleep 1.5
read -r x y w h < <(frame_of "$main")
shot not-mailed-tip "$((x - 8))" "$((y - 8))" "$((w + 230))" "$((h + 16))"
xdotool mousemove 900 600

# b. The setup dialog, from the main window's link. Its controls are where its layout puts
# them (in pixels from the dialog's top left corner at 96 dots per inch): the walk clicks them
# as a user would, and types into the text boxes.
read -r _ _ w _ < <(frame_of "$main")
xdotool mousemove --window "$main" "$((w - 40))" 10 click 1
wait_for "the setup dialog" window_named "E-Mail Setup"
setup=$(window_named "E-Mail Setup")
xdotool windowmove "$setup" 24 24
xdotool windowactivate --sync "$setup"
click() {  # click X Y: in the setup dialog
    xdotool mousemove --window "$setup" "$1" "$2" click 1
    sleep 0.2
}
type_at() {  # type_at X Y TEXT: the text box at X Y takes TEXT in place of its own
    click "$1" "$2"
    xdotool key --clearmodifiers ctrl+a
    xdotool type --delay 15 "$3"
}
type_at 221 30 "Order Desk"
type_at 221 53 "desk@example.com"
type_at 259 138 "127.0.0.1"
type_at 189 162 "$closed_port"
click 87 392  # "Add New"
wait_for "the address prompt" window_named "Add E-mail Address"
xdotool type --delay 15 "broker@example.com"
xdotool key Return
wait_for "the address prompt to go" sh -c "! xdotool search --onlyvisible --name '^Add E-mail Address$'"
xdotool mousemove 900 600
click 450 50  # "Send Test E-mail": nothing listens at that port, and the reason is long
wait_for "the outcome" sh -c "xdotool getactivewindow getwindowname | grep -qx 'E-Mail Setup'"
sleep 1
shot_windows email-setup "$setup"

type_at 189 162 "$silent_port"  # the server that takes the connection and never answers
click 450 50
wait_for "the connection" test -f "$work/silent/opened"
xdotool mousemove 900 600
shot_windows email-setup-connecting "$setup"
click 498 427  # "Cancel", at the status line's end
wait_for "the connection to close" test -f "$work/silent/closed"
xdotool mousemove 900 600
shot_windows email-setup-cancelled "$setup"
click 450 146  # "Close": saves the settings and hides the dialog

# c. Closing the main window while the platform is connected asks first, "Keep Running" the
# default: Enter keeps the program running.
xdotool windowactivate --sync "$main"
xdotool key --clearmodifiers alt+F4
question_up() {
    local active
    active=$(xdotool getactivewindow)
    [ "$active" != "$main" ] && [ "$(xdotool getwindowname "$active")" = Quillet ]
}
wait_for "the quit question" question_up
question=$(xdotool getactivewindow)
shot_windows quit-question "$main" "$question"
xdotool key Return
sleep 1

# The tray icon's menu, the tray in the screen's bottom right corner: "Keep Running in the Tray"
# there is the same choice, kept for the next close.
quillet_windows() {
    xdotool search --onlyvisible --class quillet | wc -l
}
before=$(quillet_windows)
xdotool mousemove 1012 754 click 3
wait_for "the tray menu" sh -c "[ \$(xdotool search --onlyvisible --class quillet | wc -l) -gt $before ]"
shot tray-menu 764 528 260 240
xdotool key Escape
kill -0 "$quillet"
feed <<<'{"event": "Shutdown"}'
wait "$quillet"
