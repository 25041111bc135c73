#!/usr/bin/env bash
# Regenerates the three bundled fonts from Source Han Sans SC (SIL OFL 1.1).
#
#   resources/font/make-fonts.sh [folder with SourceHanSansSC-*.otf]
#
# Without an argument the fonts are taken from the npm package
# node-source-han-sans-sc, fetched with `npm pack` into a temporary folder.
# Each weight is cut down to Latin, Latin-1, general punctuation, CJK symbols
# and punctuation, full-width forms, the GB2312 hanzi and every character the
# zh_CN catalogue uses; the full fonts are 17 MB each and the program needs
# only simplified Chinese. The Japanese, Korean and traditional forms reached
# through 'locl' and the vertical forms go as well: they would double the
# glyph count for text the program never sets.
#
# The license reserves the name "Source" for the unmodified fonts, so the
# subsets carry the family name "Snipwave Sans SC" inside; the file names stay
# those the resource bundle uses.
#
# Needs: npm (without an argument), python3 with fontTools (Debian
# python3-fonttools).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
catalogue="$here/../i18n/snipwave_zh_CN.ts"

python=python3
if ! "$python" -c 'import fontTools' 2>/dev/null; then
    python=/usr/bin/python3
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if [ $# -ge 1 ]; then
    src=$(cd "$1" && pwd)
else
    (cd "$work" && npm pack --silent node-source-han-sans-sc >/dev/null && tar xzf ./*.tgz)
    src="$work/package"
fi

"$python" - "$catalogue" >"$work/unicodes.txt" <<'PY'
import sys
import xml.etree.ElementTree as ET

codes = set()
ranges = [
    (0x0020, 0x007E),  # Basic Latin
    (0x00A0, 0x00FF),  # Latin-1 Supplement
    (0x2000, 0x206F),  # General Punctuation
    (0x3000, 0x303F),  # CJK Symbols and Punctuation
    (0xFF00, 0xFFEF),  # Halfwidth and Fullwidth Forms
]
for first, last in ranges:
    codes.update(range(first, last + 1))

# GB2312 hanzi: rows 16 to 87 of the 94 x 94 table (lead bytes B0 to F7).
for lead in range(0xB0, 0xF8):
    for trail in range(0xA1, 0xFF):
        try:
            text = bytes((lead, trail)).decode('gb2312')
        except UnicodeDecodeError:
            continue
        codes.update(ord(c) for c in text)

# Whatever the catalogue shows must be in the font, hanzi outside GB2312 too.
for element in ET.parse(sys.argv[1]).getroot().iter():
    if element.tag in ('source', 'translation') and element.text:
        codes.update(ord(c) for c in element.text if ord(c) >= 0x20)

print(','.join('U+%04X' % c for c in sorted(codes)))
PY

for weight in Normal Light Medium; do
    "$python" -m fontTools.subset "$src/SourceHanSansSC-$weight.otf" \
        --unicodes-file="$work/unicodes.txt" \
        --layout-features-='locl,vert,vrt2,vjmo' \
        --name-IDs='*' \
        --output-file="$work/$weight.otf"
    "$python" - "$work/$weight.otf" "$here/SourceHanSansCN-$weight.ttf" "$weight" <<'PY'
import sys
from fontTools.ttLib import TTFont

source, target, weight = sys.argv[1:4]
family = 'Snipwave Sans SC'
postscript = 'SnipwaveSansSC-' + weight

font = TTFont(source)
names = font['name']
# Keep the Windows English records only: the subset already dropped the
# localised ones, and the Macintosh copies would keep the old names.
names.names = [n for n in names.names if n.platformID == 3 and n.langID == 0x409]
records = {
    1: family + ('' if weight == 'Regular' else ' ' + weight),
    2: 'Regular',
    3: postscript,
    4: family + ' ' + weight,
    6: postscript,
    10: 'Subset of Source Han Sans SC %s (Adobe), renamed as the SIL Open '
        'Font License requires for modified versions.' % weight,
    16: family,
    17: weight,
}
for name_id, text in records.items():
    names.removeNames(nameID=name_id)
    names.setName(text, name_id, 3, 1, 0x409)

cff = font['CFF '].cff
old = cff.fontNames[0]
cff.fontNames = [postscript]
top = cff.topDictIndex[0]
top.FullName = family + ' ' + weight
top.FamilyName = family
if hasattr(top, 'FDArray'):
    for fd in top.FDArray:
        if hasattr(fd, 'FontName'):
            fd.FontName = fd.FontName.replace(old, postscript)
font.save(target)
PY
    echo "SourceHanSansCN-$weight.ttf: $(stat -c %s "$here/SourceHanSansCN-$weight.ttf") bytes"
done
