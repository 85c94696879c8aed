#!/usr/bin/env bash
# Regenerates the editor's artwork and fonts in resources/ (the build only embeds the
# committed files and needs none of this). With --check it only verifies that the
# generator still reproduces the committed files byte for byte.
set -euo pipefail
cd "$(dirname "$0")/.."
PACKAGES=(python3 python3-pil python3-numpy python3-fonttools fonts-lato fonts-league-spartan)
missing=()
for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    SUDO=""
    if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
exec /usr/bin/python3 tools/artwork/make_artwork.py "$@"
