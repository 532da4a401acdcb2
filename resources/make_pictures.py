#!/usr/bin/python3
"""Remake Pantrio's window pictures and icons.

Writes, next to this script:
  background.bmp  dark walnut board, background of the full recipe window
  seasky.jpg      calm sea under a pink-blue cloudy sky, background of the
                  compact recipe window and of the About window
  pantrio16.ico   program icon, 16x16, 16 colours
  pantrio32.ico   the same cooking pot at 32x32 for the About window

Every random choice uses a fixed seed, so a rerun gives the same bytes.
An optional argument names another output folder (handy for trying changes).
Needs Debian's python3-pil and python3-numpy.
"""

import math
import os
import struct
import sys

import numpy as np
from PIL import Image, ImageDraw

from pot_art import INK, PALETTE16, POT16, POT32

HERE = os.path.dirname(os.path.abspath(__file__))


# ---------------------------------------------------------------- helpers

def fractal_noise(size, beta, seed, stretch=(1.0, 1.0)):
    """Tileable 1/f^beta noise, zero mean and unit deviation.

    stretch=(sx, sy) lengthens features along x or y (wood grain, ripples).
    """
    h, w = size
    rng = np.random.default_rng(seed)
    spectrum = np.fft.fft2(rng.standard_normal((h, w)))
    fy = np.fft.fftfreq(h)[:, None] * stretch[1]
    fx = np.fft.fftfreq(w)[None, :] * stretch[0]
    f = np.sqrt(fx * fx + fy * fy)
    f[0, 0] = np.inf
    out = np.real(np.fft.ifft2(spectrum * f ** -beta))
    out -= out.mean()
    return out / out.std()


def sample_wrapped(tex, u, v):
    """Bilinear lookup of a tileable texture at float coordinates."""
    h, w = tex.shape
    x0 = np.floor(u).astype(np.int64)
    y0 = np.floor(v).astype(np.int64)
    fx = u - x0
    fy = v - y0
    x0 %= w
    y0 %= h
    x1 = (x0 + 1) % w
    y1 = (y0 + 1) % h
    top = tex[y0, x0] * (1 - fx) + tex[y0, x1] * fx
    bot = tex[y1, x0] * (1 - fx) + tex[y1, x1] * fx
    return top * (1 - fy) + bot * fy


def smoothstep(e0, e1, x):
    t = np.clip((x - e0) / (e1 - e0), 0.0, 1.0)
    return t * t * (3 - 2 * t)


def lerp(a, b, t):
    return a + (b - a) * t


def rgb(*c):
    return np.array(c, dtype=np.float64)


def blur(arr, radius):
    """Separable Gaussian blur of a 2-D float array, edges mirrored."""
    r = max(1, int(math.ceil(3 * radius)))
    k = np.exp(-0.5 * (np.arange(-r, r + 1) / radius) ** 2)
    k /= k.sum()
    out = np.asarray(arr, dtype=np.float64)
    for axis in (0, 1):
        pad = [(0, 0), (0, 0)]
        pad[axis] = (r, r)
        p = np.pad(out, pad, mode="reflect")
        n = out.shape[axis]
        acc = np.zeros_like(out)
        for i, wgt in enumerate(k):
            acc += wgt * (p[i:i + n] if axis == 0 else p[:, i:i + n])
        out = acc
    return out


def to_image(arr):
    return Image.fromarray(np.clip(arr + 0.5, 0, 255).astype(np.uint8), "RGB")


# ------------------------------------------------------------- background

# The full recipe window shows only the top-left part of the board.
VIEW_W, VIEW_H = 558, 543


def herb_sprig_mask(w, h):
    """A bay-leaf sprig as a soft mask (1 = leaf), drawn 4x and shrunk."""
    s = 4
    img = Image.new("L", (w * s, h * s), 0)
    d = ImageDraw.Draw(img)
    # Stem: a gentle curve rising from the lower left.
    pts = []
    for i in range(41):
        t = i / 40
        pts.append((20 + 88 * t, 138 - 118 * t + 18 * math.sin(t * math.pi)))
    d.line([(x * s, y * s) for x, y in pts], fill=255, width=int(2.2 * s))
    # Leaves in pairs along the stem, shrinking toward the tip.
    for i, t in enumerate((0.18, 0.34, 0.50, 0.64, 0.77, 0.88)):
        k = int(t * 40)
        (xa, ya), (xb, yb) = pts[k], pts[k + 1]
        ang = math.atan2(yb - ya, xb - xa)
        length = 30 - 14 * t
        for side in (-1, 1):
            if i == 0 and side == 1:
                continue
            a = ang + side * 0.85
            ca, sa = math.cos(a), math.sin(a)
            half = length * s / 2
            wid = length * 0.34 * s / 2
            cx = (xa + ca * length * 0.55) * s
            cy = (ya + sa * length * 0.55) * s
            poly = []
            for j in range(48):
                th = 2 * math.pi * j / 48
                # Slightly egg-shaped so the tip is sharper than the base.
                px = half * math.cos(th)
                py = wid * math.sin(th) * (1 - 0.25 * math.cos(th))
                poly.append((cx + px * ca - py * sa, cy + px * sa + py * ca))
            d.polygon(poly, fill=255)
            # The midrib, left as a hairline gap, makes it read as a leaf.
            r = half * 0.8
            d.line([(cx - r * ca, cy - r * sa), (cx + r * ca, cy + r * sa)],
                   fill=0, width=max(1, int(0.8 * s)))
    img = img.resize((w, h), Image.LANCZOS)
    return np.asarray(img, dtype=np.float64) / 255.0


def make_background():
    W, H = 800, 600
    y, x = np.mgrid[0:H, 0:W].astype(np.float64)

    # Board joints sit between the label rows so no seam runs behind text.
    seams = [212, 326, 441]
    edges = [0] + seams + [H]
    plank = np.zeros((H, W), dtype=np.int64)
    for i, (a, b) in enumerate(zip(edges[:-1], edges[1:])):
        plank[a:b] = i

    # Long, slowly wandering figure; fine pores stretched along the board.
    figure = fractal_noise((512, 2048), 1.7, seed=11, stretch=(14.0, 1.0))
    pores = fractal_noise((512, 2048), 0.6, seed=12, stretch=(40.0, 1.0))
    mottle = fractal_noise((256, 256), 2.2, seed=13)

    # Each board takes its grain from another stretch of the noise.
    offs = np.array([[0, 0], [610, 97], [1220, 211], [350, 333], [1570, 401]],
                    dtype=np.float64)
    u = x + offs[plank, 0]
    v = y + offs[plank, 1]
    fig = sample_wrapped(figure, u, v * 0.6)
    pore = sample_wrapped(pores, u, v * 1.5)
    # Growth rings: bands of uneven spacing bent by the figure.
    phase = v / 15.0 + 2.2 * fig
    rings = 0.5 + 0.5 * np.sin(2 * np.pi * phase)
    rings = rings ** 3
    mot = sample_wrapped(mottle, x * 0.3, y * 0.3)

    lum = (0.50 + 0.06 * fig - 0.09 * rings + 0.045 * pore + 0.05 * mot)
    tone = np.array([0.0, 0.04, -0.05, 0.03, -0.02])[plank]
    lum += tone

    dark = rgb(30, 18, 12)
    light = rgb(92, 58, 36)
    t = np.clip(lum, 0, 1)[..., None]
    img = lerp(dark, light, t)

    # Bevelled joints: a dark groove with a faint lit lip below it.
    for s in seams:
        d = y - s
        groove = np.exp(-(d / 1.1) ** 2)
        lip = np.exp(-((d - 2.2) / 0.9) ** 2)
        shade = np.exp(-((d + 2.0) / 2.5) ** 2) * (d < 0)
        img *= (1 - 0.65 * groove - 0.18 * shade)[..., None]
        img += (lip * 9)[..., None] * rgb(1.0, 0.75, 0.5)

    # Warm light from the upper right, falling off toward the label column.
    vx, vy = VIEW_W, VIEW_H
    glow = np.exp(-(((x - 0.78 * vx) / (0.75 * vx)) ** 2 +
                    ((y - 0.05 * vy) / (0.85 * vy)) ** 2))
    img *= (0.80 + 0.38 * glow)[..., None]

    # Soft vignette centred on the part of the board the window shows.
    nx = (x - vx / 2) / (vx / 2)
    ny = (y - vy / 2) / (vy / 2)
    r = np.sqrt(nx * nx * 0.9 + ny * ny)
    img *= (1.0 - 0.42 * smoothstep(0.55, 1.45, r))[..., None]

    # Faint carved bay sprig in the free lower-left corner.
    sw, sh = 140, 150
    ox, oy = 4, 392
    m = herb_sprig_mask(sw, sh)
    mask = np.zeros((H, W))
    mask[oy:oy + sh, ox:ox + sw] = m
    hi = np.roll(np.roll(mask, 1, 0), 1, 1)
    img *= (1 - 0.30 * mask)[..., None]          # recessed and darker
    img += ((hi - mask).clip(0, 1) * 16)[..., None] * rgb(1.0, 0.72, 0.45)

    # A touch of fine noise keeps flat areas from banding.
    rng = np.random.default_rng(14)
    img += rng.normal(0, 0.9, (H, W, 1))
    return to_image(img)


def write_bmp24(img, path):
    """Plain 24-bit bottom-up BMP with the classic 54-byte header.

    The file is padded with two zero bytes to a whole number of 32-bit
    words (1,440,056 bytes at 800x600), as classic Windows writers do.
    """
    w, h = img.size
    row = w * 3
    pad = (4 - row % 4) % 4
    data = np.asarray(img)[::-1, :, ::-1]          # bottom-up, BGR
    body = b"".join(bytes(r) + b"\0" * pad for r in data.reshape(h, row))
    tail = b"\0" * ((4 - (54 + len(body)) % 4) % 4)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(body) + len(tail), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(body),
                       3780, 3780, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + body + tail)


# ---------------------------------------------------------------- sea/sky

SEA_W = SEA_H = 600
JPEG_QUALITY = 87    # lands the file near 56 KB
HORIZON = 366           # below the lowest label of the compact window
FOCAL = 620.0           # virtual camera focal length, pixels
SUN_X, SUN_Y = 440.0, 318.0
SS = 2                  # render at twice the size, then shrink: no aliasing


def sky_gradient(x, y):
    """Cloudless sky colour: pale blue-lavender above, rose at the horizon."""
    e = np.clip((HORIZON - y) / HORIZON, 0, 1)[..., None]  # 0 horizon, 1 top
    stops = [(0.00, rgb(246, 214, 206)),
             (0.12, rgb(238, 212, 214)),
             (0.40, rgb(220, 210, 228)),
             (0.75, rgb(200, 206, 228)),
             (1.00, rgb(184, 196, 224))]
    col = np.zeros(e.shape[:-1] + (3,))
    for (e0, c0), (e1, c1) in zip(stops[:-1], stops[1:]):
        t = np.clip((e - e0) / (e1 - e0), 0, 1)
        inside = (e >= e0) & (e <= e1)
        col = np.where(inside, lerp(c0, c1, t), col)
    # Low sun hidden behind the clouds: a broad warm glow.
    dx = (x - SUN_X) / 260.0
    dy = (y - SUN_Y) / 150.0
    glow = np.exp(-(dx * dx + dy * dy))[..., None]
    col = lerp(col, rgb(252, 226, 212), 0.65 * glow)
    return col


def make_sky(x, y):
    """Sky with a layer of soft clouds, lit from behind by a low sun."""
    base = sky_gradient(x, y)

    # Clouds live on a flat layer seen in perspective, thinning into haze.
    big = fractal_noise((1024, 1024), 1.7, seed=21)
    detail = fractal_noise((1024, 1024), 1.25, seed=22)
    elev = np.maximum(HORIZON - y, 0.5) / FOCAL
    dist = 1.0 / elev                                   # 1.7 at the top
    u = (x - SEA_W * 0.5) / FOCAL * dist * 150.0
    v = dist * 150.0
    fine = sample_wrapped(detail, u * 2.5, v * 3.5)
    n = sample_wrapped(big, u, v * 1.5) + 0.22 * fine

    # Thin edges glow, thick middles turn a backlit lavender grey.
    edge = smoothstep(-0.25, 0.55, n)
    thick = smoothstep(0.45, 1.8, n + 0.3 * fine)
    haze = np.exp(-(dist - 1.7) / 9.0)                  # 1 overhead, 0 far
    edge *= (0.45 + 0.55 * haze) * smoothstep(0.0, 8.0, HORIZON - y)
    thick *= haze

    dx = (x - SUN_X) / 300.0
    dy = (y - SUN_Y) / 210.0
    near_sun = np.exp(-(dx * dx + dy * dy))[..., None]
    rim = lerp(rgb(246, 238, 240), rgb(255, 228, 218), near_sun)
    body = rgb(186, 180, 204)
    cloud = lerp(rim, body, (0.85 * thick)[..., None])
    sky = lerp(base, cloud, (0.9 * edge)[..., None])

    # Low stratus streaks lying along the horizon.
    streak = fractal_noise((256, 2048), 1.2, seed=23, stretch=(12.0, 1.0))
    st = smoothstep(0.3, 1.4, sample_wrapped(streak, x * 1.3, y * 1.0))
    band = np.exp(-((HORIZON - 40 - y) / 30.0) ** 2)
    sky = lerp(sky, rgb(214, 196, 214), (0.55 * st * band)[..., None])

    # The sun's bright core shows faintly through the thin cloud.
    dx = (x - SUN_X) / 70.0
    dy = (y - SUN_Y) / 45.0
    core = np.exp(-(dx * dx + dy * dy))[..., None]
    return lerp(sky, rgb(255, 240, 228), 0.6 * core)


def make_seasky():
    W, H = SEA_W * SS, SEA_H * SS
    y, x = np.mgrid[0:H, 0:W].astype(np.float64) / SS
    sky = make_sky(x, y)
    hz_row = HORIZON * SS

    # Water: reflect the sky, softened, off a field of long low ripples.
    soft = np.stack([blur(sky[:hz_row, :, c], 2.0 * SS) for c in range(3)], axis=-1)
    ripples = fractal_noise((512, 2048), 1.3, seed=31, stretch=(10.0, 1.0))
    chop = fractal_noise((512, 1024), 0.9, seed=32, stretch=(6.0, 1.0))
    below = np.maximum(y - HORIZON, 0.25)
    dist = FOCAL / below
    u = (x - SEA_W * 0.5) / FOCAL * dist * 80.0
    v = dist * 80.0
    r = sample_wrapped(ripples, u, v) + 0.4 * sample_wrapped(chop, u * 2.4, v * 2.4)
    # The slope of each ripple tips the reflected ray up or down.
    slope = r - (sample_wrapped(ripples, u, v + 2.5)
                 + 0.4 * sample_wrapped(chop, u * 2.4, (v + 2.5) * 2.4))
    near = smoothstep(0, 1, below / (SEA_H - HORIZON))
    tilt = 0.02 + 0.07 * near
    ref_elev = below / FOCAL + slope * tilt
    ref_y = np.clip((HORIZON - ref_elev * FOCAL) * SS, 0, hz_row - 1.001)
    ref_x = np.clip((x + slope * 5.0) * SS, 0, W - 1)
    iy = ref_y.astype(np.int64)
    fy = (ref_y - iy)[..., None]
    ix = ref_x.astype(np.int64)
    refl = soft[iy, ix] * (1 - fy) + soft[iy + 1, ix] * fy

    # Less sky is reflected looking down: the water deepens toward us.
    deep = rgb(70, 84, 126)
    sea = lerp(deep, refl * 0.90, (0.72 - 0.34 * near)[..., None])
    # Each ripple's face toward us is a shade darker, its back a shade lighter.
    sea *= (1.0 + np.clip(slope, -1.5, 1.5) * (0.05 + 0.04 * near))[..., None]

    # Broken rosy glitter on the ripples under the hidden sun.
    width = 16 + 110 * near
    path = np.exp(-((x - SUN_X) / width) ** 2) * (0.75 + 0.25 * near)
    spark = smoothstep(0.2, 1.2, -slope * 5.0 + 0.5 * r) * path
    sea = lerp(sea, rgb(255, 226, 220), (0.75 * spark)[..., None])
    # Softer sheen of the glow itself on the water beneath it.
    sheen = np.exp(-((x - SUN_X) / (70 + 160 * near)) ** 2) * (1 - 0.6 * near)
    sea = lerp(sea, rgb(236, 204, 206), (0.30 * sheen)[..., None])

    img = np.where((y < HORIZON)[..., None], sky, sea)
    # A thin band of haze softens the horizon line without hiding it.
    hz = np.exp(-((y - HORIZON + 1.0) / 2.0) ** 2)[..., None]
    img = lerp(img, rgb(240, 218, 218), 0.35 * hz)

    img = np.stack([np.asarray(Image.fromarray(img[..., c].astype(np.float32), "F")
                               .resize((SEA_W, SEA_H), Image.BOX))
                    for c in range(3)], axis=-1).astype(np.float64)
    y, x = np.mgrid[0:SEA_H, 0:SEA_W].astype(np.float64)

    # Gentle darkening of the bottom corners, as from a real lens.
    nx = (x - SEA_W / 2) / (SEA_W / 2)
    ny = (y - SEA_H * 0.45) / (SEA_H * 0.55)
    img *= (1 - 0.16 * smoothstep(0.6, 1.5, np.sqrt(nx * nx + ny * ny)))[..., None]

    # Film grain, coloured lightly, so it reads as a photograph.
    rng = np.random.default_rng(33)
    img += rng.normal(0, 2.4, (SEA_H, SEA_W, 1)) + rng.normal(0, 1.1, (SEA_H, SEA_W, 3))
    return to_image(img)


# ------------------------------------------------------------------ icons

def icon_pixels(rows):
    n = len(rows)
    assert all(len(r) == n for r in rows), "icon art must be square"
    idx = [[INK.get(c, 0) for c in r] for r in rows]
    clear = [[c == "." for c in r] for r in rows]
    return idx, clear


def write_ico4(rows, path):
    """A single-image .ico, 4 bits per pixel with a 1-bit mask.

    Written by hand because common image libraries only save 8 bpp or more.
    """
    idx, clear = icon_pixels(rows)
    n = len(rows)
    xor = bytearray()
    for y in reversed(range(n)):                 # bitmaps run bottom-up
        line = bytearray((idx[y][x] << 4) | idx[y][x + 1] for x in range(0, n, 2))
        line += b"\0" * ((4 - len(line) % 4) % 4)
        xor += line
    mask = bytearray()
    for y in reversed(range(n)):
        line = bytearray((n + 7) // 8)
        for x in range(n):
            if clear[y][x]:
                line[x // 8] |= 0x80 >> (x % 8)
        line += b"\0" * ((4 - len(line) % 4) % 4)
        mask += line
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE16)
    info = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 4, 0,
                       len(xor) + len(mask), 0, 0, 16, 0)
    image = info + pal + bytes(xor) + bytes(mask)
    head = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", n, n, 16, 0, 1, 4, len(image), 6 + 16)
    with open(path, "wb") as f:
        f.write(head + entry + image)


# ------------------------------------------------------------------ main

def main():
    out = HERE if len(sys.argv) < 2 else sys.argv[1]
    write_bmp24(make_background(), os.path.join(out, "background.bmp"))
    make_seasky().save(os.path.join(out, "seasky.jpg"), "JPEG", quality=JPEG_QUALITY,
                       subsampling="4:2:0", progressive=False, optimize=False)
    write_ico4(POT16, os.path.join(out, "pantrio16.ico"))
    write_ico4(POT32, os.path.join(out, "pantrio32.ico"))


if __name__ == "__main__":
    main()
