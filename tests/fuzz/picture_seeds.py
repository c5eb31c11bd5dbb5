# Writes small pictures of each kind the formats read into the folder given, so the fuzzer
# reaches the picture header checks and the decoders early: GIFs plain, interlaced, with
# a transparent colour and of two images; PNGs of a palette with tRNS, of 2-bit palette
# indices interlaced, and of greys.
import struct
import sys
import zlib

def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

def lzw(pixels, code_size):
    """GIF LZW data: codes packed low bits first, in sub-blocks of up to 255 bytes."""
    clear, end = 1 << code_size, (1 << code_size) + 1
    codes, width, table, run = [(clear, code_size + 1)], code_size + 1, {}, None
    next_code = end + 1
    for p in pixels:
        if run is not None and (run, p) in table:
            run = table[(run, p)]
            continue
        if run is not None:
            codes.append((run, width))
            if next_code < 4096:
                table[(run, p)] = next_code
                next_code += 1
                if next_code > (1 << width) and width < 12:
                    width += 1
            else:
                codes.append((clear, width))
                table, next_code, width = {}, end + 1, code_size + 1
        run = p
    codes.append((run, width))
    codes.append((end, width))
    bits = 0
    for i, (code, w) in enumerate(codes):
        bits |= code << sum(w for _, w in codes[:i])
    data = bits.to_bytes((sum(w for _, w in codes) + 7) // 8, "little")
    blocks = b"".join(bytes([len(data[i:i + 255])]) + data[i:i + 255] for i in range(0, len(data), 255))
    return bytes([code_size]) + blocks + b"\0"

def gif_image(width, height, pixels, interlaced=False, transparent=None):
    control = b""
    if transparent is not None:
        control = b"!\xf9\4" + struct.pack("<BHB", 1, 0, transparent) + b"\0"
    rows = [pixels[y * width:(y + 1) * width] for y in range(height)]
    if interlaced:
        order = [y for start, step in ((0, 8), (4, 8), (2, 4), (1, 2)) for y in range(start, height, step)]
        rows = [rows[y] for y in order]
    descriptor = b"," + struct.pack("<HHHHB", 0, 0, width, height, 0x40 if interlaced else 0)
    return control + descriptor + lzw([p for row in rows for p in row], 2)

def gif(*images):
    table = bytes([0, 0, 0, 255, 255, 255, 255, 0, 0, 0, 0, 255])
    return b"GIF89a" + struct.pack("<HHBBB", 8, 8, 0x81, 0, 0) + table + b"".join(images) + b";"

def png(width, height, depth, colour_type, samples, chunks=b"", interlaced=False):
    def rows(x0, y0, dx, dy):
        out = b""
        for y in range(y0, height, dy):
            line = [samples[y * width + x] for x in range(x0, width, dx)]
            if not line:
                return out
            bits = "".join(format(s, "0%db" % depth) for s in line)
            bits += "0" * (-len(bits) % 8)
            out += b"\0" + int(bits, 2).to_bytes(len(bits) // 8, "big")
        return out
    passes = ((0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2))
    raw = b"".join(rows(*p) for p in passes) if interlaced else rows(0, 0, 1, 1)
    header = struct.pack(">IIBBBBB", width, height, depth, colour_type, 0, 0, int(interlaced))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunks + chunk(b"IDAT", zlib.compress(raw))
            + chunk(b"IEND", b""))

pattern = [(x * 3 + y) % 4 for y in range(8) for x in range(8)]
palette = chunk(b"PLTE", bytes([0, 0, 0, 255, 255, 255, 255, 0, 0, 0, 0, 255]))
seeds = {
    "seed.gif": b"GIF89a" + struct.pack("<HHBBB", 4, 4, 0x80, 0, 0) + bytes(6)
                + b",\0\0\0\0\4\0\4\0\0\2\2D\1\0;",
    "plain.gif": gif(gif_image(8, 8, pattern)),
    "interlaced.gif": gif(gif_image(8, 5, pattern[:40], interlaced=True)),
    "two.gif": gif(gif_image(3, 2, pattern[:6], transparent=2), gif_image(8, 8, pattern, interlaced=True)),
    "seed.png": b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 4, 4, 8, 3, 0, 0, 0))
                + chunk(b"IEND", b""),
    "trns.png": png(8, 8, 8, 3, pattern, palette + chunk(b"tRNS", bytes([255, 0, 128]))),
    "interlaced.png": png(8, 8, 2, 3, pattern, palette, interlaced=True),
    "grey.png": png(8, 8, 4, 0, [p * 5 for p in pattern], chunk(b"tRNS", struct.pack(">H", 5))),
    "seed.bmp": b"BM" + struct.pack("<IHHIIiiHHIIiiII", 70, 0, 0, 62, 40, 4, -4, 1, 8, 0, 16, 0, 0, 2, 0)
                + bytes(8),
    "seed.pcx": bytes([10, 5, 1, 8]) + struct.pack("<HHHH", 0, 0, 3, 3) + bytes(116),
    "seed.iff": b"FORM" + struct.pack(">I", 32) + b"ILBMBMHD"
                + struct.pack(">IHHhhBBBBHBBhh", 20, 4, 4, 0, 0, 8, 0, 0, 0, 0, 1, 1, 4, 4),
}
for name, data in seeds.items():
    with open(f"{sys.argv[1]}/{name}", "wb") as f:
        f.write(data)
