#!/usr/bin/env python3
"""Checks two pictures taken from the train's first riding camera a few
seconds apart: the locomotive's boiler stands where the camera's projection
puts it in both, its wheels stand on the track, the rods around them have
turned, and the landscape around the train has changed (the train moved).
(The gaps between the cars and the crank pins' circle are measured exactly
by the native test of the generated train.)

Everything is given in the train's own frame as modelled: along +X from the
front of the locomotive, Z up. The riding camera hangs below the dummy at
300 along the train, 200 up, looking from (-1400, 900, 500) at
(600, 0, 150) of that dummy's frame, with a vertical field of view of 0.8.
  train_pictures.py A.ppm B.ppm
"""
import math
import sys


def read_ppm(path):
    with open(path, "rb") as f:
        data = f.read()
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos) + 1
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    width, height = int(fields[1]), int(fields[2])
    return width, height, data[pos + 1:]


def sub(a, b):
    return (a[0] - b[0], a[1] - b[1], a[2] - b[2])


def dot(a, b):
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]


def cross(a, b):
    return (a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0])


def normalize(a):
    n = math.sqrt(dot(a, a))
    return (a[0] / n, a[1] / n, a[2] / n)


DUMMY = (300.0, 0.0, 200.0)
EYE = tuple(d + e for d, e in zip(DUMMY, (-1400.0, 900.0, 500.0)))
TARGET = tuple(d + e for d, e in zip(DUMMY, (600.0, 0.0, 150.0)))
FOV = 0.8


def project(point, width, height):
    forward = normalize(sub(TARGET, EYE))
    right = normalize(cross(forward, (0.0, 0.0, 1.0)))
    up = cross(right, forward)
    rel = sub(point, EYE)
    x, y, z = dot(rel, right), dot(rel, up), dot(rel, forward)
    t = math.tan(FOV / 2)
    aspect = width / height
    sx = (x / (z * t * aspect) + 1) / 2 * width
    sy = (1 - y / (z * t)) / 2 * height
    return int(round(sx)), int(round(sy))


def pixel(picture, x, y):
    width, _, data = picture
    i = (y * width + x) * 3
    return data[i], data[i + 1], data[i + 2]


def sky(rgb):
    r, g, b = rgb
    return b > 150 and b > r


def grass(rgb):
    """Green to yellow-green grass, with little blue: not the brown of the
    sleepers or the wooden cars."""
    r, g, b = rgb
    return g > 80 and b < 0.6 * g and g > 0.85 * r


def red(rgb):
    """The red paint of the wheels and the buffer beam, not the brown wood
    of the cars."""
    r, g, b = rgb
    return r > 50 and r > 2 * g and r > 2 * b


def dark(rgb):
    return max(rgb) < 70


def share(picture, centre, radius, test):
    """The share of the pixels within `radius` of `centre` that pass."""
    width, height, _ = picture
    n = hits = 0
    for y in range(centre[1] - radius, centre[1] + radius + 1):
        for x in range(centre[0] - radius, centre[0] + radius + 1):
            if 0 <= x < width and 0 <= y < height and (x - centre[0]) ** 2 + (y - centre[1]) ** 2 <= radius * radius:
                n += 1
                hits += 1 if test(pixel(picture, x, y)) else 0
    return hits / n if n else 0.0


def red_pixels(picture):
    """The red-painted parts of the locomotive (its wheels and buffer beam)
    in the lower half of the picture, where the train stands."""
    width, height, _ = picture
    return [(x, y) for y in range(height // 2, height, 2) for x in range(0, width, 2) if red(pixel(picture, x, y))]


def wheels_on_rails(name, picture):
    """The locomotive's red wheels show, and just below the lowest red pixel
    of every column they cover lies the track (or the train), never grass
    or sky: the wheels stand on the rails."""
    width, height, _ = picture
    reds = red_pixels(picture)
    if len(reds) < 40:
        print("%s picture: only %d red wheel pixels" % (name, len(reds)))
        return False
    lowest = {}
    for x, y in reds:
        lowest[x] = max(lowest.get(x, 0), y)
    off = [(x, y) for x, y in lowest.items()
           if y + 6 < height and (sky(pixel(picture, x, y + 6)) or grass(pixel(picture, x, y + 6)))]
    print("%s picture: %d red pixels in %d columns, %d of them over grass or sky" % (name, len(reds), len(lowest),
                                                                                    len(off)))
    if len(off) > len(lowest) // 10:
        print("%s picture: the wheels stand off the track at %s" % (name, off[:5]))
        return False
    return True


def rods_turn(a, b):
    """Around the locomotive's red wheels the two pictures differ: the rods
    and crank pins have turned (the train itself stands still in the
    riding camera's view, as the boiler check shows)."""
    ra, rb = red_pixels(a), red_pixels(b)
    if not ra or not rb:
        print("no wheels to see the rods on")
        return False
    xs = [p[0] for p in ra + rb]
    ys = [p[1] for p in ra + rb]
    box = (min(xs), min(ys), max(xs), max(ys))
    changed = total = 0
    for y in range(box[1], box[3] + 1, 2):
        for x in range(box[0], box[2] + 1, 2):
            total += 1
            changed += 1 if sum(abs(p - q) for p, q in zip(pixel(a, x, y), pixel(b, x, y))) > 90 else 0
    print("wheels' box %s: %d of %d samples changed" % (box, changed, total))
    if changed < total * 0.02:
        print("the rods did not move on the wheels")
        return False
    return True


def main():
    a, b = read_ppm(sys.argv[1]), read_ppm(sys.argv[2])
    width, height = a[0], a[1]
    ok = True
    for name, picture in (("first", a), ("second", b)):
        ok = wheels_on_rails(name, picture) and ok
    ok = rods_turn(a, b) and ok
    # Points on the boiler's axis (a tube of radius 72 at height 230 from
    # 60 to 820 along the train) and on the cab's side.
    boiler = [(x, 0.0, 230.0) for x in (200.0, 350.0, 500.0, 650.0)]
    box = [width, height, 0, 0]
    for point in boiler:
        sx, sy = project(point, width, height)
        box = [min(box[0], sx), min(box[1], sy), max(box[2], sx), max(box[3], sy)]
        for name, picture in (("first", a), ("second", b)):
            if not (0 <= sx < width and 0 <= sy < height):
                print("boiler point %s projects off the picture at (%d, %d)" % (point, sx, sy))
                ok = False
                continue
            rgb = pixel(picture, sx, sy)
            if sky(rgb) or grass(rgb):
                print("%s picture: boiler point %s at (%d, %d) shows %s, not the locomotive" %
                      (name, point, sx, sy, rgb))
                ok = False
    # Around the train the landscape goes by: sample a grid away from the
    # locomotive's box and count the places that changed clearly.
    margin = 120
    changed = total = 0
    for y in range(20, height - 20, 40):
        for x in range(20, width - 20, 40):
            if box[0] - margin <= x <= box[2] + margin and box[1] - margin <= y <= box[3] + margin:
                continue
            pa, pb = pixel(a, x, y), pixel(b, x, y)
            total += 1
            if sum(abs(p - q) for p, q in zip(pa, pb)) > 45:
                changed += 1
    print("boiler box %s; %d of %d landscape samples changed" % (box, changed, total))
    if total == 0 or changed * 3 < total:
        print("the landscape around the train did not move")
        ok = False
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
