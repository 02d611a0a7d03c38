#!/usr/bin/env bash
# Writes the seed corpus of the picture fuzz targets: a few tiny valid files
# of each kind, made with ImageMagick. Run it again after changing it and
# commit the files under fuzz/corpus/.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
corpus="$here/corpus"
rm -rf "$corpus/jpeg" "$corpus/png" "$corpus/gif" "$corpus/bmp" "$corpus/dib"
mkdir -p "$corpus/jpeg" "$corpus/png" "$corpus/gif" "$corpus/bmp" "$corpus/dib"
picture=(-size 8x6 gradient:red-blue)
strip=(-strip)

convert "${picture[@]}" "${strip[@]}" -quality 50 "$corpus/jpeg/rgb.jpg"
convert "${picture[@]}" "${strip[@]}" -colorspace Gray "$corpus/jpeg/grey.jpg"
convert "${picture[@]}" "${strip[@]}" -interlace JPEG "$corpus/jpeg/progressive.jpg"
convert "${picture[@]}" "${strip[@]}" -colorspace CMYK "$corpus/jpeg/cmyk.jpg"

convert "${picture[@]}" "${strip[@]}" "PNG24:$corpus/png/rgb.png"
convert "${picture[@]}" "${strip[@]}" -colors 4 "PNG8:$corpus/png/palette.png"
convert "${picture[@]}" "${strip[@]}" -colorspace Gray -alpha set -channel A -evaluate set 50% \
  "PNG:$corpus/png/grey-alpha.png"
convert "${picture[@]}" "${strip[@]}" -depth 16 "PNG48:$corpus/png/rgb16.png"
convert "${picture[@]}" "${strip[@]}" -interlace PNG "PNG24:$corpus/png/interlaced.png"

convert "${picture[@]}" -colors 4 "$corpus/gif/simple.gif"
convert "${picture[@]}" -colors 4 -interlace GIF "$corpus/gif/interlaced.gif"
convert -size 8x6 xc:red -page 10x8+1+1 -transparent red \( -size 4x4 xc:blue \) \
  "$corpus/gif/animated.gif"

convert "${picture[@]}" "BMP3:$corpus/bmp/rgb24.bmp"
convert "${picture[@]}" -colors 4 -type Palette "BMP3:$corpus/bmp/palette.bmp"
convert "${picture[@]}" -colors 16 -type Palette -compress RLE "BMP3:$corpus/bmp/rle.bmp"
convert "${picture[@]}" -monochrome "BMP3:$corpus/bmp/mono.bmp"
convert "${picture[@]}" "BMP2:$corpus/bmp/os2.bmp"
convert "${picture[@]}" -define bmp:subtype=RGB565 "BMP:$corpus/bmp/rgb565.bmp"
convert "${picture[@]}" -alpha set "BMP:$corpus/bmp/v5-alpha.bmp"

# A packed DIB is a bitmap file without its 14-byte file header.
for file in rgb24 palette rle mono rgb565; do
  tail -c +15 "$corpus/bmp/$file.bmp" >"$corpus/dib/$file.dib"
done
