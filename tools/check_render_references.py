#!/usr/bin/env python3
"""Checks the reference pictures in tests/data/render apart from the renderer
that drew them: a second computation of each scene, written from the
picture's description, in Python and double precision, with none of the
renderer's code.

Each PNG is read by hand (signature, every chunk's CRC, IHDR, the zlib
stream, the five row filters). Each scene is drawn again: the camera that
frames the bounding sphere from the front-right-above (focal length 3),
every triangle's coverage of the pixel centres, the nearest face at each
pixel, its side (the outward normal is the opposite of (a - c) x (c - b)),
the light of the two lights at its corners interpolated with perspective,
and the texture's texel. A pixel whose centre lies within MARGIN of a
projected edge, or whose texel lies at a texel's border, is passed over:
there the renderer's snapping to 1/16 pixel decides. Every other pixel must
be drawn exactly where a face covers it, in the colour of the side seen,
each channel within TOLERANCE of the light computed here.

    tools/check_render_references.py [tests/data/render]
"""
import math
import struct
import sys
import zlib
from pathlib import Path

MARGIN = 0.15  # pixels
TOLERANCE = 2  # of 255, for the light's rounding at the corners and weights
GREY, WARNING = (176, 176, 172), (236, 40, 150)


def read_png(path):
    data = Path(path).read_bytes()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", f"{path}: no PNG signature"
    at, idat, header = 8, b"", None
    while at < len(data):
        (length,) = struct.unpack(">I", data[at:at + 4])
        kind, body = data[at + 4:at + 8], data[at + 8:at + 8 + length]
        (crc,) = struct.unpack(">I", data[at + 8 + length:at + 12 + length])
        assert zlib.crc32(kind + body) == crc, f"{path}: bad CRC in {kind}"
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
        at += 12 + length
    width, height, depth, colour, _, _, interlace = header
    assert (depth, colour, interlace) == (8, 6, 0), f"{path}: not 8-bit RGBA without interlace"
    raw, stride = zlib.decompress(idat), width * 4
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - 4] if i >= 4 else 0
            b, c = previous[i], previous[i - 4] if i >= 4 else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
            else:
                assert kind == 0, f"{path}: filter {kind}"
        rows.append(line)
        previous = line
    return width, height, rows


def sub(a, b):
    return (a[0] - b[0], a[1] - b[1], a[2] - b[2])


def dot(a, b):
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]


def cross(a, b):
    return (a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0])


def unit(v):
    length = math.sqrt(dot(v, v))
    return tuple(c / length for c in v) if length else v


def cube(size=1.0):
    vertices = [((i & 1) * size, (i >> 1 & 1) * size, (i >> 2 & 1) * size) for i in range(8)]
    uvs = [(i & 1, i >> 1 & 1) for i in range(8)]
    faces = [(0, 2, 1), (1, 2, 3), (4, 5, 6), (5, 7, 6), (0, 1, 4), (1, 5, 4),
             (2, 6, 3), (3, 6, 7), (0, 4, 2), (2, 4, 6), (1, 3, 5), (3, 7, 5)]
    return vertices, uvs, faces


def draw(models, width, height, texture=None):
    """The expected picture: per pixel None (passed over), 'clear', or an RGB."""
    points = [p for vertices, _, _ in models for p in vertices]
    low = [min(p[k] for p in points) for k in range(3)]
    high = [max(p[k] for p in points) for k in range(3)]
    centre = [(low[k] + high[k]) / 2 for k in range(3)]
    radius = math.sqrt(sum((high[k] - centre[k]) ** 2 for k in range(3)))
    to_eye = unit((0.55, -0.8, 0.45))
    distance = math.sqrt(1 + 3 * 3)
    eye = tuple(c * distance for c in to_eye)
    forward = tuple(-c for c in to_eye)
    right = unit(cross(forward, (0, 0, 1)))
    up = cross(right, forward)
    key, fill = unit((-0.45, 0.6, -0.66)), unit((0.8, -0.2, -0.55))

    def light(normal, sign):
        n = (dot(normal, right), dot(normal, up), dot(normal, forward))
        value = 0.2 + 0.65 * max(0.0, sign * dot(n, key)) + 0.3 * max(0.0, sign * dot(n, fill))
        return round(min(1.0, value) * 255)

    expected = [[None] * width for _ in range(height)]
    nearest = [[(0.0, None)] * width for _ in range(height)]  # 1 / depth, colour
    edges = [[False] * width for _ in range(height)]
    rects = [(0, width)] if len(models) == 1 else [(0, width // 2), (width // 2, width)]
    for (vertices, uvs, faces), (left, right_edge) in zip(models, rects):
        cx, cy = (left + right_edge) / 2, height / 2
        scale = 3 * min(right_edge - left, height) / 2
        area = [cross(sub(vertices[a], vertices[c]), sub(vertices[c], vertices[b])) for a, b, c in faces]
        normals = []
        for v in range(len(vertices)):
            total = (0.0, 0.0, 0.0)
            for face, n in zip(faces, area):
                if v in face:
                    total = tuple(total[k] + n[k] for k in range(3))
            normals.append(unit(total))
        screen = []
        for p in vertices:
            d = sub(tuple((p[k] - centre[k]) / radius for k in range(3)), eye)
            depth = dot(d, forward)
            screen.append((cx + dot(d, right) / depth * scale, cy - dot(d, up) / depth * scale, depth))
        for face, n in zip(faces, area):
            s = [screen[i] for i in face]
            middle = tuple(sum(((vertices[i][k] - centre[k]) / radius) for i in face) / 3 for k in range(3))
            back = dot(tuple(-c for c in n), sub(eye, middle)) < 0
            lights = [light(normals[i], 1 if back else -1) for i in face]
            twice = (s[1][0] - s[0][0]) * (s[2][1] - s[0][1]) - (s[2][0] - s[0][0]) * (s[1][1] - s[0][1])
            if twice == 0:
                continue
            xs, ys = [q[0] for q in s], [q[1] for q in s]
            for y in range(max(0, int(min(ys)) - 1), min(height, int(max(ys)) + 2)):
                for x in range(max(left, int(min(xs)) - 1), min(right_edge, int(max(xs)) + 2)):
                    px, py = x + 0.5, y + 0.5
                    w = []
                    for i in range(3):
                        a, b = s[(i + 1) % 3], s[(i + 2) % 3]
                        value = ((b[0] - a[0]) * (py - a[1]) - (b[1] - a[1]) * (px - a[0])) / twice
                        length = math.hypot(b[0] - a[0], b[1] - a[1])
                        if abs(value * twice) / length < MARGIN:
                            edges[y][x] = True
                        w.append(value)
                    if min(w) < 0:
                        continue
                    weights = [w[i] / s[i][2] for i in range(3)]
                    near = sum(weights)
                    if near <= nearest[y][x][0]:
                        continue
                    t = [q / near for q in weights]
                    level = sum(t[i] * lights[i] for i in range(3))
                    colour = WARNING if back else GREY
                    if texture and not back:
                        u = sum(t[i] * uvs[face[i]][0] for i in range(3)) * texture[0]
                        v = (1 - sum(t[i] * uvs[face[i]][1] for i in range(3))) * texture[1]
                        if min(abs(u - round(u)), abs(v - round(v))) < 0.02:
                            edges[y][x] = True
                        colour = texture[2][int(math.floor(v)) % texture[1]][int(math.floor(u)) % texture[0]]
                    nearest[y][x] = (near, tuple(c * level / 255 for c in colour))
    for y in range(height):
        for x in range(width):
            if not edges[y][x]:
                expected[y][x] = nearest[y][x][1] or "clear"
    return expected


def compare(name, path, expected):
    width, height, rows = read_png(path)
    assert (width, height) == (len(expected[0]), len(expected)), f"{name}: {width} x {height}"
    checked = drawn = 0
    for y in range(height):
        for x in range(width):
            want, got = expected[y][x], rows[y][x * 4:x * 4 + 4]
            drawn += got[3] == 255
            if want is None:
                continue
            checked += 1
            if want == "clear":
                assert got[3] == 0, f"{name}: pixel {x}, {y} drawn where no face is"
            else:
                assert got[3] == 255, f"{name}: pixel {x}, {y} not drawn"
                assert all(abs(got[k] - want[k]) <= TOLERANCE for k in range(3)), \
                    f"{name}: pixel {x}, {y} is {tuple(got[:3])}, expected {tuple(round(c) for c in want)}"
    print(f"{name}: {checked} of {width * height} pixels as computed here ({drawn} drawn)")


def main():
    folder = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).parent / "../tests/data/render")
    box = cube()
    compare("cube", folder / "cube.png", draw([box], 96, 96))
    inside_out = (box[0], box[1], [(a, c, b) for a, b, c in box[2]])
    compare("inside_out_box", folder / "inside_out_box.png", draw([inside_out], 96, 96))
    quad = ([(0, 0, 0), (1, 0, 0), (1, 0, 1), (0, 0, 1)], [(0, 0), (1, 0), (1, 1), (0, 1)],
            [(0, 1, 2), (0, 2, 3)])
    red, blue = (255, 0, 0), (0, 0, 255)
    checker = (2, 2, [[red, blue], [blue, red]])  # rows from the top
    compare("checker_quad", folder / "checker_quad.png", draw([quad], 96, 96, checker))
    compare("lod2_beside_lod1", folder / "lod2_beside_lod1.png", draw([cube(2.0), cube(1.0)], 128, 64))


if __name__ == "__main__":
    main()
