# A virtual X server for the scripts that run the real program: sourced, not
# run. start_xvfb WIDTHxHEIGHTxDEPTH LOG starts Xvfb on a free display and
# waits for its socket; it sets display (the number) and xpid (to kill on
# the way out) and fails with the server's log when the socket never comes.

start_xvfb() {
    display=90
    while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
        display=$((display + 1))
    done
    Xvfb ":$display" -screen 0 "$1" -nolisten tcp >"$2" 2>&1 &
    xpid=$!
    for _ in $(seq 50); do
        [ -e "/tmp/.X11-unix/X$display" ] && return 0
        sleep 0.1
    done
    cat "$2" >&2
    echo "Xvfb startet nicht" >&2
    return 1
}
