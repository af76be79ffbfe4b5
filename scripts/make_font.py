#!/usr/bin/python3
"""Writes a small valid TrueType font with a family name of its own.

Usage: make_font.py OUTPUT.ttf "Family Name"

Windows (and Wine) skip an added face whose family is already installed, so
every font made here must be given a family name that no system font has.
"""
import sys

from fontTools.fontBuilder import FontBuilder
from fontTools.pens.ttGlyphPen import TTGlyphPen


def build_font(family):
    builder = FontBuilder(1000, isTTF=True)
    builder.setupGlyphOrder([".notdef", "A"])
    builder.setupCharacterMap({ord("A"): "A"})
    pen = TTGlyphPen(None)
    pen.moveTo((0, 0))
    pen.lineTo((500, 0))
    pen.lineTo((250, 700))
    pen.closePath()
    builder.setupGlyf({".notdef": TTGlyphPen(None).glyph(), "A": pen.glyph()})
    builder.setupHorizontalMetrics({".notdef": (500, 0), "A": (500, 0)})
    builder.setupHorizontalHeader(ascent=800, descent=-200)
    builder.setupNameTable({"familyName": family, "styleName": "Regular"})
    builder.setupOS2()
    builder.setupPost()
    return builder.font


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    build_font(sys.argv[2]).save(sys.argv[1])
