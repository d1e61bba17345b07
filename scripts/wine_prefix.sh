#!/usr/bin/env bash
# Makes the Wine prefixes the tests run in: a template at TEMPLATE_DIR (copied
# afresh by every end-to-end test) and a copy at UNIT_DIR for the unit tests.
# Safety: user folders are real folders inside the prefix and there is no Z: drive.
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 TEMPLATE_DIR UNIT_DIR" >&2
  exit 2
fi
template=$1
unit=$2

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
# Wine links the user folders to $HOME's: point it at a scratch folder, never the real home.
export HOME="$(dirname "$template")/home"

# stop_server PREFIX: ends the prefix's wineserver if one runs.
stop_server() {
  [ -d "$1" ] && WINEPREFIX="$1" wineserver -k 2>/dev/null || true
}

stop_server "$template"
stop_server "$unit"
rm -rf "$template" "$unit" "$HOME"
mkdir -p "$template" "$HOME"

export WINEPREFIX="$template"
wine wineboot -i >/dev/null 2>&1
wineserver -w

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

cp -a "$template" "$unit"
stop_server "$template"
stop_server "$unit"
echo "wine_prefix: made $template and $unit"
