#!/bin/sh
# Renders the PNG sizes of the program's icon from its SVG (rsvg-convert, Debian package
# librsvg2-bin). The PNGs are kept in the repository, so a build needs no renderer: run
# this after changing the SVG.
set -eu
cd "$(dirname "$0")"
id=io.github.quillmark.Quillmark
for size in 16 32 48 64 128 256; do
  mkdir -p "${size}x${size}"
  rsvg-convert -w "$size" -h "$size" "$id.svg" -o "${size}x${size}/$id.png"
done
