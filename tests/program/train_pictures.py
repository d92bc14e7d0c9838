#!/usr/bin/env python3
"""Checks two pictures taken from the train's first riding camera a few
seconds apart: the locomotive's boiler stands where the camera's projection
puts it in both, and the landscape around it has changed (the train moved).

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
    r, g, b = rgb
    return g > 80 and g > b and b < 100


def main():
    a, b = read_ppm(sys.argv[1]), read_ppm(sys.argv[2])
    width, height = a[0], a[1]
    ok = True
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
