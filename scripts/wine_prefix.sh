#!/usr/bin/env bash
# Makes the Wine prefixes the tests run in: a template at TEMPLATE_DIR (copied
# afresh by every end-to-end test) and, if given, a copy at UNIT_DIR for the unit
# tests. Safety: user folders are real folders inside the prefix and there is no Z: drive.
set -euo pipefail

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  echo "usage: $0 TEMPLATE_DIR [UNIT_DIR]" >&2
  exit 2
fi
template=$1
unit=${2:-}

export WINEDEBUG=-all
# The prefix is made under English, whatever the caller's locale, so that it is
# the same on every machine. Wine takes the ANSI code page, and rewrites the
# prefix's locale and font values, from LANG at every start: the runs under
# Japanese (the suite) and under English share this one template.
export LANG=en_US.UTF-8 LC_ALL=en_US.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
# Wine links the user folders to $HOME's: point it at a scratch folder, never the real home.
template=${template%/}
export HOME="$template.home"
log="$template.log"

# stop_server PREFIX: ends the prefix's wineserver if one runs.
stop_server() {
  if [ -n "$1" ] && [ -d "$1" ]; then
    WINEPREFIX="$1" wineserver -k 2>/dev/null || true
    WINEPREFIX="$1" wineserver -w 2>/dev/null || true  # -k only asks
  fi
}

stop_server "$template"
stop_server "$unit"
trap 'stop_server "$template"; stop_server "$unit"' EXIT
rm -rf "$template" "$HOME"
[ -z "$unit" ] || rm -rf "$unit"
mkdir -p "$template" "$HOME"

export WINEPREFIX="$template"
# One server for the whole making: the registry change below needs no second boot,
# and -k (which saves the registry) ends it at once where -w would wait for it to
# idle out (about 5 s).
wineserver -p </dev/null >/dev/null 2>&1
if ! wine wineboot -i >"$log" 2>&1; then
  cat "$log" >&2
  echo "wine_prefix: wineboot failed for $template" >&2
  exit 1
fi

# Without a window manager, Wine's X11 driver waits up to 2 s for every window that
# goes away (a message box, the folder chooser, the main window at exit) for a
# manager's answer that never comes. Unmanaged windows skip that wait.
if ! wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >>"$log" 2>&1; then
  cat "$log" >&2
  echo "wine_prefix: could not set the X11 driver's Managed value in $template" >&2
  exit 1
fi
stop_server "$template"
if ! grep -q '"Managed"="N"' "$template/user.reg"; then
  echo "wine_prefix: the X11 driver's Managed value did not reach $template/user.reg" >&2
  exit 1
fi

# Replace every link of the user profiles (Desktop, Documents, ...) with a real folder.
for user_dir in "$template"/drive_c/users/*/; do
  for link in "$user_dir"*; do
    if [ -L "$link" ]; then
      rm -f "$link"
      mkdir -p "$link"
    fi
  done
done
rm -f "$template/dosdevices/z:"

if [ -e "$template/dosdevices/z:" ] || [ -L "$template/dosdevices/z:" ]; then
  echo "wine_prefix: could not remove drive z: from $template" >&2
  exit 1
fi
if find "$template/drive_c/users" -maxdepth 2 -type l | grep -q .; then
  echo "wine_prefix: user folder links left in $template" >&2
  exit 1
fi

stop_server "$template"
# The unit prefix shares Wine's library files with the template (hard links), as
# the end-to-end tests' copies do.
[ -z "$unit" ] || python3 -c 'import sys; sys.path.insert(0, sys.argv[1]); from pathlib import Path
from harness import copy_prefix; copy_prefix(Path(sys.argv[2]), Path(sys.argv[3]))' \
  "$(cd "$(dirname "$0")/.." && pwd)/tests/e2e" "$template" "$unit"
echo "wine_prefix: made $template${unit:+ and $unit}"
