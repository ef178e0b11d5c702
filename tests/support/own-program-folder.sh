#!/bin/sh
# Runs a program of the build from a program folder of its own, made afresh, as an installed copy runs:
# what the program keeps beside itself (Scrivane's config.ini) is then this run's alone, whichever other
# tests run at the same time.
#
# usage: own-program-folder.sh FOLDER PROGRAM [ARGUMENTS...]
set -eu
folder=$1
program=$2
shift 2
rm -rf "$folder"
mkdir -p "$folder"
copy="$folder/$(basename "$program")"
# A hard link costs nothing; another file system needs a copy.
ln "$program" "$copy" 2>/dev/null || cp "$program" "$copy"
exec "$copy" "$@"
