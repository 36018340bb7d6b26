#!/usr/bin/env python3
"""Draws the application icon, a nine-pin serial connector in the 16 colours
of the classic VGA palette, laid out afresh on each size's own pixel grid so
that every size is sharp. Writes, under the given folder (default: the top of
the source tree, where it is run from):

  ui/icons/comterm.png           32x32, 16 colours (the Linux window's icon)
  packaging/icons/comterm-128.png
  packaging/icons/comterm.svg    the 32x32 pixels, each 4x4 or scalable
  ui/icons/comterm.ico           the Windows executable's MAINICON: 16, 20,
                                 24, 32, 40, 48, 64 and 256 px in 32-bit
                                 colour with alpha, the 256 px one as PNG

The 32 px image is the same in all of them. The files are checked in; the
package checks run this script into a scratch folder and compare."""
import math, os, struct, sys, zlib

# The 16 colours of the classic VGA palette.
PALETTE = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
           (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
           (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
CLEAR, BLACK, NAVY, SILVER, GREY, YELLOW, WHITE, TEAL = 0, 0, 4, 7, 8, 11, 15, 6
WINDOWS_SIZES = (16, 20, 24, 32, 40, 48, 64, 256)


def rnd(x):
    return math.floor(x + 0.5)


def draw(size):
    """The icon as rows of palette indices, CLEAR where transparent. The
    picture is designed on a 32-unit grid; each size places its edges on
    whole pixels (lines at least one pixel wide, pins at least one pixel
    apart), and at 32 px it is that grid exactly."""
    u = size / 32
    img = [[CLEAR] * size for _ in range(size)]

    def fill(x0, y0, x1, y1, c):  # x1, y1 exclusive
        for y in range(max(0, y0), min(size, y1)):
            for x in range(max(0, x0), min(size, x1)):
                img[y][x] = c

    line = max(1, rnd(u))
    # Shell: a trapezoid, wider at the top, navy outline, silver face; its
    # sides move in by a fifth of a pixel per row.
    top, bottom = rnd(6 * u), rnd(27 * u) - 1

    def left(y):
        return math.floor(u + 0.2 * (y + 0.5 - 6 * u))

    def right(y):
        return size - 1 - left(y)

    for y in range(top, bottom + 1):
        fill(left(y), y, right(y) + 1, y + 1, SILVER)
        fill(left(y), y, left(y) + line, y + 1, NAVY)
        fill(right(y) + 1 - line, y, right(y) + 1, y + 1, NAVY)
    for y in range(top, top + line):
        fill(left(y), y, right(y) + 1, y + 1, NAVY)
    for y in range(bottom + 1 - line, bottom + 1):
        fill(left(y), y, right(y) + 1, y + 1, NAVY)
    # Shadow inside the right and bottom edges.
    for y in range(top + line, bottom + 1):
        fill(right(y) + 1 - 2 * line, y, right(y) + 1 - line, y + 1, GREY)
    fill(rnd(6 * u), bottom + 1 - 2 * line, rnd(26 * u), bottom + 1 - line, GREY)

    # Pins: five over four, yellow with a white glint and a teal shade.
    pitch = max(2, rnd(4 * u))
    pin = min(pitch - 1, max(1, rnd(3 * u)))
    mark = max(1, rnd(pin / 3))
    row1 = rnd(11 * u)
    row2 = max(rnd(18 * u), row1 + pin + 1)
    for count, y in ((5, row1), (4, row2)):
        x0 = (size - ((count - 1) * pitch + pin)) // 2
        for i in range(count):
            x = x0 + i * pitch
            fill(x, y, x + pin, y + pin, YELLOW)
            if pin >= 2:
                fill(x, y, x + mark, y + mark, WHITE)
            if pin >= 3:
                fill(x + pin - mark, y + pin - mark, x + pin, y + pin, TEAL)
    return img


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def png_16_colours(img):
    side = len(img)
    raw = b"".join(b"\0" + bytes((row[x] << 4) | row[x + 1] for x in range(0, side, 2)) for row in img)
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", side, side, 4, 3, 0, 0, 0))
    png += chunk(b"PLTE", b"".join(bytes(c) for c in PALETTE))
    png += chunk(b"tRNS", b"\0")  # colour 0 is transparent
    return png + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def rgba(c):
    return bytes(PALETTE[c]) + (b"\0" if c == CLEAR else b"\xff")


def png_rgba(img):
    side = len(img)
    raw = b"".join(b"\0" + b"".join(rgba(c) for c in row) for row in img)
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", side, side, 8, 6, 0, 0, 0))
    return png + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def bmp_32_bit(img):
    """An ICO entry's bitmap: header, BGRA rows bottom-up, then the 1-bit
    transparency mask (rows padded to 32 bits) that older readers want."""
    side = len(img)
    pixels = b"".join(bytes((b, g, r, 0 if c == CLEAR else 255))
                      for row in reversed(img) for c in row for r, g, b in (PALETTE[c],))
    stride = (side + 31) // 32 * 4
    mask = b"".join(sum(1 << (stride * 8 - 1 - x) for x in range(side) if row[x] == CLEAR)
                    .to_bytes(stride, "big") for row in reversed(img))
    header = struct.pack("<IiiHHIIiiII", 40, side, 2 * side, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    return header + pixels + mask


def ico(sizes):
    images = [png_rgba(draw(s)) if s >= 256 else bmp_32_bit(draw(s)) for s in sizes]
    offset = 6 + 16 * len(sizes)
    out = struct.pack("<HHH", 0, 1, len(sizes))
    for s, image in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return out + b"".join(images)


def svg(img):
    """One rectangle per run of equal pixels in a row, drawn with crisp edges
    so that any size keeps the pixels square."""
    rects = []
    for y, row in enumerate(img):
        x = 0
        while x < len(row):
            end = x
            while end < len(row) and row[end] == row[x]:
                end += 1
            if row[x] != CLEAR:
                r, g, b = PALETTE[row[x]]
                rects.append(f'<rect x="{x}" y="{y}" width="{end - x}" height="1" fill="#{r:02x}{g:02x}{b:02x}"/>')
            x = end
    return ('<svg xmlns="http://www.w3.org/2000/svg" width="128" height="128" viewBox="0 0 32 32" '
            'shape-rendering="crispEdges">\n' + "\n".join(rects) + "\n</svg>\n")


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else "."
    for folder in ("ui/icons", "packaging/icons"):
        os.makedirs(os.path.join(root, folder), exist_ok=True)

    def write(path, data):
        with open(os.path.join(root, path), "wb") as f:
            f.write(data)

    img = draw(32)
    write("ui/icons/comterm.png", png_16_colours(img))
    # 128 px for launchers and software centres: each 32 px pixel 4x4.
    write("packaging/icons/comterm-128.png",
          png_16_colours([[c for c in row for _ in range(4)] for row in img for _ in range(4)]))
    write("packaging/icons/comterm.svg", svg(img).encode())
    write("ui/icons/comterm.ico", ico(WINDOWS_SIZES))


main()
