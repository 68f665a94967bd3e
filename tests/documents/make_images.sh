#!/bin/sh
# Writes the placed-image files the tests read into OUTDIR with ImageMagick: one per shape a
# delivery's images take (CMYK JPEG, 16-bit PSD, PSB, BigTIFF, JPEG inside TIFF, PNG with its
# resolution in metres, a PNG named .jpg, cut-off files).
set -eu
out=$1
mkdir -p "$out"
cd "$out"
c() { convert "$@"; }
c -size 40x30 xc:red -colorspace CMYK -density 350 -units PixelsPerInch cmyk.jpg
c -size 64x48 gradient:blue-white -depth 16 -density 72 -units PixelsPerInch rgb16.psd
c -size 50x40 xc:gray50 -colorspace Gray -depth 8 -density 300 -units PixelsPerInch PSB:gray.psb
c -size 30x20 xc:green -depth 8 -density 200 -units PixelsPerInch TIFF64:big.tif
c -size 30x20 xc:green -colorspace CMYK -compress JPEG -density 118.11 -units PixelsPerCentimeter jpeg-in.tif
c -size 33x22 xc:orange -density 118.11 -units PixelsPerCentimeter PNG24:phys.png
c -size 10x12 xc:red PNG24:not-a.jpg
c -size 16x16 pattern:checkerboard -monochrome -depth 1 -density 600 -units PixelsPerInch bitmap.tif
c -size 16x8 xc:red xc:blue +append -type Palette -depth 8 PNG8:palette.png
# Cut off inside the header, and a TIFF whose directory was after the cut.
c -size 300x200 xc:red -density 72 -units PixelsPerInch whole.png
head -c 30 whole.png > cut.png
c -size 300x200 plasma:fractal -depth 8 whole.tif
head -c 2000 whole.tif > cut.tif
rm -f whole.png whole.tif
