#!/usr/bin/env python3
"""Independent reference for two expected values of the geometric effects
(effects/tests/geometric_effects_test.cpp).

  tile    the 6 x 5 reduction of the 12 x 10 test picture (blue 20 x,
          green 25 y, red 3 x y mod 256) by the 15-bit fixed-point
          resampler, which Effect_Tile(2) repeats 2 x 2 times
  twist   the source point of pixel (0, 0) of a 5 x 5 picture under
          Effect_Twist(0x7FFFFFFF), every step rounded to float32
"""
import math
import struct
import sys


def smooth_resize(src, sw, sh, dw, dh):
    xs = ((sw - 1) * 32768) // dw
    ys = ((sh - 1) * 32768) // dh
    out = []
    sy = 0
    for _ in range(dh):
        r0, fy = sy >> 15, sy & 32767
        iy = 32768 - fy
        row = []
        sx = 0
        for _ in range(dw):
            c0, fx = sx >> 15, sx & 32767
            tr = (fx * iy) >> 15
            tl = iy - tr
            br = (fx * fy) >> 15
            bl = fy - br
            px = tuple((src[r0][c0][c] * tl + src[r0][c0 + 1][c] * tr + src[r0 + 1][c0][c] * bl +
                        src[r0 + 1][c0 + 1][c] * br) >> 15 for c in range(3))
            row.append(px)
            sx += xs
        out.append(row)
        sy += ys
    return out


def tile():
    w, h = 12, 10
    src = [[(x * 20, y * 25, (x * y * 3) % 256) for x in range(w)] for y in range(h)]
    for row in smooth_resize(src, w, h, w // 2, h // 2):
        print("{" + ", ".join("{%d, %d, %d}" % p for p in row) + "},")


def f32(v):
    return struct.unpack("<f", struct.pack("<f", v))[0]


def polar_angle(x, y):
    if x == 0:
        return f32(math.pi / 2 if y > 0 else -math.pi / 2)
    a = math.atan(y / x)
    return f32(a + math.pi if x < 0 else a)


def twist():
    w = h = 5
    amount = 0x7FFFFFFF
    cx, cy = f32((w - 1) / 2), f32((h - 1) / 2)
    x = y = 0
    dx, dy = f32(x - cx), f32(y - cy)
    r = f32(math.sqrt(dx * dx + dy * dy))
    theta = f32(polar_angle(dx, dy) - r / amount + f32(math.pi / 2))
    u, v = f32(math.cos(theta) * r), f32(math.sin(theta) * r)
    px, py = f32(u + cx), f32(v + cy)
    print("source point of (0, 0): (%.9g, %.9g)" % (px, py))


if __name__ == "__main__":
    what = sys.argv[1] if len(sys.argv) > 1 else ""
    if what == "tile":
        tile()
    elif what == "twist":
        twist()
    else:
        sys.stderr.write(__doc__)
        sys.exit(2)
