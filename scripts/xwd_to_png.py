#!/usr/bin/python3
"""Converts a screen dump of xwd (24 or 32 bits a pixel, true colour) into a PNG file, without
ImageMagick: xwd_to_png.py IN.xwd OUT.png"""
import struct, sys, zlib
data = open(sys.argv[1], 'rb').read()
h = struct.unpack('>25I', data[:100])
hsize, ver, fmt, depth, w, hgt = h[:6]
byte_order, bpp, bpl, ncolors = h[7], h[11], h[12], h[19]
rmask, gmask, bmask = h[14], h[15], h[16]
off = hsize + ncolors * 12
B = bpp // 8
rows = []
for y in range(hgt):
    line = data[off + y * bpl: off + y * bpl + w * B]
    out = bytearray(w * 3)
    if byte_order == 0:
        out[0::3] = line[2::B]; out[1::3] = line[1::B]; out[2::3] = line[0::B]
    else:
        out[0::3] = line[B-3::B]; out[1::3] = line[B-2::B]; out[2::3] = line[B-1::B]
    rows.append(b'\0' + bytes(out))
raw = zlib.compress(b''.join(rows), 9)
def chunk(t, d): return struct.pack('>I', len(d)) + t + d + struct.pack('>I', zlib.crc32(t + d) & 0xffffffff)
png = b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, hgt, 8, 2, 0, 0, 0)) + chunk(b'IDAT', raw) + chunk(b'IEND', b'')
open(sys.argv[2], 'wb').write(png)
