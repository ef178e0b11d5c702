#!/bin/sh
# Runs a command on a virtual display of its own. The search for a free server number starts from one the
# process id picks, so test runs side by side seldom meet; when they do, the display may be taken from under
# the command, which then exits with 75 and runs again on another display, up to three times.
attempt=1
while :; do
    xvfb-run -a -n $((100 + ($$ * 7 + attempt * 131) % 800)) -s "-screen 0 1280x1024x24" "$@"
    status=$?
    [ "$status" -eq 75 ] && [ "$attempt" -lt 3 ] || exit "$status"
    echo "the virtual display was lost; trying another one" >&2
    attempt=$((attempt + 1))
done
