#!/usr/bin/env python3
"""Draws the main window's icons: 16x16 PNGs, a coloured tile with one glyph.

Run from this folder; the PNGs are committed (the build lists them), so the build needs no Python.
"""
import struct
import zlib

# 3x5 glyphs, rows top to bottom.
GLYPHS = {
    'C': ['111', '100', '100', '100', '111'], 'D': ['110', '101', '101', '101', '110'],
    'N': ['101', '111', '111', '111', '101'], 'E': ['111', '100', '110', '100', '111'],
    'S': ['111', '100', '111', '001', '111'], 'R': ['110', '101', '110', '101', '101'],
    'F': ['111', '100', '110', '100', '100'], 'P': ['110', '101', '110', '100', '100'],
    'O': ['111', '101', '101', '101', '111'], 'W': ['101', '101', '111', '111', '101'],
    'G': ['111', '100', '101', '101', '111'], 'B': ['110', '101', '110', '101', '110'],
    'H': ['101', '101', '111', '101', '101'], 'X': ['101', '101', '010', '101', '101'],
    'T': ['111', '010', '010', '010', '010'], 'U': ['101', '101', '101', '101', '111'],
    '?': ['111', '001', '011', '000', '010'], 'L': ['100', '100', '100', '100', '111'],
    'M': ['101', '111', '111', '101', '101'], 'A': ['010', '101', '111', '101', '101'],
    '0': ['111', '101', '101', '101', '111'], '1': ['010', '110', '010', '010', '111'],
    '2': ['111', '001', '111', '100', '111'], '3': ['111', '001', '111', '001', '111'],
    '4': ['101', '101', '111', '001', '001'], '5': ['111', '100', '111', '001', '111'],
    '6': ['111', '100', '111', '101', '111'], '7': ['111', '001', '010', '010', '010'],
    '8': ['111', '101', '111', '101', '111'], '9': ['111', '101', '111', '001', '111'],
}

ICONS = {
    'connect': ('C', (40, 150, 60)), 'disconnect': ('X', (190, 60, 50)),
    'download': ('D', (50, 110, 190)), 'new': ('N', (230, 170, 40)),
    'edit': ('E', (120, 90, 170)), 'send': ('S', (40, 140, 150)),
    'resend': ('R', (40, 120, 120)), 'reply': ('B', (70, 150, 90)),
    'find': ('F', (90, 90, 90)), 'print': ('P', (100, 100, 130)),
    'settings': ('O', (130, 110, 80)), 'help': ('?', (50, 100, 200)),
    'open': ('L', (200, 140, 60)), 'save': ('W', (60, 90, 160)),
    'flash': ('T', (200, 80, 120)), 'group': ('G', (150, 120, 40)),
    'box': ('M', (60, 120, 180)), 'contact': ('A', (70, 150, 110)),
    'phrase': ('H', (170, 100, 60)),
}
# The list and tree pictures by index (message states and boxes).
for i in range(12):
    ICONS['image%d' % i] = (str(i % 10), ((40 + 37 * i) % 200 + 30, (90 + 53 * i) % 180 + 40, (150 + 71 * i) % 160 + 60))


def png(pixels, w, h):
    raw = b''.join(b'\x00' + bytes(c for px in pixels[y * w:(y + 1) * w] for c in px) for y in range(h))

    def chunk(kind, data):
        c = kind + data
        return struct.pack('>I', len(data)) + c + struct.pack('>I', zlib.crc32(c) & 0xffffffff)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 6, 0, 0, 0)) +
            chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


def draw(glyph, colour):
    w = h = 16
    px = [(0, 0, 0, 0)] * (w * h)
    dark = tuple(max(0, c - 60) for c in colour)
    for y in range(1, 15):
        for x in range(1, 15):
            edge = x in (1, 14) or y in (1, 14)
            corner = (x in (1, 14)) and (y in (1, 14))
            if corner:
                continue
            px[y * w + x] = (*(dark if edge else colour), 255)
    rows = GLYPHS[glyph]
    for gy, row in enumerate(rows):
        for gx, bit in enumerate(row):
            if bit == '1':
                for dy in range(2):
                    for dx in range(2):
                        x, y = 5 + gx * 2 + dx, 3 + gy * 2 + dy
                        px[y * w + x] = (255, 255, 255, 255)
    return png(px, w, h)


names = sorted(ICONS)
for name in names:
    glyph, colour = ICONS[name]
    with open(name + '.png', 'wb') as f:
        f.write(draw(glyph, colour))
