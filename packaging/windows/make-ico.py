#!/usr/bin/env python3
"""Writes quadrelo.ico, the program's icon for the installer, its shortcuts and the list of
installed programs: the window's picture as drawn by ui/resources/make-icons.py, at 16, 32, 48
and 256 pixels.

Run from anywhere: python3 packaging/windows/make-ico.py. The .ico is committed; edit the
drawing in make-icons.py, not it.
"""
import os
import runpy
import struct
import types

HERE = os.path.dirname(os.path.abspath(__file__))


def load_drawing():
    path = os.path.join(HERE, '..', '..', 'ui', 'resources', 'make-icons.py')
    # Run as a module of another name, so that its own main does not draw the Linux icons.
    return types.SimpleNamespace(**runpy.run_path(path, run_name='make_icons'))


def rgba_grid(canvas, palette):
    """The picture as rows of (r, g, b, a)."""
    def rgba(c):
        if c == ' ':
            return (0, 0, 0, 0)
        return tuple(bytes.fromhex(palette[c][1:])) + (255,)
    return [[rgba(c) for c in row] for row in canvas.px]


def resized(grid, side):
    """Nearest pixel when growing; when halving, each pixel the mean of its four (weighted by
    their opacity), so that the thin ruled lines stay visible as shades."""
    size = len(grid)
    if side * 2 == size:
        out = []
        for y in range(side):
            row = []
            for x in range(side):
                block = [grid[2 * y + dy][2 * x + dx] for dy in (0, 1) for dx in (0, 1)]
                alpha = sum(p[3] for p in block)
                if alpha == 0:
                    row.append((0, 0, 0, 0))
                    continue
                row.append(tuple(round(sum(p[i] * p[3] for p in block) / alpha)
                                 for i in range(3)) + (round(alpha / 4),))
            out.append(row)
        return out
    return [[grid[y * size // side][x * size // side] for x in range(side)]
            for y in range(side)]


def dib(grid):
    """One icon image in the DIB form: 32-bit BGRA rows bottom up, then the 1-bit mask."""
    side = len(grid)
    header = struct.pack('<IiiHHIIiiII', 40, side, 2 * side, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b''.join(bytes((b, g, r, a)) for row in reversed(grid) for r, g, b, a in row)
    stride = (side + 31) // 32 * 4
    mask = b''
    for row in reversed(grid):
        bits = bytearray(stride)
        for x, p in enumerate(row):
            if p[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    return header + colour + mask


def png(grid):
    import zlib
    side = len(grid)
    raw = b''.join(b'\0' + b''.join(bytes(p) for p in row) for row in grid)

    def chunk(kind, data):
        body = kind + data
        return struct.pack('>I', len(data)) + body + struct.pack('>I', zlib.crc32(body))
    header = struct.pack('>IIBBBBB', side, side, 8, 6, 0, 0, 0)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) +
            chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


def main():
    drawing = load_drawing()
    grid = rgba_grid(drawing.window_icon(), drawing.PALETTE)
    # Windows takes the 256-pixel image as PNG; the small ones as DIBs, which every part of it
    # reads.
    images = [(side, dib(resized(grid, side))) for side in (16, 32, 48)]
    images.append((256, png(resized(grid, 256))))
    offset = 6 + 16 * len(images)
    directory = struct.pack('<HHH', 0, 1, len(images))
    for side, data in images:
        directory += struct.pack('<BBBBHHII', side % 256, side % 256, 0, 0, 1, 32, len(data),
                                 offset)
        offset += len(data)
    with open(os.path.join(HERE, 'quadrelo.ico'), 'wb') as out:
        out.write(directory + b''.join(data for _, data in images))


if __name__ == '__main__':
    main()
