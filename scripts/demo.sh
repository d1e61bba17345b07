#!/usr/bin/env bash
# `make demo`: setup.exe with the sample skin (demo/skin/) under Wine.
# With DISPLAY set it runs on that display until the user closes it; without
# one it installs and uninstalls by itself on a private virtual display and
# saves a screenshot of each stage under build/demo/ (scripts/demo.py).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
for file in "$build/setup.exe" "$build/probe.exe" "$build/installed_app.exe"; do
  [ -f "$file" ] || { echo "demo: $file is missing; run make build first" >&2; exit 1; }
done

if [ -z "${DISPLAY:-}" ]; then
  exec python3 "$root/scripts/demo.py" --walkthrough
fi

# On the user's display: a prefix of its own, made once, with real user
# folders and no Z: drive; the sample folder is Y:\demo.
prefix="$build/demo-wine/prefix"
drive="$build/demo-drive"
skin="$drive/demo"
rm -rf "$skin"
mkdir -p "$skin"
python3 "$root/scripts/demo.py" --layout "$skin"
if [ ! -f "$prefix/system.reg" ] || [ -e "$prefix/dosdevices/z:" ] || [ -L "$prefix/dosdevices/z:" ]; then
  bash "$root/scripts/wine_prefix.sh" "$prefix"
fi
ln -sfn "$drive" "$prefix/dosdevices/y:"
mkdir -p "$build/demo-wine/home"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export LANG=ja_JP.UTF-8 HOME="$build/demo-wine/home"
unset LC_ALL WAYLAND_DISPLAY
echo "demo: running on $DISPLAY from Y:\\demo; close the installer to finish"
status=0
(cd "$skin" && wine setup.exe) || status=$?
wineserver -k 2>/dev/null || true
exit "$status"
