#!/usr/bin/env bash
# End-to-end check of the real program on a virtual X display with a tray host: the window
# and the tray icon come up, the store is created beside the program, a second start
# leaves at once, the tray menu opens on a right click and its "退出" ends the program,
# and with "min" = 1 the program starts with the icon alone until the icon is clicked.
# Usage: run_e2e.sh <kelda binary> [screenshot path]. Exit code 77: tools missing (skip).
set -u

if [ "${1:-}" != --inside ]; then
    binary=${1:?usage: run_e2e.sh <kelda binary> [screenshot path]}
    shot=${2:-$PWD/e2e-shot.png}
    for tool in xvfb-run trayer xdotool xwininfo; do
        command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
    done
    # A display number of our own, so that parallel runs do not race for the same one.
    # -noreset: the server must not restart when a probing client disconnects.
    exec xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 1024x768x24 -noreset" \
        timeout 60 bash "$0" --inside "$binary" "$shot"
fi

binary=$2
shot=$3
work=$(mktemp -d /tmp/kelda-e2e.XXXXXX)
pids=()

cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null
    done
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    xwininfo -root -tree 2>&1 | grep -v "has no name" | head -20
    exit 1
}

# wait_for SECONDS COMMAND...: true as soon as COMMAND succeeds, polled every 0.1 s.
wait_for() {
    local tries=$(($1 * 10))
    shift
    for ((i = 0; i < tries; i++)); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}

# Nothing may touch the real home folder: every per-user location lies in the sandbox.
mkdir -p "$work/app" "$work/config" "$work/runtime" "$work/cache" "$work/home"
chmod 700 "$work/runtime"
cp "$binary" "$work/app/kelda"
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime XDG_CACHE_HOME=$work/cache
export HOME=$work/home QT_QPA_PLATFORM=xcb
unset removedrive
kelda=$work/app/kelda
title='^kelda portable drive:'

main_window_shown() { xdotool search --onlyvisible --name "$title"; }
tray_panel() { xdotool search --name '^panel$' | head -1 | grep .; }
# The program's icon is the kelda window embedded in the tray panel.
tray_icon() { xwininfo -tree -id "$(tray_panel)" | awk '/\("kelda" "KELDA"\)/ { print $1; exit }' | grep .; }
# The open tray menu: a visible kelda window named KELDA that is not the icon.
tray_menu() {
    local icon=$(($(tray_icon)))
    for window in $(xdotool search --onlyvisible --classname '^kelda$'); do
        [ "$window" != "$icon" ] && [ "$(xdotool getwindowname "$window")" = KELDA ] && return 0
    done
    return 1
}
click_icon() {
    eval "$(xdotool getwindowgeometry --shell "$(tray_icon)")"
    xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click "$1"
}

wait_for 5 xdotool getdisplaygeometry || fail "no X display"
trayer --edge bottom --align right --widthtype request --height 24 --transparent false &
trayer_pid=$!
pids+=("$trayer_pid")
wait_for 5 tray_panel || fail "the tray host did not come up"

"$kelda" &
first=$!
pids+=("$first")
wait_for 10 main_window_shown || fail "the main window did not appear"
[ -f "$work/app/data/t_sc.dat" ] || fail "data/t_sc.dat was not created beside the program"
[ -f "$work/app/data/t_scg.dat" ] || fail "data/t_scg.dat was not created beside the program"
wait_for 10 tray_icon || fail "no tray icon in the tray host"

started=$SECONDS
timeout 10 "$kelda"
status=$?
[ "$status" -eq 0 ] || fail "the second start ended with $status"
((SECONDS - started <= 5)) || fail "the second start did not leave at once"
kill -0 "$first" 2>/dev/null || fail "the first instance ended at the second start"
[ "$(main_window_shown | wc -l)" -eq 1 ] || fail "the second start showed a window"

click_icon 3
wait_for 5 tray_menu || fail "a right click on the tray icon opened no menu"
if command -v import >/dev/null; then
    sleep 0.5
    import -window root "$shot" || fail "no screenshot"
    echo "screenshot: $shot"
fi
# The last menu item is "退出".
xdotool key Up Return
wait_for 5 bash -c "! kill -0 $first" || fail "the tray menu's 退出 did not end the program"
wait "$first"
status=$?
pids=("$trayer_pid")
[ "$status" -eq 0 ] || fail "the program ended with $status"

mkdir -p "$XDG_CONFIG_HOME/kelda"
printf '[SOFTWARE]\nkelda\\min=1\n' >"$XDG_CONFIG_HOME/kelda/kelda.ini"
"$kelda" &
pids+=("$!")
wait_for 10 tray_icon || fail "no tray icon at the hidden start"
sleep 1
main_window_shown >/dev/null && fail "min=1 showed the main window at start"
click_icon 1
wait_for 5 main_window_shown || fail "a click on the tray icon did not show the main window"
echo "PASS"
