#!/usr/bin/env bash
# Keeps one wineserver up for the unit tests' prefix while ctest runs them, so
# that each test binary starts in a booted Wine instead of starting a server,
# its services and devices again (and racing the previous server going down).
#   scripts/unit_wineserver.sh start PREFIX    starts it and boots the prefix
#   scripts/unit_wineserver.sh stop PREFIX     ends it and waits until it is gone
set -euo pipefail

if [ $# -ne 2 ] || { [ "$1" != start ] && [ "$1" != stop ]; }; then
  echo "usage: $0 start|stop PREFIX" >&2
  exit 2
fi
export WINEPREFIX=$2
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
[ -f "$WINEPREFIX/system.reg" ] || { echo "unit_wineserver: no prefix at $WINEPREFIX" >&2; exit 1; }
export HOME=$WINEPREFIX.home
mkdir -p "$HOME"

if [ "$1" = start ]; then
  # The server and the helpers the first program starts (services, devices) get no
  # descriptor of ctest's: they outlive this script.
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  wineserver -p </dev/null >/dev/null 2>&1
  wine cmd.exe /c exit </dev/null >/dev/null 2>&1
  echo "unit_wineserver: wineserver up for $WINEPREFIX"
else
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  echo "unit_wineserver: wineserver ended for $WINEPREFIX"
fi
