# Wine for the Windows builds' tests, headless. Source this file, then:
#   wine_prepare [D]  makes the prefix once (build/wineprefix): graphics
#                     driver D (default null: no display), Wine's own fonts
#                     copied in, no window manager
#   wine_start        starts the server and Wine's services for a test run
#                     (ctest would otherwise hang on the services' pipes)
#   wine_stop         ends the server and removes its socket folder
#   wine_runs_32bit   whether this machine can run 32-bit programs at all
#                     (Wine's 32-bit loader is a 32-bit Linux program; some
#                     kernels are built without 32-bit support)
# Set a trap that calls wine_stop before wine_start.

TESSARY_WINE_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${WINEPREFIX:-$TESSARY_WINE_ROOT/build/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEARCH=win64
unset DISPLAY

# The 64-bit loader runs the 64-bit programs and Wine's own tools; /usr/bin/wine
# would try the 32-bit loader first.
TESSARY_WINE64="$(command -v /usr/lib/wine/wine64 || command -v wine64 || echo wine64)"
TESSARY_WINE32="$(command -v /usr/lib/wine/wine || echo /usr/lib/wine/wine)"

wine_runs_32bit() {
  "$TESSARY_WINE32" --version >/dev/null 2>&1
}

wine_prepare() {
  local driver="${1:-null}"
  if [ -f "$WINEPREFIX/.tessary-ready" ]; then return 0; fi
  rm -rf "$WINEPREFIX"
  mkdir -p "$(dirname "$WINEPREFIX")"  # Wine does not make missing parents
  "$TESSARY_WINE64" wineboot -i </dev/null >/dev/null 2>&1
  # Debian's Wine finds its own fonts only inside the prefix; without them
  # "MS Shell Dlg" falls back to another face and dialogs grow wider.
  local fonts
  fonts="$(dpkg -L fonts-wine 2>/dev/null | grep -m1 '/wine/fonts$' || true)"
  if [ -n "$fonts" ]; then cp "$fonts"/* "$WINEPREFIX/drive_c/windows/Fonts/"; fi
  # No display: windows need the null graphics driver (CreateWindow fails
  # otherwise); without a window manager, unmanaged windows hide at once.
  "$TESSARY_WINE64" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d "$driver" /f </dev/null >/dev/null 2>&1
  "$TESSARY_WINE64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.tessary-ready"
}

wine_start() {
  # A server already running for the prefix (a persistent one left by an
  # earlier run) is kept; `wineserver -p` then reports it and fails.
  wineserver -p 2>/dev/null || true
  "$TESSARY_WINE64" wineboot </dev/null >/dev/null 2>&1
}

wine_stop() {
  wineserver -k 2>/dev/null || true
  local sockets="/tmp/.wine-$(id -u)"
  local inode
  inode="$(stat -c '%d-%i' "$WINEPREFIX" 2>/dev/null | awk -F- '{printf "%x-%x", $1, $2}')" || true
  if [ -n "$inode" ]; then rm -rf "$sockets/server-$inode"; fi
}
