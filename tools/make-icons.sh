#!/usr/bin/env bash
# Renders the application icon's PNG sizes for the hicolor theme from its SVGs: 16 and 32 pixels
# from drawings of their own (simpler shapes on whole pixels, which a scaled-down icon blurs), the
# other sizes from the full drawing. Needs rsvg-convert (Debian package librsvg2-bin); the PNGs are
# committed, so a build never needs it.
set -euo pipefail
cd "$(dirname "$0")/.."
svg=dist/icons/com.veltrano.Quorrix.svg
for size in 16 24 32 48 64 128 256 512; do
  drawing=$svg
  [ -f "dist/icons/com.veltrano.Quorrix-$size.svg" ] && drawing="dist/icons/com.veltrano.Quorrix-$size.svg"
  rsvg-convert -w "$size" -h "$size" "$drawing" -o "dist/icons/com.veltrano.Quorrix-$size.png"
done
