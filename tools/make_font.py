#!/usr/bin/env python3
"""Builds display/font8x16.cpp, the 8x16 code page 437 text font, from Terminus Font.

Usage:
  make_font.py [input.pcf[.gz]] [output.cpp]   write the C++ table
  make_font.py --check [input.pcf[.gz]]        print sample glyphs as ASCII art

The input is the 8x16 normal-weight Terminus face in X11 PCF form, by default
ter-u16n_unicode.pcf.gz of Debian's xfonts-terminus (Terminus Font 4.48, SIL Open Font
Licence 1.1). Its glyphs are indexed by Unicode code point, one glyph per code point, so
each code page 437 position takes the glyph of exactly its own character. The 16-pixel
console fonts of console-setup hold the same glyphs, but each is a subset: none has the
pointers U+25BA and U+25C4, and several draw the double-line box pieces with single lines
listed as stand-ins in their Unicode tables.

Position 0 is blank, as on the PC. Every other position must be in the font; a missing
one is an error, never a silent substitute. The library wants bit 0 as the leftmost
pixel of a row, so each row byte is bit-reversed on the way out.
"""

import gzip
import os
import struct
import sys

DEFAULT_INPUT = "/usr/share/fonts/X11/misc/ter-u16n_unicode.pcf.gz"
DEFAULT_OUTPUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "display",
                              "font8x16.cpp")

GLYPHS = 256
ROWS = 16
WIDTH = 8

# PCF table types and format bits (X11 libXfont, pcf.h).
PCF_METRICS = 1 << 2
PCF_BITMAPS = 1 << 3
PCF_BDF_ENCODINGS = 1 << 5
PCF_BYTE_MASK = 1 << 2      # set: multi-byte values are big-endian
PCF_BIT_MASK = 1 << 3       # set: bit 7 of a byte is its leftmost pixel
PCF_COMPRESSED_METRICS = 0x100
NO_GLYPH = 0xFFFF

# Glyphs shown by --check: the shapes a wrong mapping gets wrong (double-line and mixed box
# pieces, the pointers) plus a few landmarks.
CHECK_CODES = [0x04, 0x10, 0x11, 0xAF, 0xB7, 0xBA, 0xBD, 0xC4, 0xC7, 0xCB, 0xCD, 0xD0,
               0xD2, 0xD3, 0xD6, 0xD7, 0xDB, 0xE1]

# Code page 437 graphics for the control-code positions, which Python's cp437 codec maps to
# control characters instead.
CP437_LOW = ("\u0000☺☻♥♦♣♠•◘○◙♂♀♪♫☼►◄↕‼¶§▬↨↑↓→←∟↔▲▼")
CP437_DEL = "⌂"


def cp437_char(code):
    if code < 0x20:
        return CP437_LOW[code]
    if code == 0x7F:
        return CP437_DEL
    return bytes([code]).decode("cp437")


def read_pcf(path):
    """Returns {code point: 16 row bytes, bit 7 leftmost} for every glyph of an 8x16 PCF
    font with a Unicode (ISO 10646) encoding."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] == b"\x1f\x8b":
        data = gzip.decompress(data)
    if data[:4] != b"\x01fcp":
        raise ValueError(f"{path}: not a PCF font")
    (count,) = struct.unpack_from("<I", data, 4)
    tables = {}
    for i in range(count):
        kind, _, _, offset = struct.unpack_from("<IIII", data, 8 + 16 * i)
        tables[kind] = offset
    for kind, name in ((PCF_METRICS, "metrics"), (PCF_BITMAPS, "bitmaps"),
                       (PCF_BDF_ENCODINGS, "encodings")):
        if kind not in tables:
            raise ValueError(f"{path}: no {name} table")

    def table(kind):
        at = tables[kind]
        (fmt,) = struct.unpack_from("<I", data, at)
        return at + 4, fmt, ">" if fmt & PCF_BYTE_MASK else "<"

    at, fmt, end = table(PCF_METRICS)
    metrics = []  # (left bearing, right bearing, width, ascent, descent) per glyph
    if fmt & PCF_COMPRESSED_METRICS:
        (n,) = struct.unpack_from(end + "H", data, at)
        for i in range(n):
            metrics.append(tuple(b - 0x80 for b in data[at + 2 + 5 * i:at + 7 + 5 * i]))
    else:
        (n,) = struct.unpack_from(end + "I", data, at)
        for i in range(n):
            metrics.append(struct.unpack_from(end + "5h", data, at + 4 + 12 * i))

    at, fmt, end = table(PCF_BITMAPS)
    (n,) = struct.unpack_from(end + "I", data, at)
    offsets = struct.unpack_from(end + f"{n}I", data, at + 4)
    bitmap_base = at + 4 + 4 * n + 16
    row_bytes = 1 << (fmt & 3)
    msb_first = bool(fmt & PCF_BIT_MASK)

    at, fmt, end = table(PCF_BDF_ENCODINGS)
    first_col, last_col, first_row, last_row, _ = struct.unpack_from(end + "5H", data, at)
    cols = last_col - first_col + 1
    indices = struct.unpack_from(end + f"{(last_row - first_row + 1) * cols}H", data, at + 10)

    glyphs = {}
    for slot, index in enumerate(indices):
        if index == NO_GLYPH:
            continue
        code_point = (first_row + slot // cols) * 256 + first_col + slot % cols
        left, right, width, ascent, descent = metrics[index]
        if (left, right, width, ascent + descent) != (0, WIDTH, WIDTH, ROWS):
            raise ValueError(f"{path}: glyph U+{code_point:04X} is not an 8x16 cell")
        rows = []
        for y in range(ROWS):
            byte = data[bitmap_base + offsets[index] + y * row_bytes]
            rows.append(byte if msb_first else reverse_bits(byte))
        glyphs[code_point] = rows
    return glyphs


def cp437_glyphs(path):
    """The 256 glyphs in code page 437 order, 16 row bytes each with bit 7 leftmost."""
    font = read_pcf(path)
    missing = [c for c in range(1, GLYPHS) if ord(cp437_char(c)) not in font]
    if missing:
        names = ", ".join(f"0x{c:02X} U+{ord(cp437_char(c)):04X}" for c in missing)
        raise ValueError(f"{path}: no glyph for code page 437 {names}")
    return [[0] * ROWS] + [font[ord(cp437_char(c))] for c in range(1, GLYPHS)]


def reverse_bits(byte):
    return int(f"{byte:08b}"[::-1], 2)


def render_lsb_first(rows):
    """ASCII art of one glyph from the generated table's bit order (bit 0 leftmost)."""
    return ["".join("#" if row & (1 << x) else "." for x in range(WIDTH)) for row in rows]


def check(path):
    glyphs = cp437_glyphs(path)
    print(f"{os.path.basename(path)}: glyphs drawn from the generated (bit 0 leftmost) rows")
    per_line = 6
    for start in range(0, len(CHECK_CODES), per_line):
        codes = CHECK_CODES[start:start + per_line]
        arts = [render_lsb_first([reverse_bits(b) for b in glyphs[c]]) for c in codes]
        print("   ".join(f"0x{c:02X} {cp437_char(c)}    " for c in codes))
        for row in range(ROWS):
            print("   ".join(art[row] for art in arts))
        print()
    print("every position 0x01-0xFF has the glyph of its own character")
    return 0


def write_cpp(path_in, path_out):
    glyphs = cp437_glyphs(path_in)
    lines = [
        f"// Generated by tools/make_font.py from {os.path.basename(path_in)}; do not edit.",
        "// Glyphs of Terminus Font (c) 2010-2014 Dimitar Toshkov Zhekov, SIL Open Font "
        "License 1.1",
        "// (see THIRD_PARTY_NOTICES.md). Code page 437, 16 rows per glyph top row first; "
        "bit 0 of a",
        "// row is its leftmost pixel.",
        '#include "display/screen.hpp"',
        "",
        "namespace quorvel::detail {",
        "",
        "const uint8_t kFont8x16[256][16] = {",
    ]
    for code, rows in enumerate(glyphs):
        body = ", ".join(f"0x{reverse_bits(b):02X}" for b in rows)
        lines.append(f"    {{{body}}},  // 0x{code:02X}")
    lines += ["};", "", "}  // namespace quorvel::detail", ""]
    with open(path_out, "w", encoding="ascii", newline="\n") as f:
        f.write("\n".join(lines))


def main(argv):
    args = argv[1:]
    if args and args[0] in ("-h", "--help"):
        print(__doc__.strip())
        return 0
    if args and args[0] == "--check":
        return check(args[1] if len(args) > 1 else DEFAULT_INPUT)
    if len(args) > 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    path_in = args[0] if args else DEFAULT_INPUT
    path_out = args[1] if len(args) > 1 else os.path.normpath(DEFAULT_OUTPUT)
    write_cpp(path_in, path_out)
    print(f"wrote {path_out} from {path_in}")
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv))
    except (OSError, ValueError, struct.error) as e:
        print(f"make_font.py: {e}", file=sys.stderr)
        sys.exit(1)
