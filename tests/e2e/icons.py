"""Which kind of icon a message box shows, told from a picture of it.

Wine's stock icons differ in colour: the exclamation mark is yellow, the
information and question marks blue, the stop sign red. The icon sits at the
left of the box, below the title bar."""
import struct
from pathlib import Path

COLOURS = {
    "exclamation": lambda r, g, b: r > 200 and g > 160 and b < 90,
    "information-or-question": lambda r, g, b: b > 150 and r < 110 and g < 160,
    "stop": lambda r, g, b: r > 180 and g < 90 and b < 90,
}
MIN_PIXELS = 40


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


def icon_kind(path: Path) -> str:
    width, height, pixel = read_bmp(path)
    counts = dict.fromkeys(COLOURS, 0)
    for y in range(28, min(height, 90)):  # below the title bar
        for x in range(0, min(width, 70)):
            rgb = pixel(x, y)
            for kind, matches in COLOURS.items():
                counts[kind] += matches(*rgb)
    kind, count = max(counts.items(), key=lambda item: item[1])
    return kind if count >= MIN_PIXELS else "none"
