"""Reads a screenshot as raw 8-bit RGB on stdin (convert shot.png -depth 8 rgb:-).

pixels.py origin W H R,G,B
    prints "x y" of the top-left-most pixel of that colour (row by row); exit 1 when there is none.
pixels.py check W H OX OY NAME:X,Y:R,G,B[:RADIUS] ...
    checks that the pixel at (OX+X, OY+Y), or with RADIUS one within that many pixels each way,
    has the colour; prints every miss with what is there, exit 1 on any miss.
pixels.py run W H R,G,B TOL LEN [X Y BW BH]
    prints "x y" of the first horizontal run (row by row, inside the rectangle if given) of exactly
    LEN pixels within TOL of the colour on every channel, or of at least LEN when LEN ends in "+";
    exit 1 when there is none.
pixels.py count W H X Y BW BH R,G,B TOL [MIN]
    prints how many pixels of the rectangle are within TOL of the colour; exit 1 when fewer than MIN.
pixels.py corners W H X Y BW BH TL TR BL BR TOL [INSET]
    checks that every pixel of the rectangle, less INSET pixels at each side, is within TOL of the
    colour blended bilinearly from the four corner colours (a picture stretched into the rectangle);
    with no INSET also that the lines just outside it mostly are not, so the picture is no larger
    than the rectangle. Prints the misses, exit 1 on any.
"""

import sys


def triple(text):
    r, g, b = (int(v) for v in text.split(","))
    return bytes((r, g, b))


def near(pixel, colour, tol):
    return all(abs(a - b) <= tol for a, b in zip(pixel, colour))


def blend(corners, u, v):
    tl, tr, bl, br = corners
    return tuple(round((1 - v) * ((1 - u) * a + u * b) + v * ((1 - u) * c + u * d))
                 for a, b, c, d in zip(tl, tr, bl, br))


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

    if mode == "run":
        colour, tol = triple(argv[4]), int(argv[5])
        at_least = argv[6].endswith("+")
        length = int(argv[6].rstrip("+"))
        x0, y0, bw, bh = (int(v) for v in argv[7:11]) if len(argv) > 7 else (0, 0, width, height)
        x0, y0 = max(0, x0), max(0, y0)
        x1, y1 = min(width, x0 + bw), min(height, y0 + bh)
        for y in range(y0, y1):
            row = data[(y * width + x0) * 3 : (y * width + x1) * 3]
            start = None
            # One past the end closes a run that reaches the rectangle's edge.
            for i in range(x1 - x0 + 1):
                inside = i < x1 - x0 and near(row[i * 3 : i * 3 + 3], colour, tol)
                if inside and start is None:
                    start = i
                elif not inside and start is not None:
                    run = i - start
                    if run == length or (at_least and run >= length):
                        print(x0 + start, y)
                        return 0
                    start = None
        print(f"no run of {argv[6]} pixels within {tol} of {tuple(colour)} in ({x0},{y0})-({x1},{y1})")
        return 1

    if mode == "count":
        x0, y0, bw, bh = (int(v) for v in argv[4:8])
        colour, tol = triple(argv[8]), int(argv[9])
        least = int(argv[10]) if len(argv) > 10 else 0
        count = sum(1 for y in range(y0, y0 + bh) for x in range(x0, x0 + bw)
                    if (p := at(x, y)) is not None and near(p, colour, tol))
        print(count)
        return 0 if count >= least else 1

    if mode == "corners":
        x0, y0, bw, bh = (int(v) for v in argv[4:8])
        corners = [tuple(triple(c)) for c in argv[8:12]]
        tol = int(argv[12])
        inset = int(argv[13]) if len(argv) > 13 else 0
        misses, shown = 0, []
        for y in range(y0 + inset, y0 + bh - inset):
            for x in range(x0 + inset, x0 + bw - inset):
                want = blend(corners, (x - x0) / max(1, bw - 1), (y - y0) / max(1, bh - 1))
                here = at(x, y)
                if here is None or not near(here, want, tol):
                    misses += 1
                    if len(shown) < 5:
                        seen = tuple(here) if here is not None else "off screen"
                        shown.append(f"({x - x0},{y - y0}) is {seen}, expected {want}")
        if misses:
            print(f"{misses} of the {bw - 2 * inset}x{bh - 2 * inset} pixels miss by more than {tol}: "
                  + "; ".join(shown))
        if inset == 0:
            # Each line just outside, against the colour of the picture's edge next to it.
            sides = {
                "left": [((x0 - 1, y), (0, (y - y0) / max(1, bh - 1))) for y in range(y0, y0 + bh)],
                "right": [((x0 + bw, y), (1, (y - y0) / max(1, bh - 1))) for y in range(y0, y0 + bh)],
                "top": [((x, y0 - 1), ((x - x0) / max(1, bw - 1), 0)) for x in range(x0, x0 + bw)],
                "bottom": [((x, y0 + bh), ((x - x0) / max(1, bw - 1), 1)) for x in range(x0, x0 + bw)],
            }
            for side, points in sides.items():
                same = sum(1 for (x, y), (u, v) in points
                           if (p := at(x, y)) is not None and near(p, blend(corners, u, v), tol))
                if same > len(points) // 2:
                    misses += 1
                    print(f"the picture goes on beyond the {side} edge ({same} of {len(points)} pixels)")
        return 1 if misses else 0

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
