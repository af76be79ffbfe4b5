"""Test fonts made on the spot with fontTools.

Each face has the names a font for Windows carries (family, style, unique
identifier, full name, version, PostScript name). Wine skips an added face
whose family it already knows (from the system's fonts or from an earlier
installation in the same prefix), and cannot remove it afterwards. So every
font made here gets a family name of its own.
"""
import itertools
import os

from fontTools.fontBuilder import FontBuilder
from fontTools.pens.t2CharStringPen import T2CharStringPen
from fontTools.pens.ttGlyphPen import TTGlyphPen
from fontTools.ttLib import TTCollection, newTable

_serial = itertools.count(1)


def unique_family(kind):
    """A family name no other font has: the run's process id and a serial."""
    return f"Fontctl E2E {kind} {os.getpid()} {next(_serial)}"


def _draw_triangle(pen):
    pen.moveTo((0, 0))
    pen.lineTo((500, 0))
    pen.lineTo((250, 700))
    pen.closePath()


def _build_face(family, style, postscript_outlines=False):
    builder = FontBuilder(1000, isTTF=not postscript_outlines)
    builder.setupGlyphOrder([".notdef", "A"])
    builder.setupCharacterMap({ord("A"): "A"})
    ps_name = f"{family}-{style}".replace(" ", "")
    if postscript_outlines:
        pen = T2CharStringPen(500, None)
        _draw_triangle(pen)
        builder.setupCFF(ps_name, {"FullName": f"{family} {style}"},
                         {".notdef": T2CharStringPen(500, None).getCharString(), "A": pen.getCharString()}, {})
    else:
        pen = TTGlyphPen(None)
        _draw_triangle(pen)
        builder.setupGlyf({".notdef": TTGlyphPen(None).glyph(), "A": pen.glyph()})
    builder.setupHorizontalMetrics({".notdef": (500, 0), "A": (500, 0)})
    builder.setupHorizontalHeader(ascent=800, descent=-200)
    # The names that Windows' font table and font pickers read besides the
    # family and style: each font is complete, not just enough for Wine.
    full_name = f"{family} {style}"
    builder.setupNameTable({"familyName": family, "styleName": style, "uniqueFontIdentifier": full_name,
                            "fullName": full_name, "version": "Version 1.000",
                            "psName": ps_name})
    # Windows' metrics and character sets come from the OS/2 table: the
    # ascent and descent of the hhea table, Basic Latin (Unicode range bit
    # 0), code page 1252 (code page range bit 0), a regular face. A font with
    # no code page bit is one that Windows finds fit for no character set.
    builder.setupOS2(sTypoAscender=800, sTypoDescender=-200, usWinAscent=800, usWinDescent=200,
                     ulUnicodeRange1=1, ulCodePageRange1=1, fsSelection=0x40)
    builder.setupPost()
    return builder.font


def write_truetype(path, kind="TrueType", padding=0):
    """A TrueType font with one face of a new family; returns the family.
    PADDING bytes more, in a table of their own that the font table skips,
    make a font as large as a real one with many glyphs."""
    family = unique_family(kind)
    font = _build_face(family, "Regular")
    if padding:
        table = newTable("zPAD")
        table.data = bytes(range(256)) * (padding // 256) + bytes(padding % 256)
        font["zPAD"] = table
    font.save(path)
    return family


def write_opentype(path):
    """An OpenType font with PostScript outlines (CFF) with one face of a new
    family; returns the family."""
    family = unique_family("OpenType")
    _build_face(family, "Regular", postscript_outlines=True).save(path)
    return family


def write_collection(path):
    """A font collection with two faces, each of a new family; returns the
    two families."""
    families = [unique_family("Collection"), unique_family("Collection")]
    collection = TTCollection()
    collection.fonts = [_build_face(family, "Regular") for family in families]
    collection.save(path)
    return families


def write_non_font(path):
    """A plain text file: the font table finds no font in it."""
    with open(path, "wb") as file:
        file.write(b"This is a text file, not a font.\r\n")
