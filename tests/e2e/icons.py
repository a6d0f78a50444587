"""Which kind of icon a message box shows, told from a picture of it.

Wine's stock icons differ in colour: the exclamation mark is yellow, the
information and question marks blue (the product shows no other). Of the two blue ones
the question mark's white glyph covers more of its circle (about 5.6 % against
3.4 % for the "i"). The icon sits at the left of the box, below the title bar,
centred on a text taller than itself."""
import itertools
import struct
from pathlib import Path

COLOURS = {
    "exclamation": lambda r, g, b: r > 200 and g > 160 and b < 90,
    "blue": lambda r, g, b: b > 150 and r < 110 and g < 160,
}
MIN_PIXELS = 40
QUESTION_GLYPH_SHARE = 0.045


def is_white(r, g, b):
    return r > 200 and g > 200 and b > 200


def read_bmp(path: Path):
    """Width, height and a pixel reader of a 24-bit bottom-up BMP."""
    data = Path(path).read_bytes()
    offset, = struct.unpack_from("<I", data, 10)
    width, height = struct.unpack_from("<ii", data, 18)
    stride = (width * 3 + 3) & ~3

    def pixel(x, y):
        at = offset + (height - 1 - y) * stride + x * 3
        b, g, r = data[at:at + 3]
        return r, g, b
    return width, height, pixel


def icon_area(width, height):
    return itertools.product(range(min(width, 70)), range(28, height))  # below the title bar


def glyph_share(width, height, pixel) -> float:
    """The white share of the blue circle, row by row between its edges."""
    rows = {}
    for x, y in icon_area(width, height):
        if COLOURS["blue"](*pixel(x, y)):
            first, last = rows.get(y, (x, x))
            rows[y] = (min(first, x), max(last, x))
    inside = sum(last - first + 1 for first, last in rows.values())
    white = sum(is_white(*pixel(x, y)) for y, (first, last) in rows.items() for x in range(first, last + 1))
    return white / inside if inside else 0.0


def icon_kind(path: Path) -> str:
    width, height, pixel = read_bmp(path)
    counts = {kind: sum(matches(*pixel(x, y)) for x, y in icon_area(width, height))
              for kind, matches in COLOURS.items()}
    kind, count = max(counts.items(), key=lambda item: item[1])
    if count < MIN_PIXELS:
        return "none"
    if kind == "blue":
        return "question" if glyph_share(width, height, pixel) > QUESTION_GLYPH_SHARE else "information"
    return kind
