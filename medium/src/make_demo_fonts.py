#!/usr/bin/env python3
"""Makes the demo medium's TrueType fonts from Debian's free fonts.

Usage: make_demo_fonts.py OUTPUT_FOLDER NAME...

Each NAME is one of the file names below; the file is a free font whose family is renamed, so that each of
the seven shows its own display name when installed and none takes the place of a font the system already
has (Wine substitutes its own fonts for Arial, Tahoma and the like). The output depends only on the inputs:
the header's modification time is kept as it is.
"""
import os
import sys

from fontTools.ttLib import TTFont

LIBERATION = "/usr/share/fonts/truetype/liberation"
DEJAVU = "/usr/share/fonts/truetype/dejavu"

# File name on the medium -> (free font it is made from, family name it gets)
RECIPES = {
    "ARIAL.TTF": (f"{LIBERATION}/LiberationSans-Regular.ttf", "Demo Arial"),
    "ARIALN.TTF": (f"{LIBERATION}/LiberationSansNarrow-Regular.ttf", "Demo Arial Narrow"),
    "COUR.TTF": (f"{LIBERATION}/LiberationMono-Regular.ttf", "Demo Courier New"),
    "MICROSS.TTF": (f"{LIBERATION}/LiberationSans-Regular.ttf", "Demo Microsoft Sans Serif"),
    "TAHOMA.TTF": (f"{DEJAVU}/DejaVuSans.ttf", "Demo Tahoma"),
    "TIMES.TTF": (f"{LIBERATION}/LiberationSerif-Regular.ttf", "Demo Times New Roman"),
    "verdana.TTF": (f"{DEJAVU}/DejaVuSans.ttf", "Demo Verdana"),
}

FAMILY, SUBFAMILY, UNIQUE_ID, FULL_NAME, POSTSCRIPT_NAME = 1, 2, 3, 4, 6
# Typographic family and subfamily, and their WWS twins: they would bring the old family name back.
DROPPED = {16, 17, 21, 22}


def rename(font, family):
    table = font["name"]
    table.names = [record for record in table.names if record.nameID not in DROPPED]
    values = {
        FAMILY: family,
        SUBFAMILY: "Regular",
        UNIQUE_ID: f"Tessaro demo medium: {family}",
        FULL_NAME: family,
        POSTSCRIPT_NAME: family.replace(" ", ""),
    }
    for record in table.names:
        if record.nameID in values:
            record.string = values[record.nameID]


def main(argv):
    if len(argv) < 3:
        sys.exit(__doc__)
    out = argv[1]
    os.makedirs(out, exist_ok=True)
    for name in argv[2:]:
        if name not in RECIPES:
            sys.exit(f"make_demo_fonts.py: no recipe for {name}")
        source, family = RECIPES[name]
        font = TTFont(source, recalcTimestamp=False)
        rename(font, family)
        font.save(os.path.join(out, name))


if __name__ == "__main__":
    main(sys.argv)
