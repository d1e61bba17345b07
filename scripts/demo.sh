#!/usr/bin/env bash
# `make demo`: shows setup.exe with the sample skin (demo/skin/) under Wine.
# With DISPLAY set it runs on that display until the program ends; without one it
# runs on a private Xvfb, saves build/demo/screenshot.png and closes the program.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
exe="$build/setup.exe"
probe="$build/probe.exe"
prefix="$build/demo-wine/prefix"
drive="$build/demo-drive"          # drive Y:
skin="$drive/demo"                 # Y:\demo; build/demo links here
for file in "$exe" "$probe"; do
  [ -f "$file" ] || { echo "demo: $file is missing; run make build first" >&2; exit 1; }
done

# The skin folder, as a skin author lays it out.
rm -rf "$skin" "$build/demo"
mkdir -p "$skin"
ln -s "$skin" "$build/demo"
cp "$exe" "$skin/setup.exe"
printf 'Caption=Demo Setup\r\n' >"$skin/Setup.ini"
if [ -d "$root/demo/skin" ]; then
  cp -a "$root/demo/skin/." "$skin/"
fi

# A prefix of its own, made once: real user folders, no Z:, Y: on the demo drive.
if [ ! -f "$prefix/system.reg" ] || [ -e "$prefix/dosdevices/z:" ] || [ -L "$prefix/dosdevices/z:" ]; then
  bash "$root/scripts/wine_prefix.sh" "$prefix"
fi
ln -sfn "$drive" "$prefix/dosdevices/y:"

mkdir -p "$build/demo-wine/home"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export LANG=ja_JP.UTF-8 HOME="$build/demo-wine/home"
unset LC_ALL WAYLAND_DISPLAY

if [ -n "${DISPLAY:-}" ]; then
  echo "demo: running on $DISPLAY; close the installer to finish"
  status=0
  (cd "$skin" && wine setup.exe) || status=$?
  wineserver -k 2>/dev/null || true
  exit "$status"
fi

# No display: a private Xvfb, one screenshot, then everything is closed again.
xvfb_pid="" wine_pid=""
cleanup() {
  [ -z "$wine_pid" ] || kill "$wine_pid" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  [ -z "$xvfb_pid" ] || { kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; } || true
  rm -f "$build/demo-wine/displayfd"
}
trap cleanup EXIT

mkfifo "$build/demo-wine/displayfd" 2>/dev/null || { rm -f "$build/demo-wine/displayfd"; mkfifo "$build/demo-wine/displayfd"; }
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$build/demo-wine/displayfd" >/dev/null 2>&1 &
xvfb_pid=$!
read -r -t 20 number <"$build/demo-wine/displayfd" || { echo "demo: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$number"

(cd "$skin" && exec wine setup.exe) >"$build/demo-wine/wine.log" 2>&1 &
wine_pid=$!

# probe_windows: the visible top-level windows, one JSON line each (through a file:
# Wine's helper processes may keep a pipe open).
probe_windows() {
  (cd "$drive" && wine "$probe" windows) >"$build/demo-wine/windows.txt" 2>/dev/null </dev/null || true
  tr -d '\r' <"$build/demo-wine/windows.txt"
}

# Wait for the main window or a message box (worth a picture too).
deadline=$((SECONDS + 30))
windows=""
while [ $SECONDS -lt $deadline ] && kill -0 "$wine_pid" 2>/dev/null; do
  windows=$(probe_windows)
  grep -qF -e '"class":"Develop by Vantorel."' -e '"class":"#32770"' <<<"$windows" && break
  sleep 0.2
done
if [ -z "$windows" ]; then
  echo "demo: setup.exe showed no window; see $build/demo-wine/wine.log" >&2
  exit 1
fi
main=$(grep -F '"class":"Develop by Vantorel."' <<<"$windows" | head -n 1 || true)

# Give it until two captures in a row agree, so the painting is done.
shot="$build/demo/screenshot.png"
previous=""
for _ in $(seq 1 25); do
  import -window root "$shot"
  current=$(import -window root -depth 8 rgb:- | md5sum)
  [ "$current" = "$previous" ] && break
  previous=$current
  sleep 0.2
done
echo "demo: screenshot saved to $shot"
grep -F '"class":"#32770"' <<<"$windows" | sed 's/^/demo: message box: /' || true

if [ -n "$main" ]; then
  hwnd=$(sed -n 's/^{"hwnd":\([0-9]*\),.*/\1/p' <<<"$main")
  (cd "$drive" && wine "$probe" close "$hwnd") </dev/null >/dev/null 2>&1 || true
fi
