#!/bin/sh
# Stands in for the Windows Help compiler, which cannot run here: it says so and fails, so Make reports
# that no help file was made. The compiler's input files stay ready beside the project.
echo "hcrtf: the Windows Help compiler is not available on this system; its input files are ready: $*" >&2
exit 1
