#!/usr/bin/env python3
"""Independent reference for the shadowed label's glow.

An 8 x 8 label whose text is one pixel of ink at (0, 0), with the shadow
moved by Distance 2: the ink lands on pixel (2, 2) of the shadow picture.
The glow buffer is (8 + 2) x (8 + 2) cells with a ring of zeros; each of the
4 passes stamps 255 on the inked cell and then replaces every inner cell by
(left + right + upper + lower) >> 2 in place, row by row. Prints the cells
of the 8 x 8 pixels (cell (x + 1, y + 1) is pixel (x, y)), as
controls/tests/labelfx_test.cpp expects them after four passes.
"""

W = H = 8
INK = (2, 2)
PASSES = 4


def glow(passes):
    w2, h2 = W + 2, H + 2
    cell = [[0] * w2 for _ in range(h2)]
    for _ in range(passes):
        cell[INK[1] + 1][INK[0] + 1] = 255
        for y in range(1, h2 - 1):
            for x in range(1, w2 - 1):
                cell[y][x] = (cell[y][x - 1] + cell[y][x + 1] + cell[y - 1][x] + cell[y + 1][x]) >> 2
    return [row[1:W + 1] for row in cell[1:H + 1]]


if __name__ == "__main__":
    for row in glow(PASSES):
        print("{" + ", ".join(str(v) for v in row) + "},")
