#!/usr/bin/env bash
# Regenerates the editor's artwork and fonts in resources/ (the build only embeds the
# committed files and needs none of this). With --check it only verifies that the
# generator still reproduces the committed files byte for byte.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh artwork
exec /usr/bin/python3 tools/artwork/make_artwork.py "$@"
