#!/usr/bin/env bash
# Pictures of the editor for the README (docs/screenshots/*.png). Builds the
# 64-bit Windows editor host program and the two modules, then opens the
# example scene examples/editor.tsy (seven layers; made from editor.json by
# `tessary convert`) in the editor under Wine on a virtual X display (Xvfb,
# Wine's X11 graphics driver, a prefix of its own in build/wineprefix-x11)
# and takes a screenshot of the window (with ImageMagick) for each view.
# Not part of the tests; run after `bash scripts/setup.sh`.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"

for tool in Xvfb import; do
  command -v "$tool" >/dev/null || { echo "screenshots: $tool is missing (bash scripts/setup.sh installs it)" >&2; exit 1; }
done

echo "== windows-x64: configure and build the editor host program and the modules"
cmake --preset windows-x64 >/dev/null
cmake --build --preset windows-x64 --target tessary_editor tessary_quilbo tessary_quilbo_netrender

out="$root/docs/screenshots"
work="$root/build/screenshots"
mkdir -p "$out" "$work"
editor="$root/build/windows-x64/bin/tessary_editor.exe"
lib="$root/build/windows-x64/lib"
scene="$root/examples/editor.tsy"

export WINEPREFIX="$root/build/wineprefix-x11"
source scripts/wine-env.sh

# One virtual display for the whole run, on the first free display number.
display=99
while [ -e "/tmp/.X${display}-lock" ] || [ -e "/tmp/.X11-unix/X${display}" ]; do display=$((display + 1)); done
Xvfb ":${display}" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
cleanup() {
  wine_stop
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 100); do
  [ -e "/tmp/.X11-unix/X${display}" ] && break
  sleep 0.1
done
[ -e "/tmp/.X11-unix/X${display}" ] || { echo "screenshots: Xvfb did not start (see $work/xvfb.log)" >&2; exit 1; }

wine_prepare x11
# The classic look of the editor's era: Wine's own visual theme off and the
# standard colour scheme of Windows 2000 (Wine starts with its light theme).
if [ ! -f "$WINEPREFIX/.tessary-classic" ]; then
  cat >"$work/classic.reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\ThemeManager]
"ThemeActive"="0"

[HKEY_CURRENT_USER\Control Panel\Colors]
"ActiveBorder"="212 208 200"
"ActiveTitle"="10 36 106"
"AppWorkSpace"="128 128 128"
"Background"="58 110 165"
"ButtonAlternateFace"="181 181 181"
"ButtonDkShadow"="64 64 64"
"ButtonFace"="212 208 200"
"ButtonHilight"="255 255 255"
"ButtonLight"="212 208 200"
"ButtonShadow"="128 128 128"
"ButtonText"="0 0 0"
"GradientActiveTitle"="166 202 240"
"GradientInactiveTitle"="192 192 192"
"GrayText"="128 128 128"
"Hilight"="10 36 106"
"HilightText"="255 255 255"
"HotTrackingColor"="0 0 128"
"InactiveBorder"="212 208 200"
"InactiveTitle"="128 128 128"
"InactiveTitleText"="212 208 200"
"InfoText"="0 0 0"
"InfoWindow"="255 255 225"
"Menu"="212 208 200"
"MenuBar"="212 208 200"
"MenuHilight"="10 36 106"
"MenuText"="0 0 0"
"Scrollbar"="212 208 200"
"TitleText"="255 255 255"
"Window"="255 255 255"
"WindowFrame"="0 0 0"
"WindowText"="0 0 0"
REG
  "$TESSARY_WINE64" regedit /S "$work/classic.reg" </dev/null >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.tessary-classic"
fi
export DISPLAY=":${display}"
wine_start

# shot NAME [editor options...]: runs the editor until its view is on screen,
# takes the picture of its rectangle, then lets it close.
shot() {
  local name="$1"
  shift
  local ready="$work/$name.ready"
  rm -f "$ready"
  "$TESSARY_WINE64" "$editor" --timeout 120 --ready "$ready" "$@" </dev/null >"$work/$name.log" 2>&1 &
  local pid=$!
  for _ in $(seq 1200); do
    [ -s "$ready" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ ! -s "$ready" ]; then
    echo "screenshots: $name: the editor did not come up:" >&2
    cat "$work/$name.log" >&2
    kill "$pid" 2>/dev/null || true
    return 1
  fi
  local hwnd left top right bottom
  read -r hwnd left top right bottom < <(tr -d '\r' <"$ready")
  import -display "$DISPLAY" -window root -crop "$((right - left))x$((bottom - top))+${left}+${top}" +repage \
    "$out/$name.png"
  rm -f "$ready"
  if ! wait "$pid"; then
    echo "screenshots: $name: the editor ended with an error:" >&2
    cat "$work/$name.log" >&2
    return 1
  fi
  echo "wrote docs/screenshots/$name.png"
}

quilbo=(--module "$lib/quilbo.dlt")
netrender=(--module "$lib/quilbo_netrender.dlt")
shot layers "${quilbo[@]}" "$scene" --scroll 1 1
shot set-number "${quilbo[@]}" "$scene" --press 1 "Set Number"
shot insert "${quilbo[@]}" "$scene" --ctrl-press 1 Add
shot delete "${quilbo[@]}" "$scene" --ctrl-press 1 Delete
shot output "${quilbo[@]}" "$scene" --open Output --show Output
shot about "${quilbo[@]}" "$scene" --open About --show About
shot about-netrender "${netrender[@]}" "$scene" --open About --show About
