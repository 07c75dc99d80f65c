#!/usr/bin/env bash
# Cross-compiles the Win32 half of the platform layer with its Qt-free checks (mingw-w64) and
# runs them under wine in a throwaway prefix inside the given build folder.
# Usage: tests/win32/wincheck.sh OUTPUT_FOLDER
set -euo pipefail
out=$(realpath -m "$1")
cd "$(dirname "$0")/../.."

cxx=x86_64-w64-mingw32-g++
windres=x86_64-w64-mingw32-windres
flags=(-std=c++17 -O1 -Wall -Wextra -Werror -static -Icore/platform -Itests/win32 -I"$out")
platform_sources=(core/platform/*Win32.cpp core/platform/Platform.cpp
                  core/platform/PeIconReader.cpp core/platform/EnvironmentVariables.cpp)

export WINEPREFIX="$out/wineprefix" WINEDEBUG=-all
# No .NET or HTML engine to install, no menu entries written into the home folder.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d"

[ -d "$WINEPREFIX" ] && wineserver -k 2>/dev/null || true
rm -rf "$out"
mkdir -p "$out/fixture"

# The version header of the real resource script, as CMake would configure it.
version=$(sed -n 's/^project(kelda VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
IFS=. read -r major minor patch tweak <<<"$version"
sed -e "s/@PROJECT_VERSION_MAJOR@/$major/" -e "s/@PROJECT_VERSION_MINOR@/$minor/" \
    -e "s/@PROJECT_VERSION_PATCH@/$patch/" -e "s/@PROJECT_VERSION_TWEAK@/$tweak/" \
    -e "s/@PROJECT_VERSION@/$version/" resources/kelda_version.h.in >"$out/kelda_version.h"

echo "Building the fixture program and the checks with $cxx"
g++ -std=c++17 -Wall -Wextra -Werror tests/win32/MakeFixtureIcon.cpp -o "$out/make-fixture-icon"
"$out/make-fixture-icon" "$out/fixture.ico"
$windres -I"$out" tests/win32/LaunchProbe.rc -o "$out/probe-resources.o"
$cxx "${flags[@]}" tests/win32/LaunchProbe.cpp "$out/probe-resources.o" -lshell32 \
    -o "$out/fixture/probe.exe"
$windres -I"$out" resources/kelda.rc -o "$out/kelda-resources.o"
$cxx "${flags[@]}" tests/win32/WinCheck.cpp tests/win32/WinTestSupport.cpp \
    "${platform_sources[@]}" "$out/kelda-resources.o" \
    -lshell32 -luser32 -lgdi32 -ladvapi32 -lversion -o "$out/wincheck.exe"

echo "Creating the wine prefix $WINEPREFIX"
wine wineboot --init >/dev/null 2>&1
# The null display driver: windows without an X server, so the broadcast has receivers.
wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null
wineserver -w

status=0
timeout 150 wine "$out/wincheck.exe" || status=$?
wineserver -k 2>/dev/null || true
exit $status
