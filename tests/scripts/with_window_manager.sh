#!/usr/bin/env bash
# Runs a test program under a reparenting window manager that draws decorations
# (openbox), inside the X session xvfb-run made: starts the manager, waits until it
# has taken the screen, runs the program with ZELO_WINDOW_MANAGER set, stops the
# manager and exits with the program's code. Exits 77 (skipped) when openbox is not
# installed; fails when the manager never takes the screen. A failed run is tried once
# more: on a loaded machine the manager can still be setting up when the first window
# maps (a fault in the program fails both).
#   with_window_manager.sh PROGRAM [ARGS...]
if ! command -v openbox >/dev/null 2>&1 || ! command -v xprop >/dev/null 2>&1; then
    echo "with_window_manager: openbox or xprop not installed (packages openbox, x11-utils): skipped"
    exit 77
fi
# The manager's own settings only (an empty config home: the system's defaults).
home=$(mktemp -d)
XDG_CONFIG_HOME=$home openbox --sm-disable >"$home/openbox.log" 2>&1 &
wm=$!
stop_wm() {
    kill "$wm" 2>/dev/null
    wait "$wm" 2>/dev/null
    rm -rf "$home"
}
# The manager has taken the screen once the root window names its check window.
taken=0
for _ in $(seq 300); do
    if xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; then
        taken=1
        break
    fi
    if ! kill -0 "$wm" 2>/dev/null; then break; fi
    sleep 0.1
done
if [ $taken -eq 0 ]; then
    echo "with_window_manager: openbox did not take the screen"
    cat "$home/openbox.log"
    stop_wm
    exit 1
fi
ZELO_WINDOW_MANAGER=openbox "$@"
rc=$?
if [ $rc -ne 0 ]; then
    echo "with_window_manager: the run failed ($rc); trying once more"
    ZELO_WINDOW_MANAGER=openbox "$@"
    rc=$?
fi
stop_wm
exit $rc
