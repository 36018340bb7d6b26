#!/usr/bin/env python3
"""Draws the application icon, a nine-pin serial connector in 32x32 pixels
and 16 colours, as ui/icons/comterm.png (Linux) and ui/icons/comterm.ico
(the Windows executable's resource), and the same pixels for larger sizes
(packaging/icons/comterm.svg, scalable, and comterm-128.png, each pixel
four times over), so that launchers and software centres show it sharp.
Run it from the top of the source tree to regenerate all four."""
import struct, sys, zlib

# The 16 colours of the classic VGA palette.
PALETTE = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
           (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
           (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
CLEAR, BLACK, NAVY, SILVER, GREY, YELLOW, WHITE, TEAL = 0, 0, 4, 7, 8, 11, 15, 6

img = [[CLEAR] * 32 for _ in range(32)]

def put(x, y, c):
    if 0 <= x < 32 and 0 <= y < 32:
        img[y][x] = c

# Shell: a trapezoid, wider at the top, navy outline, silver face.
for y in range(6, 27):
    inset = (y - 6) * 4 // 20
    left, right = 1 + inset, 30 - inset
    for x in range(left, right + 1):
        edge = y in (6, 26) or x in (left, right)
        put(x, y, NAVY if edge else SILVER)
# Shadow along the bottom and right edges.
for y in range(7, 27):
    put(30 - (y - 6) * 4 // 20 - 1, y, GREY)
for x in range(6, 26):
    put(x, 25, GREY)

def pin(cx, cy):
    for dx in range(-1, 2):
        for dy in range(-1, 2):
            put(cx + dx, cy + dy, YELLOW if (dx, dy) != (1, 1) else TEAL)
    put(cx - 1, cy - 1, WHITE)

for i in range(5):
    pin(7 + i * 4, 12)
for i in range(4):
    pin(9 + i * 4, 19)

raw = b"".join(b"\0" + bytes((row[x] << 4) | row[x + 1] for x in range(0, 32, 2)) for row in img)

def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 32, 32, 4, 3, 0, 0, 0))
png += chunk(b"PLTE", b"".join(bytes(c) for c in PALETTE))
png += chunk(b"tRNS", b"\0")  # colour 0 is transparent
png += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
open("ui/icons/comterm.png", "wb").write(png)

# The same picture as a 4-bit ICO: a bitmap stored bottom-up with a
# transparency mask (1 bit per pixel, rows padded to 32 bits).
pixels = b"".join(bytes((row[x] << 4) | row[x + 1] for x in range(0, 32, 2)) for row in reversed(img))
mask = b"".join(
    sum((1 << (31 - x)) for x in range(32) if row[x] == CLEAR).to_bytes(4, "big") for row in reversed(img))
header = struct.pack("<IiiHHIIiiII", 40, 32, 64, 1, 4, 0, len(pixels) + len(mask), 0, 0, 16, 0)
palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
image = header + palette + pixels + mask
ico = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", 32, 32, 16, 0, 1, 4, len(image), 22)
open("ui/icons/comterm.ico", "wb").write(ico + image)

# The same pixels at 128x128, each repeated 4x4: a launcher or software centre
# that wants a larger image gets sharp pixels, not a blurred upscale.
SCALE = 4
big = [[c for c in row for _ in range(SCALE)] for row in img for _ in range(SCALE)]
raw = b"".join(b"\0" + bytes((row[x] << 4) | row[x + 1] for x in range(0, 32 * SCALE, 2)) for row in big)
png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 32 * SCALE, 32 * SCALE, 4, 3, 0, 0, 0))
png += chunk(b"PLTE", b"".join(bytes(c) for c in PALETTE)) + chunk(b"tRNS", b"\0")
png += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
open("packaging/icons/comterm-128.png", "wb").write(png)

# And as SVG: one rectangle per run of equal pixels in a row, drawn with
# crisp edges so that any size keeps the pixels square.
rects = []
for y, row in enumerate(img):
    x = 0
    while x < 32:
        end = x
        while end < 32 and row[end] == row[x]:
            end += 1
        if row[x] != CLEAR:
            r, g, b = PALETTE[row[x]]
            rects.append(f'<rect x="{x}" y="{y}" width="{end - x}" height="1" fill="#{r:02x}{g:02x}{b:02x}"/>')
        x = end
svg = ('<svg xmlns="http://www.w3.org/2000/svg" width="128" height="128" viewBox="0 0 32 32" '
       'shape-rendering="crispEdges">\n' + "\n".join(rects) + "\n</svg>\n")
open("packaging/icons/comterm.svg", "w").write(svg)
