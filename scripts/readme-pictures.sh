#!/usr/bin/env bash
# Makes the README's pictures, docs/images/*.png, from the real programs under Wine on a
# virtual display and from the remote control's pages in headless Chromium. Run it after
# a change to anything drawn, and commit the pictures that changed.
#   scripts/readme-pictures.sh [NAME...]   only these pictures (docs/images/NAME.png)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
scripts/build.sh windows
# A Wine prefix of the pictures' own, made once, so that no test's settings come into them.
export QUORVEL_WINEPREFIX="${QUORVEL_WINEPREFIX:-$PWD/build/wineprefix-pictures}"
exec python3 scripts/readme_pictures.py "$@"
