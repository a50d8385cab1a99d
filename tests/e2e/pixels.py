"""Reads a screenshot as raw 8-bit RGB on stdin (convert shot.png -depth 8 rgb:-).

pixels.py origin W H R,G,B
    prints "x y" of the top-left-most pixel of that colour (row by row); exit 1 when there is none.
pixels.py check W H OX OY NAME:X,Y:R,G,B[:RADIUS] ...
    checks that the pixel at (OX+X, OY+Y), or with RADIUS one within that many pixels each way,
    has the colour; prints every miss with what is there, exit 1 on any miss.
"""

import sys


def triple(text):
    r, g, b = (int(v) for v in text.split(","))
    return bytes((r, g, b))


def main(argv):
    mode, width, height = argv[1], int(argv[2]), int(argv[3])
    data = sys.stdin.buffer.read()
    if len(data) != width * height * 3:
        print(f"screenshot has {len(data)} bytes, expected {width}x{height} RGB")
        return 2

    def at(x, y):
        if not (0 <= x < width and 0 <= y < height):
            return None
        i = (y * width + x) * 3
        return data[i : i + 3]

    if mode == "origin":
        colour = triple(argv[4])
        # Pixels start on multiples of 3 only; a byte match across two pixels is no pixel.
        i = data.find(colour)
        while i >= 0 and i % 3:
            i = data.find(colour, i + 1)
        if i < 0:
            return 1
        print(i // 3 % width, i // 3 // width)
        return 0

    ox, oy = int(argv[4]), int(argv[5])
    misses = []
    for spec in argv[6:]:
        name, xy, rgb, *rest = spec.split(":")
        x, y = (int(v) for v in xy.split(","))
        want = triple(rgb)
        radius = int(rest[0]) if rest else 0
        around = [
            at(ox + x + dx, oy + y + dy)
            for dy in range(-radius, radius + 1)
            for dx in range(-radius, radius + 1)
        ]
        if want not in around:
            here = at(ox + x, oy + y)
            seen = tuple(here) if here is not None else "off screen"
            misses.append(f"{name} at canvas ({x},{y}) is {seen}, expected {tuple(want)}"
                          + (f" within {radius} px" if radius else ""))
    for miss in misses:
        print(miss)
    return 1 if misses else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
