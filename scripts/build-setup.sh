#!/usr/bin/env bash
# Builds the distribution of Scrivane: stages the files the setup's form names on drive C: of a prefix of
# its own (the build machine), registers the folder of the loading program there, and runs
# "ScrivaneInstall -b" beside a BUILD.INF. The distribution lands in <prefix>/drive_c/Scrivane/Setup.
#
# usage: scripts/build-setup.sh [--build-dir DIR] [--prefix DIR]
#   --build-dir  a build folder that already holds the programs (default: build/release, built here)
#   --prefix     the build machine's prefix (default: build/setup-prefix; emptied first)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=""
prefix="$root/build/setup-prefix"
while [ $# -gt 0 ]; do
  case "$1" in
    --build-dir) build=$(cd "$2" && pwd); shift 2 ;;
    --prefix) prefix=$2; shift 2 ;;
    *) echo "usage: scripts/build-setup.sh [--build-dir DIR] [--prefix DIR]" >&2; exit 2 ;;
  esac
done
if [ -z "$build" ]; then
  "$root/scripts/setup.sh"
  build="$root/build/release"
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSCRIVANE_TESTS=OFF
  cmake --build "$build" --target Scrivane ScrivaneInstall TarnwickLoadProgram uninstall scrivane_batch scrivane_boot
fi
for program in tool/Scrivane installer/wizard/ScrivaneInstall installer/loader/TarnwickLoadProgram \
               installer/uninstall/uninstall platform/win/scrivane-boot; do
  [ -x "$build/$program" ] || { echo "build-setup: $build/$program is missing" >&2; exit 1; }
done

rm -rf "$prefix"
mkdir -p "$prefix"
prefix=$(cd "$prefix" && pwd)
export SCRIVANE_PREFIX="$prefix"
# A first program run lays out drive C: and the registry of a fresh machine.
"$build/platform/win/scrivane-boot" >/dev/null

c="$prefix/drive_c"
release="$c/Scrivane/Release"
mkdir -p "$release/Tools" "$release/Help" "$c/Scrivane/Install" "$c/ULO/Lib"
cp "$build/tool/Scrivane" "$release/Scrivane.exe"
cp "$build/installer/uninstall/uninstall" "$release/uninstall.exe"
cp "$root/installer/setup/hcrtf.sh" "$release/Tools/hcrtf.exe"
cp "$root/installer/setup/hwdll.dll" "$release/Tools/hwdll.dll"
cp "$root/installer/setup/SCRIVANE HELP.HLP" "$root/installer/setup/Scrivane Help.cnt" "$release/Help/"
cp "$build/installer/wizard/ScrivaneInstall" "$c/Scrivane/Install/ScrivaneInstall.exe"
printf 'C:\\Scrivane\\Setup\r\n' > "$c/Scrivane/Install/BUILD.INF"

# The loading program's folder, found the way the development environment publishes its library path.
cp "$build/installer/loader/TarnwickLoadProgram" "$c/ULO/Lib/TarnwickLoadProgram.exe"
printf 'Library folder of the installer components.\r\n' > "$c/ULO/Lib/T32V52.TXT"
printf '\n[HKEY_LOCAL_MACHINE\\Software\\PESK\\T32V52]\n"RootDir"="C:\\\\ULO"\n' >> "$prefix/system.reg"
printf '\n[HKEY_CURRENT_USER\\Software\\PESK\\T32V52\\Library]\n"Search Path"="$(ROOT)\\\\Lib"\n' >> "$prefix/user.reg"

log="$prefix/build-setup.log"
if ! QT_QPA_PLATFORM=offscreen "$c/Scrivane/Install/ScrivaneInstall.exe" -b 2> "$log"; then
  cat "$log" >&2
  exit 1
fi
if [ ! -f "$c/Scrivane/Setup/setup.exe" ] || grep -q "nobody to answer" "$log"; then
  echo "build-setup: the distribution was not built:" >&2
  cat "$log" >&2
  exit 1
fi
echo "Distribution of Scrivane: $c/Scrivane/Setup"
echo "Install it with: SCRIVANE_PREFIX=<a prefix> $c/Scrivane/Setup/setup.exe"
