#!/bin/sh
# Runs a command on a virtual display of its own. The search for a free server number starts from one the
# process id picks, so test runs side by side do not race for the same display.
exec xvfb-run -a -n $((100 + $$ % 800)) -s "-screen 0 1280x1024x24" "$@"
