#!/usr/bin/env python3
"""Writes the editor's artwork into resources/: the panel maps (base colour, emissive,
material, physical, depth), the environment picture, the logo and the two fonts.

The panel is drawn around the widget boxes of spatium/gui/layout.inc, read from that
file, so labels, wells and scales follow the layout. Every output is reproducible byte
for byte: fixed random seeds, fixed encoder settings, no time stamps.

    make_artwork.py [--out DIR]     write the files (default: resources/ of the checkout)
    make_artwork.py --check         build into a temporary folder and compare with resources/
"""

import argparse
import math
import os
import re
import sys
import tempfile

import numpy as np
from PIL import Image, ImageDraw, ImageFilter, ImageFont

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
LAYOUT = os.path.join(ROOT, "spatium", "gui", "layout.inc")

LATO = "/usr/share/fonts/truetype/lato/Lato-Semibold.ttf"
LATO_LICENCE = "/usr/share/doc/fonts-lato/copyright"
SPARTAN = "/usr/share/fonts/opentype/league-spartan/LeagueSpartan-Bold.otf"
SPARTAN_LICENCE = "/usr/share/doc/fonts-league-spartan/copyright"

W, H = 763, 494
PANEL_DEPTH = 66.0  # grey level of the bare panel; the editor's gradients start there
# Rectangles whose height the editor replaces by gradients at draw time.
SLOPED_PLATES = ((0, 466, 763, 494), (300, 0, 463, 90), (645, 67, 763, 380),
                 (403, 100, 643, 250))

# ---------------------------------------------------------------------------- layout


def read_layout(path=LAYOUT):
    children, hints = {}, []
    child = re.compile(r'^SPATIUM_CHILD\((\w+),\s*(\w+),\s*"([^"]*)",\s*(-?\d+),\s*(-?\d+),'
                       r'\s*(-?\d+),\s*(-?\d+)\)')
    hint = re.compile(r'^SPATIUM_HINT\("([^"]*)",\s*(-?\d+),\s*(-?\d+)\)')
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.strip()
            m = child.match(line)
            if m:
                children[m.group(1)] = tuple(int(m.group(i)) for i in range(4, 8))
                continue
            m = hint.match(line)
            if m:
                x, y = int(m.group(2)), int(m.group(3))
                hints.append((m.group(1), (x - 2, y, x + 38, y + 22)))
    if len(children) != 26 or len(hints) != 17:
        sys.exit("make_artwork: %s gave %d children and %d hints" % (path, len(children),
                                                                     len(hints)))
    return children, hints


def centre(box):
    return (box[0] + box[2]) / 2.0, (box[1] + box[3]) / 2.0


def overlaps(a, b):
    return a[0] < b[2] and b[0] < a[2] and a[1] < b[3] and b[1] < a[3]


# ------------------------------------------------------------------ coverage shapes

YY, XX = np.mgrid[0:H, 0:W].astype(np.float64) + 0.5


def disc(cx, cy, r):
    d = np.hypot(XX - cx, YY - cy)
    return np.clip(r - d + 0.5, 0.0, 1.0)


def ring(cx, cy, r0, r1):
    d = np.hypot(XX - cx, YY - cy)
    return np.clip(np.minimum(r1 - d + 0.5, d - r0 + 0.5), 0.0, 1.0)


def rounded_box_distance(box, radius):
    x0, y0, x1, y1 = box
    hx, hy = (x1 - x0) / 2.0 - radius, (y1 - y0) / 2.0 - radius
    qx = np.abs(XX - (x0 + x1) / 2.0) - hx
    qy = np.abs(YY - (y0 + y1) / 2.0) - hy
    outside = np.hypot(np.maximum(qx, 0), np.maximum(qy, 0))
    inside = np.minimum(np.maximum(qx, qy), 0)
    return outside + inside - radius  # negative inside


def rounded_box(box, radius):
    return np.clip(0.5 - rounded_box_distance(box, radius), 0.0, 1.0)


def line(x0, y0, x1, y1, width):
    dx, dy = x1 - x0, y1 - y0
    length2 = dx * dx + dy * dy
    t = np.clip(((XX - x0) * dx + (YY - y0) * dy) / length2, 0.0, 1.0)
    d = np.hypot(XX - (x0 + t * dx), YY - (y0 + t * dy))
    return np.clip(width / 2.0 - d + 0.5, 0.0, 1.0)


# -------------------------------------------------------------------- the panel


class Panel:
    """The five maps as floats: colour 0..255, emissive 0..255, material channels
    0..255 (roughness, metalness, specular, physical) and height in grey levels."""

    def __init__(self):
        rng = np.random.default_rng(20261208)
        # Brushed aluminium: fine noise smeared along x into streaks.
        noise = rng.normal(0.0, 1.0, (H, W + 64))
        kernel = np.ones(48) / 48.0
        streaks = np.apply_along_axis(lambda r: np.convolve(r, kernel, mode="same"), 1, noise)
        streaks = streaks[:, 32:32 + W] * 4.0 + rng.normal(0.0, 0.35, (H, W))
        self.grain = streaks
        shade = 1.0 - 0.06 * (YY / H)
        grey = (90.0 + 3.0 * streaks) * shade
        self.colour = np.stack([grey * 0.98, grey * 1.0, grey * 1.04], axis=-1)
        self.emissive = np.zeros((H, W))
        self.material = np.zeros((H, W, 4))
        self.material[..., 0] = 120.0  # roughness
        self.material[..., 1] = 215.0  # metalness
        self.material[..., 2] = 110.0  # specular
        self.material[..., 3] = 255.0  # lit everywhere
        self.depth = np.full((H, W), PANEL_DEPTH)

    def paint(self, cov, colour=None, material=None, emissive=None):
        c = cov[..., None]
        if colour is not None:
            self.colour = self.colour * (1 - c) + np.asarray(colour, float) * c
        if material is not None:
            self.material = self.material * (1 - c) + np.asarray(material, float) * c
        if emissive is not None:
            self.emissive = self.emissive * (1 - cov) + emissive * cov

    def set_depth(self, cov, value):
        self.depth = self.depth * (1 - cov) + value * cov

    def add_depth(self, cov, amount):
        self.depth = self.depth + amount * cov


# Finishes that recur on the panel.
INK = (214, 216, 218)
INK_MATERIAL = (190, 0, 40, 255)
ACCENT = (236, 170, 84)
POLISHED = (196, 198, 204)
POLISHED_MATERIAL = (45, 255, 200, 255)
SCREEN = (14, 17, 21)
SCREEN_MATERIAL = (90, 30, 150, 110)


def bevelled_plate(panel, box, radius, height, bevel=3.0):
    """A raised plate whose edge slopes over `bevel` pixels."""
    d = rounded_box_distance(box, radius)
    rise = np.clip(-d / bevel, 0.0, 1.0)
    panel.add_depth(rise, height)


def well(panel, box, radius, depth, bevel=3.0, rim=None):
    """A recessed area with a sloped wall, optionally framed by a polished rim."""
    d = rounded_box_distance(box, radius)
    fall = np.clip(-d / bevel, 0.0, 1.0)
    panel.add_depth(fall, -depth)
    if rim:
        outer = rounded_box(tuple(v + s for v, s in zip(box, (-rim, -rim, rim, rim))),
                            radius + rim)
        band = np.clip(outer - rounded_box(box, radius), 0.0, 1.0)
        panel.paint(band, POLISHED, POLISHED_MATERIAL)
        panel.add_depth(band, 5.0)


def knob_well(panel, box):
    cx, cy = centre(box)
    r = (box[2] - box[0]) / 2.0
    # A shallow dish the knob sits in, with a turned collar around it.
    d = np.hypot(XX - cx, YY - cy)
    dish = np.clip((r + 1.0 - d) / 3.0, 0.0, 1.0)
    panel.add_depth(dish, -10.0)
    collar = ring(cx, cy, r + 1.0, r + 3.5)
    panel.paint(collar, POLISHED, POLISHED_MATERIAL)
    panel.add_depth(collar * np.clip(1.0 - np.abs(d - (r + 2.25)) / 2.0, 0, 1), 7.0)


# ------------------------------------------------------------------------- text


class Text:
    def __init__(self, path, size, tracking):
        self.font = ImageFont.truetype(path, size)
        self.tracking = tracking

    def width(self, text):
        w = sum(self.font.getlength(ch) for ch in text)
        return w + self.tracking * (len(text) - 1)

    def mask(self, text, x, y):
        """Coverage of text with its box's left edge at x and cap top at y (floats
        snapped to whole pixels), and the ink box (x0, y0, x1, y1)."""
        img = Image.new("L", (W, H), 0)
        draw = ImageDraw.Draw(img)
        pen = round(x)
        ascent = self.font.getbbox("H")[1]
        top = round(y) - ascent
        for ch in text:
            draw.text((pen, top), ch, fill=255, font=self.font)
            pen += self.font.getlength(ch) + self.tracking
        cov = np.asarray(img, dtype=np.float64) / 255.0
        ys, xs = np.nonzero(cov)
        box = (int(xs.min()), int(ys.min()), int(xs.max()) + 1, int(ys.max()) + 1)
        return cov, box


class Labels:
    """Prints text on the panel and keeps every printed box for the overlap check."""

    def __init__(self, panel, forbidden):
        self.panel = panel
        self.forbidden = forbidden
        self.boxes = []

    def put(self, face, text, x, y, align="centre", colour=INK, material=INK_MATERIAL,
            emissive=None):
        w = face.width(text)
        left = {"centre": x - w / 2.0, "left": x, "right": x - w}[align]
        cov, box = face.mask(text, left, y)
        for name, other in self.forbidden:
            if overlaps(box, other):
                sys.exit("make_artwork: label %r %s overlaps %s %s" % (text, box, name, other))
        self.panel.paint(cov, colour, material, emissive)
        self.boxes.append((text, box))
        return box


# ------------------------------------------------------------------- the drawing


def slider_y(box, v):
    """Centre row of a slider's handle at normalised value v."""
    h = box[3] - box[1]
    hh = int(h * 0.25 + 0.5)
    return box[1] + int((h - hh) * (1.0 - v) + 0.5) + hh / 2.0


def draw_panel(children, hints):
    panel = Panel()
    forbidden = [(n, b) for n, b in children.items()] + [("hint " + n, b) for n, b in hints]
    labels = Labels(panel, forbidden)
    small = Text(LATO, 8, 0.9)
    scale = Text(LATO, 7, 0.3)
    group = Text(LATO, 8, 1.6)
    lower = Text(LATO, 8, 0.4)
    target = Text(LATO, 7, 0.2)
    title = Text(SPARTAN, 30, 3.0)

    # Frame: a polished chamfer around the whole face and four screws.
    border = np.clip(1.0 - rounded_box((4, 4, W - 4, H - 4), 8), 0, 1)
    panel.add_depth(np.clip(-rounded_box_distance((0, 0, W, H), 6) / 5.0, 0, 1) - 1, 14.0)
    panel.paint(border * 0.6, (60, 62, 66))
    for sx, sy in ((11, 11), (W - 11, 11), (11, H - 11), (W - 11, H - 11)):
        head = disc(sx, sy, 4.5)
        panel.paint(head, POLISHED, POLISHED_MATERIAL)
        panel.add_depth(head * np.clip((4.5 - np.hypot(XX - sx, YY - sy)) / 2.0, 0, 1), 8.0)
        slot = line(sx - 3, sy - 1.5, sx + 3, sy + 1.5, 1.2) * head
        panel.paint(slot, (40, 40, 42))
        panel.add_depth(slot, -5.0)

    # A vent grille on the raised header plate.
    vent = SLOPED_PLATES[1]
    slots = np.zeros((H, W))
    for k in range(15):
        x = vent[0] + 18.5 + k * (vent[2] - vent[0] - 37) / 14.0
        slots = np.maximum(slots, line(x, vent[1] + 22, x, vent[3] - 22, 3.0))
    panel.paint(slots, (16, 17, 19), (230, 0, 20, 255))

    # Product name beside the logo.
    logo = children["logo"]
    labels.put(title, "SPATIUM", logo[2] + 12, logo[1] + 12, align="left")
    # The editor raises four areas of the face with slopes of its own when it paints;
    # a machined seam around each makes them read as separate plates.
    for x0, y0, x1, y1 in SLOPED_PLATES:
        edges = []
        if y0 > 0:
            edges.append((x0, y0 - 1, x1, y0 - 1))
        if y1 < H:
            edges.append((x0, y1, x1, y1))
        if x0 > 0:
            edges.append((x0 - 1, y0, x0 - 1, y1))
        if x1 < W:
            edges.append((x1, y0, x1, y1))
        for ex0, ey0, ex1, ey1 in edges:
            seam = line(ex0 + 0.5, ey0 + 0.5, ex1 + 0.5, ey1 + 0.5, 1.0)
            panel.paint(seam, (30, 31, 34), (200, 60, 40, 255))
            panel.add_depth(seam, -6.0)

    # Sliders: a raised strip with a slot, a scale on the left.
    for name, caption, marks in (
        ("distance", "DISTANCE", [(6, "+6"), (0, "0"), (-6, "-6"), (-12, "-12"), (-18, "-18"),
                                  (-24, "-24")]),
        ("outputLevel", "OUTPUT", [(18, "+18"), (12, "+12"), (6, "+6"), (0, "0"), (-12, "-12"),
                                   (None, "-inf")])):
        box = children[name]
        cx = (box[0] + box[2]) / 2.0
        bevelled_plate(panel, (box[0] - 2, box[1] - 2, box[2] + 2, box[3] + 2), 5, 10.0)
        panel.paint(rounded_box((box[0] - 2, box[1] - 2, box[2] + 2, box[3] + 2), 5),
                    (58, 60, 64), (100, 230, 120, 255))
        slot = rounded_box((cx - 3, box[1] + 10, cx + 3, box[3] - 10), 3)
        panel.add_depth(slot, -16.0)
        panel.paint(slot, (22, 23, 25), (160, 80, 60, 255))
        labels.put(small, caption, cx, box[1] - 14)
        for value, text in marks:
            if name == "distance":
                v = (value + 24) / 30.0
            else:
                v = 0.0 if value is None else 10.0 ** ((value - 18.0) / 40.0)
            y = slider_y(box, v)
            major = value == 0
            tick = line(box[0] - 9 + (0 if major else 2), y, box[0] - 4, y, 1.0)
            panel.paint(tick, ACCENT if major else INK, INK_MATERIAL)
            labels.put(scale, text, box[0] - 11, y - 2.5, align="right")
        labels.put(scale, "dB", box[0] - 11 - scale.width("-24") / 2.0, box[3] + 2)

    # Big knobs.
    for name, caption in (("stereoWidth", "WIDTH"), ("dryWet", "DRY/WET")):
        box = children[name]
        knob_well(panel, box)
        labels.put(small, caption, centre(box)[0], box[1] - 13)

    # Mid to side group on a raised plate.
    ms = [children[n] for n in ("msAmount", "msDelay", "msLowpass")]
    plate = (min(b[0] for b in ms) - 14, min(b[1] for b in ms) - 26,
             max(b[2] for b in ms) + 14, max(b[3] for b in ms) + 18)
    bevelled_plate(panel, plate, 6, 8.0)
    labels.put(group, "MID  TO  SIDE", (plate[0] + plate[2]) / 2.0, plate[1] + 5,
               colour=ACCENT)
    for name, caption, where in (("msAmount", "AMOUNT", "above"), ("msDelay", "DELAY", "below"),
                                 ("msLowpass", "LOWPASS", "below")):
        box = children[name]
        knob_well(panel, box)
        y = box[1] - 12 if where == "above" else box[3] + 5
        labels.put(small, caption, centre(box)[0], y)

    box = children["tilt"]
    knob_well(panel, box)
    labels.put(small, "TILT", centre(box)[0], box[1] - 12)

    # Pan: dial scale around the big knob, its sweep ±117.72 degrees for ±90.
    box = children["pan"]
    cx, cy = centre(box)
    radius = (box[2] - box[0]) / 2.0
    knob_well(panel, box)
    for pan in range(-90, 91, 15):
        a = pan / 90.0 * 2.0546017
        major = pan % 45 == 0
        r0, r1 = radius + 5.0, radius + (10.0 if major else 7.5)
        tick = line(cx + math.sin(a) * r0, cy - math.cos(a) * r0, cx + math.sin(a) * r1,
                    cy - math.cos(a) * r1, 1.2 if major else 0.9)
        panel.paint(tick, ACCENT if pan == 0 else INK, INK_MATERIAL)
    for pan, text in ((-90, "-90\u00b0"), (90, "+90\u00b0")):
        a = pan / 90.0 * 2.0546017
        x = cx + math.sin(a) * (radius + 12.0)
        y = cy - math.cos(a) * (radius + 12.0)
        labels.put(scale, text, x + (4 if pan > 0 else -4), y,
                   align="left" if pan > 0 else "right")
    for pan, text in ((-45, "L"), (45, "R")):
        a = pan / 90.0 * 2.0546017
        labels.put(scale, text, cx + math.sin(a) * (radius + 17.0),
                   cy - math.cos(a) * (radius + 17.0) - 3)
    labels.put(small, "PAN", cx, box[1] - 24)

    for name, caption in (("headSize", "HEAD SIZE"), ("spectralPan", "SPECTRAL")):
        box = children[name]
        knob_well(panel, box)
        labels.put(small, caption, centre(box)[0], box[3] + 3)

    # Panorama: a dark half-disc screen with distance rings and direction spokes.
    box = children["panorama"]
    bw, bh = box[2] - box[0], box[3] - box[1]
    lx, ly = box[0] + bw / 2.0, box[1] + bh - 18.0
    rm = max(0.0, min(bw / 2.0, bh - 14.0)) - 28.0
    outer = rm + 6.0
    half = disc(lx, ly, outer) * np.clip(ly + 8.0 - YY + 0.5, 0, 1)
    rim = np.clip(disc(lx, ly, outer + 3.0) * np.clip(ly + 11.0 - YY + 0.5, 0, 1) - half, 0, 1)
    panel.paint(rim, POLISHED, POLISHED_MATERIAL)
    panel.add_depth(rim, 6.0)
    panel.add_depth(np.clip(half * 2.0 - 0.5, 0, 1), -14.0)
    panel.paint(half, SCREEN, SCREEN_MATERIAL, emissive=0.0)
    grid = np.zeros((H, W))
    for db in (-24, -18, -12, -6, 0):
        a = max(0.0, min(1.0, 1.0 - (db + 24) / 30.0))
        r = a ** 0.75 * rm
        grid = np.maximum(grid, ring(lx, ly, r - 0.45, r + 0.45) * (YY < ly + 0.5))
    for pan in range(-90, 91, 30):
        t = pan / 90.0 * math.pi / 2.0
        grid = np.maximum(grid, line(lx, ly, lx + math.sin(t) * rm, ly - math.cos(t) * rm, 0.8))
    grid *= half
    panel.paint(grid * 0.55, (70, 120, 140), emissive=60.0)
    head = disc(lx, ly, 3.0)
    panel.paint(head, (150, 170, 180), emissive=90.0)

    # Phase scope: a recessed screen with axes for mid, side, left and right.
    box = children["phaseDisplay"]
    well(panel, box, 6, 14.0, rim=2.5)
    screen = rounded_box(box, 6)
    panel.paint(screen, SCREEN, SCREEN_MATERIAL, emissive=0.0)
    sx, sy = centre(box)
    half_w, half_h = (box[2] - box[0]) / 2.0 - 8, (box[3] - box[1]) / 2.0 - 8
    axes = np.maximum(line(sx, box[1] + 8, sx, box[3] - 8, 0.8),
                      line(box[0] + 8, sy, box[2] - 8, sy, 0.8))
    d = min(half_w, half_h)
    axes = np.maximum(axes, 0.5 * line(sx - d, sy - d, sx + d, sy + d, 0.8))
    axes = np.maximum(axes, 0.5 * line(sx + d, sy - d, sx - d, sy + d, 0.8))
    panel.paint(axes * screen * 0.5, (70, 120, 140), emissive=50.0)
    labels.put(small, "PHASE SCOPE", sx, box[3] + 6)

    # LFO section: its plate is one of the sloped ones; the headings sit above it.
    wave = children["lfoWave"]
    tempo = children["lfoTempo"]
    targets = [children[n] for n in ("lfoPan", "lfoDistance", "lfoGain", "lfoTilt")]
    heading_y = 92
    labels.put(group, "LFO", 405, heading_y, align="left", colour=ACCENT)
    n = 5
    bh = (wave[3] - wave[1]) // n
    labels.put(small, "WAVE", wave[0] + 0.85 * bh / 2.0 + 4, heading_y)
    for j, text in enumerate(("sine", "tri", "square", "saw", "random")):
        bx, by = wave[0] + 0.85 * bh / 2.0, wave[1] + j * bh + bh / 2.0
        panel.add_depth(disc(bx, by, 7.5) * np.clip((7.5 - np.hypot(XX - bx, YY - by)) / 2, 0, 1),
                        -8.0)
        panel.paint(ring(bx, by, 6.0, 7.5), POLISHED, POLISHED_MATERIAL)
        labels.put(lower, text, wave[0] - 3, by - 3, align="right")
    labels.put(small, "TEMPO", centre(tempo)[0], heading_y)
    header = (tempo[0] - 2, tempo[1] - 2, tempo[2] + 2,
              tempo[1] + int((tempo[3] - tempo[1]) / 13.0) + 2)
    well(panel, header, 3, 6.0)
    # The rate controls sit in the dropdown's column, so their names go in the gutter
    # to its right, kept apart from the depth knobs by an engraved divider.
    divider_x = min(b[0] for b in targets) - 2.5
    gutter = (tempo[2] + divider_x) / 2.0
    divider = line(divider_x, targets[0][1], divider_x, targets[-1][3] + 12, 0.8)
    panel.paint(divider, (34, 35, 38))
    panel.add_depth(divider, -5.0)
    sync = children["lfoSynced"]
    well(panel, (sync[0] - 2, sync[1] - 2, sync[2] + 2, sync[3] + 2), 3, 8.0, rim=1.5)
    labels.put(small, "SYNC", gutter, sync[1] - 1)
    freq = children["lfoFreq"]
    knob_well(panel, freq)
    labels.put(small, "FREQ", gutter, freq[1] - 6)
    phase = children["lfoPhase"]
    knob_well(panel, phase)
    labels.put(small, "PHASE", gutter, phase[1] + 21)
    for box, caption in zip(targets, ("PAN", "DISTANCE", "GAIN", "TILT")):
        knob_well(panel, box)
        labels.put(target, caption, centre(box)[0], box[3] + 4)
    labels.put(group, "DEPTH", centre(targets[0])[0], targets[0][1] - 14, colour=ACCENT)

    mono = children["testMono"]
    well(panel, (mono[0] - 2, mono[1] - 2, mono[2] + 2, mono[3] + 2), 3, 8.0, rim=1.5)
    labels.put(small, "TEST MONO", centre(mono)[0], mono[1] - 14)

    # The game sits in a shallow tray.
    game = children["bowGame"]
    well(panel, game, 6, 6.0)
    panel.paint(rounded_box(game, 6), (50, 52, 56), (150, 120, 80, 255))
    return panel, labels.boxes


# ------------------------------------------------------------------- the encoders


def to_bytes(a):
    return np.clip(np.floor(a + 0.5), 0, 255).astype(np.uint8)


def save_png(image, path):
    image.save(path, format="PNG", optimize=False, compress_level=9)


def save_jpeg(image, path):
    image.save(path, format="JPEG", quality=92, subsampling=0, optimize=False,
               progressive=False)


def depth_rgb(depth):
    """Height in grey levels as RGB whose mean keeps a third of a level."""
    thirds = np.clip(np.floor(depth * 3.0 + 0.5), 0, 765).astype(np.int32)
    base = thirds // 3
    rest = thirds - base * 3
    r = base + (rest >= 1)
    g = base + (rest >= 2)
    b = base
    return np.stack([r, g, b, np.full_like(b, 255)], axis=-1).astype(np.uint8)


def write_panel(out, children, hints):
    panel, boxes = draw_panel(children, hints)
    save_jpeg(Image.fromarray(to_bytes(panel.colour), "RGB"), os.path.join(out, "base_colour.jpg"))
    e = to_bytes(panel.emissive)
    save_png(Image.fromarray(np.stack([e, e, e], axis=-1), "RGB"),
             os.path.join(out, "emissive.png"))
    m = to_bytes(panel.material)
    save_png(Image.fromarray(np.concatenate([m[..., :3], np.full((H, W, 1), 255, np.uint8)],
                                            axis=-1), "RGBA"), os.path.join(out, "material.png"))
    p = m[..., 3]
    save_png(Image.fromarray(np.stack([p, p, p, np.full_like(p, 255)], axis=-1), "RGBA"),
             os.path.join(out, "physical.png"))
    save_png(Image.fromarray(depth_rgb(panel.depth), "RGBA"), os.path.join(out, "depth.png"))
    with open(os.path.join(out, "label_boxes.txt"), "w", encoding="utf-8", newline="\n") as f:
        f.write("# Printed panel labels: x0 y0 x1 y1 (exclusive) then the text.\n")
        for text, (x0, y0, x1, y1) in boxes:
            f.write("%d %d %d %d %s\n" % (x0, y0, x1, y1, text))


def write_skybox(out):
    """A studio: soft boxes overhead, grey walls with a few panels, a dark floor."""
    sw, sh = 1024, 768
    y, x = np.mgrid[0:sh, 0:sw].astype(np.float64)
    u, v = x / (sw - 1), y / (sh - 1)
    wall = 0.30 + 0.18 * (1.0 - v)
    img = np.stack([wall * 0.97, wall, wall * 1.04], axis=-1)
    ceiling = np.clip((0.30 - v) / 0.04, 0, 1)[..., None]
    img = img * (1 - ceiling) + np.array([0.62, 0.63, 0.66]) * ceiling
    floor = np.clip((v - 0.62) / 0.03, 0, 1)[..., None]
    img = img * (1 - floor) + (np.array([0.10, 0.085, 0.07]) * (1.2 - 0.6 * v[..., None])) * floor
    for x0, x1, y0, y1, level in ((0.12, 0.40, 0.05, 0.24, 1.0), (0.58, 0.86, 0.06, 0.22, 0.95),
                                  (0.44, 0.54, 0.30, 0.55, 0.55), (0.02, 0.07, 0.32, 0.58, 0.45),
                                  (0.93, 0.98, 0.32, 0.58, 0.40)):
        box = ((u > x0) & (u < x1) & (v > y0) & (v < y1))[..., None]
        img = np.where(box, np.array([level, level * 0.98, level * 0.93]), img)
    # Vertical wall battens for structure in the reflections.
    battens = ((np.floor(u * 24) % 2 == 0) & (v > 0.30) & (v < 0.62))[..., None]
    img = np.where(battens, img * 0.82, img)
    pic = Image.fromarray(to_bytes(img * 255.0), "RGB").filter(ImageFilter.GaussianBlur(6))
    save_jpeg(pic, os.path.join(out, "skybox.jpg"))


def write_logo(out):
    """A listener's dot with three arcs of sound spreading around it."""
    k = 8
    img = Image.new("RGBA", (60 * k, 45 * k), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    cx, cy = 30 * k, 38 * k
    colour = (226, 230, 236, 255)
    d.ellipse((cx - 5 * k, cy - 5 * k, cx + 5 * k, cy + 5 * k), fill=colour)
    for i, r in enumerate((13, 22, 31)):
        width = int((3.4 - 0.5 * i) * k)
        d.arc((cx - r * k, cy - r * k, cx + r * k, cy + r * k), 200, 340, fill=colour,
              width=width)
    d.rectangle((cx - 24 * k, cy + 5 * k, cx + 24 * k, cy + 6.5 * k), fill=(236, 170, 84, 255))
    save_png(img.resize((60, 45), Image.LANCZOS), os.path.join(out, "logo.png"))


# ------------------------------------------------------------------------ fonts


def text_characters():
    """Printable ASCII and the degree sign: the parameter texts use nothing else."""
    chars = set(chr(c) for c in range(0x20, 0x7F)) | {"\u00b0"}
    with open(os.path.join(ROOT, "spatium", "spatium.cpp"), encoding="utf-8") as f:
        for ch in f.read():
            if ord(ch) >= 0x20:
                chars.add(ch)
    return chars


def subset(font, chars):
    from fontTools import subset as fsub
    opts = fsub.Options()
    opts.layout_features = ["kern"]
    opts.hinting = False
    opts.name_IDs = [0, 1, 2, 3, 4, 5, 6, 13, 14, 16, 17]
    opts.name_languages = [0x409]
    opts.notdef_outline = True
    opts.glyph_names = False
    opts.legacy_kern = True
    s = fsub.Subsetter(options=opts)
    s.populate(unicodes=sorted(ord(c) for c in chars))
    s.subset(font)


def cff_to_glyf(font):
    """Replaces cubic CFF outlines by quadratic glyf ones."""
    from fontTools.pens.cu2quPen import Cu2QuPen
    from fontTools.pens.ttGlyphPen import TTGlyphPen
    from fontTools.ttLib import newTable
    glyph_set = font.getGlyphSet()
    order = font.getGlyphOrder()
    glyphs = {}
    for name in order:
        pen = TTGlyphPen(glyph_set)
        glyph_set[name].draw(Cu2QuPen(pen, max_err=1.0, reverse_direction=True))
        glyphs[name] = pen.glyph()
    del font["CFF "]
    if "VORG" in font:
        del font["VORG"]
    glyf = font["glyf"] = newTable("glyf")
    glyf.glyphOrder = order
    glyf.glyphs = glyphs
    font["loca"] = newTable("loca")
    maxp = font["maxp"]
    maxp.tableVersion = 0x00010000
    for field in ("maxZones", "maxTwilightPoints", "maxStorage", "maxFunctionDefs",
                  "maxInstructionDefs", "maxStackElements", "maxSizeOfInstructions",
                  "maxComponentElements"):
        setattr(maxp, field, 0)
    maxp.maxZones = 1
    maxp.maxComponentDepth = 0
    post = font["post"]
    post.formatType = 2.0
    post.extraNames = []
    post.mapping = {}
    post.glyphOrder = order
    font["head"].glyphDataFormat = 0
    font.sfntVersion = "\x00\x01\x00\x00"


def write_fonts(out):
    from fontTools.ttLib import TTFont
    text = TTFont(LATO, recalcTimestamp=False)
    subset(text, text_characters())
    text.save(os.path.join(out, "Lato-Semibold-subset.ttf"), reorderTables=True)
    title = TTFont(SPARTAN, recalcTimestamp=False)
    cff_to_glyf(title)
    subset(title, set(chr(c) for c in range(0x20, 0x7F)))
    title.save(os.path.join(out, "LeagueSpartan-Bold-subset.ttf"), reorderTables=True)
    for src, name in ((LATO_LICENCE, "Lato-LICENCE.txt"),
                      (SPARTAN_LICENCE, "LeagueSpartan-LICENCE.txt")):
        with open(src, "rb") as f:
            data = f.read()
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


OUTPUTS = ("base_colour.jpg", "emissive.png", "material.png", "physical.png", "depth.png",
           "skybox.jpg", "logo.png", "label_boxes.txt", "Lato-Semibold-subset.ttf",
           "LeagueSpartan-Bold-subset.ttf", "Lato-LICENCE.txt", "LeagueSpartan-LICENCE.txt")


def generate(out):
    os.makedirs(out, exist_ok=True)
    children, hints = read_layout()
    write_panel(out, children, hints)
    write_skybox(out)
    write_logo(out)
    write_fonts(out)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default=os.path.join(ROOT, "resources"))
    parser.add_argument("--check", action="store_true",
                        help="regenerate into a temporary folder and compare with --out")
    args = parser.parse_args()
    if not args.check:
        generate(args.out)
        return 0
    with tempfile.TemporaryDirectory() as tmp:
        generate(tmp)
        differ = []
        for name in OUTPUTS:
            with open(os.path.join(tmp, name), "rb") as a:
                fresh = a.read()
            try:
                with open(os.path.join(args.out, name), "rb") as b:
                    kept = b.read()
            except OSError:
                kept = None
            if fresh != kept:
                differ.append(name)
    if differ:
        print("make_artwork: differs from the committed files: " + ", ".join(differ))
        return 1
    print("make_artwork: all %d files reproduced byte for byte" % len(OUTPUTS))
    return 0


if __name__ == "__main__":
    sys.exit(main())
