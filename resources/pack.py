#!/usr/bin/env python3
"""Packs rendered RGBA pixels into the program's resource files.

  pack.py bmp OUT.bmp WIDTH HEIGHT RAW          RAW: WIDTH*HEIGHT*4 bytes, RGBA, top row first
  pack.py ico OUT.ico SIZE:RAW ... 256:PNG      small sizes from raw RGBA, the 256 px image as PNG

The bitmap is written as a plain bottom-up 32 bits per pixel DIB (BI_RGB, alpha byte 255), which
LoadBitmap turns into a device bitmap. Icon images up to 48 px are 32-bit DIBs with an AND mask;
the 256 px image is stored as PNG, as icon files do for that size.
"""
import struct
import sys


def bgra_bottom_up(rgba, width, height, opaque):
    rows = []
    for y in range(height - 1, -1, -1):
        row = bytearray(rgba[y * width * 4:(y + 1) * width * 4])
        for x in range(width):
            r, g, b, a = row[x * 4:x * 4 + 4]
            row[x * 4:x * 4 + 4] = bytes((b, g, r, 255 if opaque else a))
        rows.append(bytes(row))
    return b"".join(rows)


def info_header(width, height, bits, image_size):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, image_size, 2835, 2835, 0, 0)


def write_bmp(out, width, height, raw):
    rgba = open(raw, "rb").read()
    assert len(rgba) == width * height * 4, "raw size does not match the picture size"
    pixels = bgra_bottom_up(rgba, width, height, opaque=True)
    offset = 14 + 40
    with open(out, "wb") as f:
        f.write(struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset))
        f.write(info_header(width, height, 32, len(pixels)))
        f.write(pixels)


def icon_dib(size, raw):
    rgba = open(raw, "rb").read()
    assert len(rgba) == size * size * 4, "raw size does not match the icon size"
    colour = bgra_bottom_up(rgba, size, size, opaque=False)
    stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for y in range(size - 1, -1, -1):
        row = bytearray(stride)
        for x in range(size):
            if rgba[(y * size + x) * 4 + 3] == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    # The icon header's height counts the colour image and the mask.
    return info_header(size, size * 2, 32, len(colour) + len(mask)) + colour + bytes(mask)


def write_ico(out, items):
    images = []
    for item in items:
        size_text, path = item.split(":", 1)
        size = int(size_text)
        data = open(path, "rb").read() if path.endswith(".png") else icon_dib(size, path)
        images.append((size, data))
    offset = 6 + 16 * len(images)
    with open(out, "wb") as f:
        f.write(struct.pack("<HHH", 0, 1, len(images)))
        for size, data in images:
            side = 0 if size >= 256 else size
            f.write(struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(data), offset))
            offset += len(data)
        for _, data in images:
            f.write(data)


if __name__ == "__main__":
    if sys.argv[1] == "bmp":
        write_bmp(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), sys.argv[5])
    elif sys.argv[1] == "ico":
        write_ico(sys.argv[2], sys.argv[3:])
    else:
        sys.exit("usage: pack.py bmp|ico ...")
