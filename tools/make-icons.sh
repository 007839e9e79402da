#!/usr/bin/env bash
# Renders the application icon's PNG sizes for the hicolor theme from its SVG. Needs rsvg-convert
# (Debian package librsvg2-bin); the PNGs are committed, so a build never needs it.
set -euo pipefail
cd "$(dirname "$0")/.."
svg=dist/icons/com.veltrano.Quorrix.svg
for size in 16 24 32 48 64 128 256 512; do
  rsvg-convert -w "$size" -h "$size" "$svg" -o "dist/icons/com.veltrano.Quorrix-$size.png"
done
