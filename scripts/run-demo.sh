#!/usr/bin/env bash
# Installs what is missing, builds quorvel.exe, lays it out beside the bundled program
# folder in dist/quorvel/ and starts it under Wine. Without a display it runs on a
# virtual display, waits for the start dialog, leaves a screenshot in
# quorvel-screenshot.png and stops the program again.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
scripts/build.sh windows

export WINEDEBUG=-all
export WINEPREFIX="${WINEPREFIX:-$HOME/.cache/quorvel-wine}"
[ -d "$WINEPREFIX" ] || { echo "Creating the Wine prefix $WINEPREFIX (once)..."; wineboot -i >/dev/null 2>&1 || true; }
# Debian's Wine finds fonts-wine's Marlett (the title bars' boxes) only in the prefix's Fonts folder.
fonts="$WINEPREFIX/drive_c/windows/Fonts"
[ -f "$fonts/marlett.ttf" ] || { [ -d "$fonts" ] && cp /usr/share/wine/fonts/marlett.ttf "$fonts/" 2>/dev/null; } || true

if [ -n "${DISPLAY:-}" ]; then
  cd dist/quorvel && exec wine quorvel.exe
fi

# The virtual display's run uses the same Wine prefix as a run on a real display.
QUORVEL_WINEPREFIX="$WINEPREFIX" python3 tests/e2e/demo.py dist/quorvel quorvel-screenshot.png
