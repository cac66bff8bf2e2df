"""The product's emblem, a document under a magnifying glass, at any scale and lens position."""
import math

from canvas import Layer, WHITE, NAVY, DEEP_BLUE, ROYAL, BRIGHT

PAPER_EDGE = (120, 146, 186)
LINE = (170, 190, 220)
LINE_HOT = (40, 110, 215)


def document(L, x, y, w, h, lines=True, fold=None):
    """A white page with a folded corner and text lines, top-left at (x, y)."""
    f = fold if fold is not None else w * 0.28
    edge = max(1.0, w / 36)
    outline = [(x, y), (x + w - f, y), (x + w, y + f), (x + w, y + h), (x, y + h)]
    L.polygon(outline, PAPER_EDGE)
    inner = [(x + edge, y + edge), (x + w - f - edge * 0.4, y + edge), (x + w - edge, y + f + edge * 0.4),
             (x + w - edge, y + h - edge), (x + edge, y + h - edge)]
    L.gradient("polygon", inner, [(0, WHITE), (1, (232, 239, 249))])
    L.polygon([(x + w - f, y), (x + w, y + f), (x + w - f, y + f)], (208, 222, 242))
    if lines:
        n = 5
        for i in range(n):
            ly = y + h * (0.36 + i * 0.12)
            lw = (w * 0.62) if i % 2 == 0 else (w * 0.48)
            L.rect((x + w * 0.18, ly, x + w * 0.18 + lw, ly + max(1.0, h / 24)), fill=LINE)


def magnifier(L, cx, cy, r, angle_deg=45.0, glass=150):
    """A magnifying glass with its lens centred on (cx, cy); the handle points along angle_deg."""
    a = math.radians(angle_deg)
    ring = max(1.2, r * 0.26)
    hx0 = cx + math.cos(a) * (r + ring * 0.3)
    hy0 = cy + math.sin(a) * (r + ring * 0.3)
    hx1 = cx + math.cos(a) * (r * 2.25)
    hy1 = cy + math.sin(a) * (r * 2.25)
    L.line([(hx0, hy0), (hx1, hy1)], NAVY, ring * 1.55)
    L.line([(hx0 + math.cos(a) * r * 0.35, hy0 + math.sin(a) * r * 0.35), (hx1, hy1)], DEEP_BLUE, ring * 1.1)
    L.ellipse((cx - r - ring, cy - r - ring, cx + r + ring, cy + r + ring), fill=NAVY)
    L.ellipse((cx - r - ring * 0.45, cy - r - ring * 0.45, cx + r + ring * 0.45, cy + r + ring * 0.45),
              fill=ROYAL)
    L.ellipse((cx - r, cy - r, cx + r, cy + r), fill=(214, 232, 252, glass))
    L.ellipse((cx - r * 0.62, cy - r * 0.7, cx + r * 0.1, cy - r * 0.12), fill=(255, 255, 255, 170))


def scene(L, ox, oy, s, t):
    """Document with the lens on an orbit; t in [0, 1) is the position on the orbit.

    The emblem is laid out in a 80 x 74 box scaled by s, with its top-left at (ox, oy).
    """
    def P(x, y):
        return ox + x * s, oy + y * s

    dx, dy = P(19, 8)
    document(L, dx, dy, 36 * s, 48 * s)
    a = 2 * math.pi * t
    cx, cy = P(39 + 13 * math.cos(a), 33 + 11 * math.sin(a))
    # Lines under the lens show up brighter: the magnifier "reads" the document.
    for i in range(5):
        ly = dy + 48 * s * (0.36 + i * 0.12)
        if abs(ly - cy) < 9 * s:
            x0 = max(dx + 36 * s * 0.18, cx - 8 * s)
            lw = 36 * s * (0.62 if i % 2 == 0 else 0.48)
            x1 = min(dx + 36 * s * 0.18 + lw, cx + 8 * s)
            if x1 > x0:
                L.rect((x0, ly - s * 0.5, x1, ly + max(1.0, 2 * s)), fill=LINE_HOT)
    magnifier(L, cx, cy, 10 * s, 50)


def badge_tick(L, cx, cy, r):
    L.ellipse((cx - r - 1.5, cy - r - 1.5, cx + r + 1.5, cy + r + 1.5), fill=WHITE)
    L.gradient("ellipse", (cx - r, cy - r, cx + r, cy + r), [(0, (86, 192, 92)), (1, (30, 140, 52))])
    L.line([(cx - r * 0.45, cy + r * 0.02), (cx - r * 0.1, cy + r * 0.38), (cx + r * 0.5, cy - r * 0.35)],
           WHITE, max(1.4, r * 0.28))


def icon(size):
    """The application icon at one size, drawn for that size."""
    L = Layer((size, size), 8)
    u = size / 48.0
    rad = 9 * u
    L.rect((0.5 * u, 0.5 * u, 47.5 * u, 47.5 * u), fill=NAVY, radius=rad)
    L.gradient("rect", (1.5 * u, 1.5 * u, 46.5 * u, 46.5 * u), [(0, BRIGHT), (1, DEEP_BLUE)], radius=rad - u)
    L.gradient("rect", (2.5 * u, 2.5 * u, 45.5 * u, 22 * u), [(0, (255, 255, 255, 70)), (1, (255, 255, 255, 8))],
               radius=rad - 2 * u)
    document(L, 9 * u, 6 * u, 25 * u, 33 * u, lines=size >= 24)
    magnifier(L, 29 * u, 27 * u, 8.5 * u if size > 16 else 9.5 * u, 48, glass=235)
    return L.image()
