#!/usr/bin/python3
"""BMP files from and for the peers Quorvane must agree with: ImageMagick
(Debian's convert) and Pillow (python3-pil).

  bmp-interop.py make OUTDIR       writes BMP files in the forms the peers
                                   produce, each with the writer's own reading
                                   of it as raw RGB (NAME.bmp + NAME.rgb)
  bmp-interop.py dump TOOL IN OUT  writes TOOL's (magick|pillow) reading of
                                   IN as raw RGB rows, top row first
  bmp-interop.py seeds OUTDIR      small files of every form for the fuzz corpus
"""
import os
import struct
import subprocess
import sys

from PIL import Image

CONVERT = "/usr/bin/convert"  # Debian's ImageMagick, called by its full path


def dump_magick(path, out):
    subprocess.run([CONVERT, path, "-depth", "8", "-alpha", "off", "rgb:" + out], check=True)


def dump_pillow(path, out):
    with Image.open(path) as im:
        im.load()
        with open(out, "wb") as f:
            f.write(im.convert("RGB").tobytes())


DUMP = {"magick": dump_magick, "pillow": dump_pillow}


def source_picture(w, h):
    """A picture with runs (for run-length files) and at most 64 colours."""
    im = Image.new("RGB", (w, h))
    px = im.load()
    for y in range(h):
        for x in range(w):
            px[x, y] = ((x // 3) * 37 % 256, (y * 29) % 256, ((x + y) // 4) * 53 % 256)
    return im


def make(outdir, w=16, h=9):
    os.makedirs(outdir, exist_ok=True)
    src = os.path.join(outdir, "source.png")
    source_picture(w, h).save(src)

    def magick(name, *options_and_format):
        *options, fmt = options_and_format
        path = os.path.join(outdir, name + ".bmp")
        subprocess.run([CONVERT, src, *options, fmt + ":" + path], check=True)
        dump_magick(path, os.path.join(outdir, name + ".rgb"))

    magick("magick-24", "BMP3")
    magick("magick-8-palette", "-type", "palette", "-compress", "none", "BMP3")
    magick("magick-8-rle", "-type", "palette", "-compress", "RLE", "BMP3")
    magick("magick-os2", "BMP2")
    magick("magick-v5-24", "BMP")
    magick("magick-v5-32-bitfields", "-alpha", "set", "BMP")

    def pillow(name, mode):
        path = os.path.join(outdir, name + ".bmp")
        with Image.open(src) as im:
            im.convert(mode).save(path, "BMP")
        dump_pillow(path, os.path.join(outdir, name + ".rgb"))

    pillow("pillow-24", "RGB")
    pillow("pillow-8-palette", "P")
    pillow("pillow-8-grey", "L")
    pillow("pillow-1", "1")
    pillow("pillow-32", "RGBA")


def seeds(outdir):
    os.makedirs(outdir, exist_ok=True)
    make(os.path.join(outdir, "tmp"), 5, 3)
    for name in sorted(os.listdir(os.path.join(outdir, "tmp"))):
        full = os.path.join(outdir, "tmp", name)
        if name.endswith(".bmp"):
            os.replace(full, os.path.join(outdir, name))
        else:
            os.remove(full)
    os.rmdir(os.path.join(outdir, "tmp"))

    def bmp(name, header, table=b"", pixels=b"", masks=b""):
        offset = 14 + len(header) + len(masks) + len(table)
        data = b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset) + header + masks + table + pixels
        with open(os.path.join(outdir, name + ".bmp"), "wb") as f:
            f.write(data)

    def info(w, h, bits, comp=0, size=0, used=0, length=40, extra=b""):
        head = struct.pack("<IiiHHIIiiII", length, w, h, 1, bits, comp, size, 0, 0, used, 0)
        return head + extra + b"\0" * (length - 40 - len(extra))

    rle8 = bytes([3, 5, 0, 3, 1, 2, 3, 0, 0, 0, 0, 2, 2, 1, 2, 7, 0, 1])
    bmp("rle8-delta", info(6, 3, 8, 1, len(rle8), 8), bytes(range(32)), rle8)
    rle4 = bytes([5, 0x12, 0, 3, 0x34, 0x50, 0, 0, 0, 2, 1, 0, 3, 0x77, 0, 1])
    bmp("rle4", info(8, 2, 4, 2, len(rle4)), bytes(range(64)), rle4)
    bmp("bitfields-565", info(2, 2, 16, 3), pixels=bytes([0, 0xF8, 0xE0, 0x07, 0x1F, 0, 0xFF, 0xFF]),
        masks=struct.pack("<III", 0xF800, 0x07E0, 0x001F))
    v4masks = struct.pack("<IIII", 0xFF, 0xFF00, 0xFF0000, 0xFF000000) + b"BGRs"
    bmp("v4-bitfields-32", info(2, -1, 32, 3, 0, 0, 108, v4masks), pixels=bytes(range(8)))
    bmp("topdown-24", info(1, -2, 24), pixels=bytes([1, 2, 3, 0, 4, 5, 6, 0]))
    bmp("os2-1bit", struct.pack("<IHHHH", 12, 3, 2, 1, 1), bytes([0, 0, 0, 255, 255, 255]),
        bytes([0xA0, 0, 0, 0, 0x40, 0, 0, 0]))
    bmp("short-pixels", info(4, 4, 8, 0, 0, 2), bytes(8), bytes([1, 0, 1]))


def main(argv):
    if len(argv) == 3 and argv[1] == "make":
        make(argv[2])
    elif len(argv) == 5 and argv[1] == "dump":
        DUMP[argv[2]](argv[3], argv[4])
    elif len(argv) == 3 and argv[1] == "seeds":
        seeds(argv[2])
    else:
        sys.stderr.write(__doc__)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
