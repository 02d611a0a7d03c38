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

# JPEG features the decoder treats on its own: restart markers, arithmetic
# coding, and EXIF orientations in both byte orders (an APP1 segment put
# right after the start marker).
convert "${picture[@]}" "${strip[@]}" "BMP3:$corpus/jpeg-in.bmp"
cjpeg -restart 1 -outfile "$corpus/jpeg/restarts.jpg" "$corpus/jpeg-in.bmp"
cjpeg -arithmetic -outfile "$corpus/jpeg/arithmetic.jpg" "$corpus/jpeg-in.bmp"
rm "$corpus/jpeg-in.bmp"
with_orientation() {  # file byte-order(II|MM) value out
  local tiff
  if [[ "$2" == II ]]; then
    tiff="II\x2a\x00\x08\x00\x00\x00\x01\x00\x12\x01\x03\x00\x01\x00\x00\x00\x0$3\x00\x00\x00\x00\x00\x00\x00"
  else
    tiff="MM\x00\x2a\x00\x00\x00\x08\x00\x01\x01\x12\x00\x03\x00\x00\x00\x01\x00\x0$3\x00\x00\x00\x00\x00\x00"
  fi
  { head -c 2 "$1"; printf '\xff\xe1\x00\x24Exif\x00\x00'; printf "$tiff"; tail -c +3 "$1"; } >"$4"
}
with_orientation "$corpus/jpeg/rgb.jpg" II 6 "$corpus/jpeg/exif-right.jpg"
with_orientation "$corpus/jpeg/progressive.jpg" MM 5 "$corpus/jpeg/exif-transposed.jpg"

# The XML readers: a real file of each kind, as the program writes it (or as
# it ships), and a few broken ones.
for target in phoneslist parameters options logodirectory appstate; do
  rm -rf "$corpus/$target"
  mkdir -p "$corpus/$target"
done
cp "$here/../data/phoneslist.xml" "$corpus/phoneslist/shipped.xml"
cp "$here/../data/parameters.xml" "$corpus/parameters/shipped.xml"
cat >"$corpus/options/saved.xml" <<'XML'
<options><login value=""/><password value=""/><proxysource value="ie"/><proxyhost value=""/><proxyport value=""/><proxyauthentication value="no"/><proxylogin value=""/><proxypassword value=""/><showlogochange value="no"/><fillemptyarea value="no"/><emptyareacolor value="16777215"/><jpegquality value="90"/><showjpegdialog value="yes"/><gifbitdepth value="8"/><showgifdialog value="yes"/><convertretainsource value="2"/><convertasktargetname value="no"/><mirrorretainsource value="2"/><mirrorasktargetname value="no"/><rotateretainsource value="2"/><rotateasktargetname value="no"/><importedfileformat value="1"/><importasktargetname value="no"/><grabbedfileformat value="1"/><grabasktargetname value="no"/><enableaccesshint value="yes"/><checknewversion value="yes"/></options>
XML
# The logo directory and application state name the files that the fuzz
# targets put in their program folder (fuzz/FuzzProgramFolder.h).
cat >"$corpus/logodirectory/saved.xml" <<'XML'
<logodirectory><logodirnode nodekind="logo" nodename="a.jpg" frameleft="10" frametop="20" framewidth="300" frameheight="300" phonemakeid="0" phonemodelid="17" logowidth="128" logoheight="128" fitkind="smaller" keepproportions="yes" uploadurl="http://wap.quillet-logos.com/?id=4711"/><logodirnode nodekind="folder" nodename="Cars" frameleft="-1" frametop="-1" framewidth="-1" frameheight="-1" phonemakeid="-1" phonemodelid="-1" logowidth="128" logoheight="128" fitkind="bigger" keepproportions="yes" uploadurl=""><logodirnode nodekind="logo" nodename="b.png" frameleft="-1" frametop="-1" framewidth="-1" frameheight="-1" phonemakeid="-1" phonemodelid="-1" logowidth="96" logoheight="65" fitkind="bigger" keepproportions="no" uploadurl=""/><logodirnode nodekind="folder" nodename="Sports" frameleft="-1" frametop="-1" framewidth="-1" frameheight="-1" phonemakeid="-1" phonemodelid="-1" logowidth="128" logoheight="128" fitkind="bigger" keepproportions="yes" uploadurl=""><logodirnode nodekind="logo" nodename="c.gif" frameleft="-1" frametop="-1" framewidth="-1" frameheight="-1" phonemakeid="-1" phonemodelid="-1" logowidth="16" logoheight="400" fitkind="width" keepproportions="yes" uploadurl=""/></logodirnode></logodirnode></logodirectory>
XML
cat >"$corpus/appstate/saved.xml" <<'XML'
<appstate><activenodepath value="Cars/Sports/c.gif"/></appstate>
XML

# Broken files: cut short, a foreign root, two roots, a repeated attribute,
# values of the wrong kind, missing attributes, and the XML that the readers
# must take in their stride (declaration, comments, letter case, entities).
cut_half() { head -c $(($(wc -c <"$1") / 2)) "$1" >"$2"; }
for target in phoneslist parameters options logodirectory appstate; do
  real="$(ls "$corpus/$target"/*.xml | head -n 1)"
  cut_half "$real" "$corpus/$target/cut.xml"
  printf '<html><body>not this file</body></html>' >"$corpus/$target/foreign-root.xml"
  { cat "$real"; printf '<%s/>' "$target"; } >"$corpus/$target/two-roots.xml"
done
cat >"$corpus/phoneslist/odd.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<!-- odd values -->
<PHONESLIST><Make name="Nokia"><model name="3310" screenwidth="84" screenheight="48"/><model name="wide" screenwidth="99999999999" screenheight="-3"/><model name="text" screenwidth="eighty" screenheight=""/><model screenwidth="16" screenheight="16"/></Make><make><model name="&lt;none&gt;" screenwidth="16" screenheight="16" screenheight="17"/></make></PHONESLIST>
XML
cat >"$corpus/parameters/odd.xml" <<'XML'
<?xml version="1.0"?>
<Parameters><UPLOADHOST value="127.0.0.1:8080"/><uploadscript/><memstatscript value=""/><appverscript value="no-slash.php"/><sendmailhost value="&amp;host"/><unknown value="x"/><![CDATA[text]]></Parameters>
XML
cat >"$corpus/options/odd.xml" <<'XML'
<?xml version="1.0"?>
<options><proxysource value="MANUAL"/><proxyport value="99999"/><emptyareacolor value="-1"/><jpegquality value="73"/><gifbitdepth value="42"/><convertretainsource value="7"/><importedfileformat value="x"/><showgifdialog value="YES"/><login value="&#x263A; name"/><login value="second"/><Password/></options>
XML
cat >"$corpus/logodirectory/odd.xml" <<'XML'
<logodirectory><logodirnode nodekind="LOGO" nodename="a.jpg" frameleft="2147483647" frametop="-2147483648" framewidth="0" frameheight="99999999999" logowidth="1" logoheight="100000" fitkind="sideways" keepproportions="maybe"/><logodirnode nodekind="folder" nodename="../outside.bmp"/><logodirnode nodekind="logo" nodename="missing.png"/><logodirnode nodekind="folder" nodename="Cars"><logodirnode nodekind="logo" nodename="b.png"><logodirnode nodekind="logo" nodename="c.gif"/></logodirnode></logodirnode><other/><logodirnode nodename="no-kind"/></logodirectory>
XML
cat >"$corpus/appstate/odd.xml" <<'XML'
<APPSTATE><activenodepath value="Cars"/><ActiveNodePath value="Cars//Sports/../c.gif"/><activenodepath value="/Nowhere/at/all"/><activenodepath/></APPSTATE>
XML
