#!/usr/bin/python3
"""Cuts the two bundled faces down to the characters the overlay can show.

FTGL's texture font sizes its glyph atlas from the face's glyph count and
bounding box, so a full face costs hundreds of megabytes at the message size
(256 px). The cut keeps every glyph the character set below needs, with its
outline, hinting and kerning unchanged, recomputes the bounding box over what
is left, and empties the .notdef glyph so that a character outside the set
draws nothing.

Usage: cut_fonts.py <output folder> [<Liberation Sans Regular> <Inconsolata>]
The default sources are the Debian packages fonts-liberation2 and
fonts-inconsolata (scripts/install-deps.sh installs them and fonttools).

The SIL Open Font License reserves the names "Liberation" and "Inconsolata"
for unmodified faces, so the cut faces carry their own family names.
"""
import logging
import sys

from fontTools import subset
from fontTools.ttLib import TTFont

# Latin-1 (names, takes and markers are typed by people, mostly in Western
# European languages) and the punctuation that word processors put in typed
# text. Wider sets (Latin Extended-A, Greek, Cyrillic) double the 256 px atlas
# on GPUs whose largest texture is 32768 wide; see the README.
CHARACTER_SET = [
    (0x0020, 0x007E),  # ASCII
    (0x00A0, 0x00FF),  # Latin-1 supplement
    (0x2013, 0x2014),  # en and em dash
    (0x2018, 0x201A),  # single quotes
    (0x201C, 0x201E),  # double quotes
    (0x2020, 0x2022),  # daggers, bullet
    (0x2026, 0x2026),  # ellipsis
    (0x2030, 0x2030),  # per mille
    (0x2039, 0x203A),  # single guillemets
    (0x20AC, 0x20AC),  # euro
    (0x2122, 0x2122),  # trade mark
]

DEFAULT_SOURCES = {
    "Arial.ttf": "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf",
    "OratorStd.otf": "/usr/share/fonts/truetype/inconsolata/Inconsolata.otf",
}
FAMILY = {"Arial.ttf": "VT HUD Sans", "OratorStd.otf": "VT HUD Mono"}


def codepoints():
    return [c for first, last in CHARACTER_SET for c in range(first, last + 1)]


def rename(font, family):
    style = font["name"].getDebugName(2) or "Regular"
    names = {1: family, 3: family + " " + style + " (cut)", 4: family + " " + style,
             6: family.replace(" ", "") + "-" + style}
    for record in list(font["name"].names):
        if record.nameID in (16, 17, 21, 22):
            font["name"].removeNames(nameID=record.nameID)
        elif record.nameID in names:
            record.string = names[record.nameID]
    if "CFF " in font:
        cff = font["CFF "].cff
        cff.fontNames = [names[6]]
        top = cff.topDictIndex[0]
        top.FamilyName, top.FullName = family, names[4]


def cut(source, output, family):
    options = subset.Options()
    options.recalc_bounds = True  # the atlas cell is the face's bounding box
    options.layout_features = []  # FTGL reads no OpenType layout; keep no extra glyphs for it
    options.notdef_outline = False  # unknown characters draw nothing
    options.name_IDs = ["*"]
    options.name_languages = ["*"]
    font = TTFont(source)
    subsetter = subset.Subsetter(options)
    subsetter.populate(unicodes=codepoints())
    subsetter.subset(font)
    rename(font, family)
    font.save(output)


def main(argv):
    logging.disable(logging.WARNING)  # the sources' own oddities, not ours to fix
    if len(argv) not in (2, 4):
        sys.stderr.write(__doc__)
        return 2
    sources = dict(DEFAULT_SOURCES)
    if len(argv) == 4:
        sources = {"Arial.ttf": argv[2], "OratorStd.otf": argv[3]}
    for name, source in sources.items():
        cut(source, argv[1] + "/" + name, FAMILY[name])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
