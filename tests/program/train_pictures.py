#!/usr/bin/env python3
"""Checks two pictures taken from the train's first riding camera a few
seconds apart: the locomotive's boiler stands where the camera's projection
puts it in both, its wheels stand on the rails, no gap wider than a
coupling opens between the first cars, the rods on the driving wheel have
turned, and the landscape around the train has changed (the train moved).

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


def red(rgb):
    r, g, b = rgb
    return r > 50 and r > 1.5 * g and r > 1.5 * b


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


# The locomotive's wheels (along the train, radius), all painted red; the
# near side's faces are 82 from the middle, the rails' heads 76.
LOCO_WHEELS = [(120.0, 42.0), (260.0, 42.0), (430.0, 75.0), (600.0, 75.0), (770.0, 75.0), (1000.0, 48.0)]


def wheels_on_rails(name, picture):
    """Each wheel of the locomotive shows at its place, and below it, where
    it meets the rail head, is the wheel or the track: no sky, no grass."""
    width, height, _ = picture
    ok = True
    for x, radius in LOCO_WHEELS:
        centre = project((x, 82.0, radius), width, height)
        contact = project((x, 76.0, 0.0), width, height)
        wheel = share(picture, centre, 4, red)
        ground = share(picture, contact, 3, lambda p: sky(p) or grass(p))
        if wheel < 0.5 or ground > 0.2:
            print("%s picture: the wheel at %d shows %.0f%% red at %s, %.0f%% sky or grass where it meets the rail %s" %
                  (name, x, wheel * 100, centre, ground * 100, contact))
            ok = False
    return ok


def closed_train(name, picture):
    """Along the side of the engine's cab, the tender and the lumber car
    (900 to 2900 along the train, 150 up) no gap wider than a coupling shows
    the landscape."""
    width, height, _ = picture
    longest = run = 0.0
    step = 10.0
    x = 900.0
    while x <= 2900.0:
        sx, sy = project((x, 100.0, 150.0), width, height)
        open_view = not (0 <= sx < width and 0 <= sy < height) or sky(pixel(picture, sx, sy)) or \
            grass(pixel(picture, sx, sy))
        run = run + step if open_view else 0.0
        longest = max(longest, run)
        x += step
    if longest > 160:
        print("%s picture: a gap of %.0f between the cars" % (name, longest))
        return False
    return True


def rods_turn(a, b):
    """The driving wheel's rods: on the wheel in both pictures, and moved
    from one to the other while the wheel stays where it was."""
    width, height, _ = a
    centre = project((600.0, 100.0, 75.0), width, height)
    edge = project((600.0, 100.0, 75.0 + 75.0), width, height)
    radius = max(4, int(abs(edge[1] - centre[1]) * 0.9))
    ok = True
    for name, picture in (("first", a), ("second", b)):
        if share(picture, centre, radius, dark) < 0.02:
            print("%s picture: no rod on the driving wheel at %s" % (name, centre))
            ok = False
    changed = 0
    total = 0
    for y in range(centre[1] - radius, centre[1] + radius + 1):
        for x in range(centre[0] - radius, centre[0] + radius + 1):
            if (x - centre[0]) ** 2 + (y - centre[1]) ** 2 <= radius * radius and 0 <= x < width and 0 <= y < height:
                total += 1
                pa, pb = pixel(a, x, y), pixel(b, x, y)
                changed += 1 if sum(abs(p - q) for p, q in zip(pa, pb)) > 90 else 0
    print("driving wheel at %s, radius %d: %d of %d pixels changed" % (centre, radius, changed, total))
    if total == 0 or changed < total * 0.03:
        print("the rods did not move on the driving wheel")
        ok = False
    return ok


def main():
    a, b = read_ppm(sys.argv[1]), read_ppm(sys.argv[2])
    width, height = a[0], a[1]
    ok = True
    for name, picture in (("first", a), ("second", b)):
        ok = wheels_on_rails(name, picture) and ok
        ok = closed_train(name, picture) and ok
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
