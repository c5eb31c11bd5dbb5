# Writes the start of a small picture of each kind the formats read into the folder given,
# so the fuzzer reaches the picture header checks early.
import struct
import sys
import zlib

def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

seeds = {
    "seed.gif": b"GIF89a" + struct.pack("<HHBBB", 4, 4, 0x80, 0, 0) + bytes(6)
                + b",\0\0\0\0\4\0\4\0\0\2\2D\1\0;",
    "seed.png": b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 4, 4, 8, 3, 0, 0, 0))
                + chunk(b"IEND", b""),
    "seed.bmp": b"BM" + struct.pack("<IHHIIiiHHIIiiII", 70, 0, 0, 62, 40, 4, -4, 1, 8, 0, 16, 0, 0, 2, 0)
                + bytes(8),
    "seed.pcx": bytes([10, 5, 1, 8]) + struct.pack("<HHHH", 0, 0, 3, 3) + bytes(116),
    "seed.iff": b"FORM" + struct.pack(">I", 32) + b"ILBMBMHD"
                + struct.pack(">IHHhhBBBBHBBhh", 20, 4, 4, 0, 0, 8, 0, 0, 0, 0, 1, 1, 4, 4),
}
for name, data in seeds.items():
    with open(f"{sys.argv[1]}/{name}", "wb") as f:
        f.write(data)
