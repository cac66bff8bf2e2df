"""Drawing helpers shared by every picture: supersampled shapes, gradients, fonts and colours."""
import os
from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

# The window's colour key: an opaque pixel of exactly this colour would punch a hole in the window.
SKY_BLUE = (166, 202, 240)
# The bitmap buttons' transparent colour: a button pixel of this colour would not be drawn.
OLIVE = (128, 128, 0)

# The skin's palette.
NAVY = (10, 38, 92)
DEEP_BLUE = (18, 64, 148)
ROYAL = (28, 94, 196)
BRIGHT = (52, 136, 232)
WHITE = (255, 255, 255)
INK = (24, 33, 48)
GREY_TEXT = (92, 104, 122)

_FONT_DIRS = ["/usr/share/fonts/truetype/liberation", "/usr/share/fonts/truetype/dejavu"]
_FONT_FILES = {
    ("sans", False): ["LiberationSans-Regular.ttf", "DejaVuSans.ttf"],
    ("sans", True): ["LiberationSans-Bold.ttf", "DejaVuSans-Bold.ttf"],
    ("round", True): ["DejaVuSans-Bold.ttf", "LiberationSans-Bold.ttf"],
}
_font_cache = {}


def font(px, bold=False, family="sans"):
    """A TrueType font whose em is px pixels high."""
    key = (family, bold, px)
    if key not in _font_cache:
        for name in _FONT_FILES[(family, bold)]:
            for d in _FONT_DIRS:
                path = os.path.join(d, name)
                if os.path.exists(path):
                    _font_cache[key] = ImageFont.truetype(path, int(round(px)))
                    break
            if key in _font_cache:
                break
        else:
            raise RuntimeError("no Liberation Sans or DejaVu font installed (fonts-liberation)")
    return _font_cache[key]


def mix(a, b, t):
    """Linear blend of two RGB(A) colours, t = 0 gives a."""
    return tuple(int(round(x + (y - x) * t)) for x, y in zip(a, b))


def vgradient(size, stops):
    """An RGBA image filled top to bottom through the colour stops [(pos 0..1, colour), ...]."""
    w, h = size
    col = Image.new("RGBA", (1, h))
    for y in range(h):
        t = y / max(1, h - 1)
        col.putpixel((0, y), _at(stops, t))
    return col.resize((w, h), Image.NEAREST)


def _at(stops, t):
    for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
        if t <= p1:
            c = mix(c0, c1, 0 if p1 == p0 else (t - p0) / (p1 - p0))
            return c if len(c) == 4 else c + (255,)
    c = stops[-1][1]
    return c if len(c) == 4 else c + (255,)


class Layer:
    """A transparent drawing surface at k times the final size; coordinates are final pixels.

    Shapes drawn on it are anti-aliased by the box filter of `image()`, and edges on whole
    final pixels stay perfectly crisp.
    """

    def __init__(self, size, k=8):
        self.w, self.h = size
        self.k = k
        self.im = Image.new("RGBA", (self.w * k, self.h * k), (0, 0, 0, 0))
        self.d = ImageDraw.Draw(self.im)

    def _s(self, v):
        return int(round(v * self.k))

    def _box(self, box):
        x0, y0, x1, y1 = box
        return [self._s(x0), self._s(y0), self._s(x1) - 1, self._s(y1) - 1]

    def _new_mask(self):
        m = Image.new("L", self.im.size, 0)
        return m, ImageDraw.Draw(m)

    def _paint(self, mask, colour):
        """Blends a colour over the layer wherever the mask is set."""
        c = _rgba(colour)
        if c is None:
            return
        solid = Image.new("RGBA", self.im.size, c[:3] + (0,))
        solid.putalpha(mask if c[3] == 255 else mask.point(lambda v: v * c[3] // 255))
        self.im.alpha_composite(solid)

    def _ring(self, outer, inner):
        return ImageChops.subtract(outer, inner)

    def rect(self, box, fill=None, outline=None, width=1.0, radius=0.0):
        """Rectangle [x0, x1) x [y0, y1); the outline lies inside the box."""
        x0, y0, x1, y1 = box
        inner = (x0 + width, y0 + width, x1 - width, y1 - width)
        if outline is not None:
            ring = self._ring(self._mask("rect", box, radius), self._mask("rect", inner, max(0, radius - width)))
            self._paint(ring, outline)
            if fill is not None:
                self._paint(self._mask("rect", inner, max(0, radius - width)), fill)
        elif fill is not None:
            self._paint(self._mask("rect", box, radius), fill)

    def ellipse(self, box, fill=None, outline=None, width=1.0):
        x0, y0, x1, y1 = box
        inner = (x0 + width, y0 + width, x1 - width, y1 - width)
        if outline is not None:
            self._paint(self._ring(self._mask("ellipse", box), self._mask("ellipse", inner)), outline)
            if fill is not None:
                self._paint(self._mask("ellipse", inner), fill)
        elif fill is not None:
            self._paint(self._mask("ellipse", box), fill)

    def polygon(self, points, fill):
        self._paint(self._mask("polygon", points), fill)

    def line(self, points, fill, width):
        """A polyline with round caps and joins, centred on the given points."""
        m, md = self._new_mask()
        pts = [(self._s(x), self._s(y)) for x, y in points]
        w = self._s(width)
        md.line(pts, fill=255, width=w, joint="curve")
        r = w / 2
        for x, y in (pts[0], pts[-1]):
            md.ellipse([x - r, y - r, x + r - 1, y + r - 1], fill=255)
        self._paint(m, fill)

    def text(self, xy, s, px, fill, bold=False, anchor="la", family="sans"):
        m, md = self._new_mask()
        md.text((self._s(xy[0]), self._s(xy[1])), s, font=font(px * self.k, bold, family), fill=255, anchor=anchor)
        self._paint(m, fill)

    def _mask(self, kind, geom, radius=0.0):
        m = Image.new("L", self.im.size, 0)
        md = ImageDraw.Draw(m)
        if kind == "rect":
            md.rounded_rectangle(self._box(geom), radius=self._s(radius), fill=255)
        elif kind == "ellipse":
            md.ellipse(self._box(geom), fill=255)
        else:
            md.polygon([(self._s(x), self._s(y)) for x, y in geom], fill=255)
        return m

    def _span(self, kind, geom):
        ys = [p[1] for p in geom] if kind == "polygon" else [geom[1], geom[3]]
        return min(ys), max(ys)

    def gradient(self, kind, geom, stops, radius=0.0):
        """Fills a rect, ellipse or polygon with a vertical gradient over the shape's own height."""
        y0, y1 = self._span(kind, geom)
        g = Image.new("RGBA", self.im.size, (0, 0, 0, 0))
        top, bottom = self._s(y0), max(self._s(y0) + 1, self._s(y1))
        g.paste(vgradient((self.im.width, bottom - top), stops), (0, top))
        m = self._mask(kind, geom, radius)
        ga = Image.composite(g, Image.new("RGBA", self.im.size, (0, 0, 0, 0)), m)
        self.im.alpha_composite(ga)

    def erase(self, kind, geom, radius=0.0):
        """Makes a rect, ellipse or polygon fully transparent again."""
        m = self._mask(kind, geom, radius)
        self.im.putalpha(Image.composite(Image.new("L", self.im.size, 0), self.im.getchannel("A"), m))

    def paste(self, other):
        self.im.alpha_composite(other.im)

    def image(self):
        """The layer at its final size."""
        # Pillow resizes RGBA through premultiplied alpha, so transparent pixels do not bleed.
        return self.im.resize((self.w, self.h), Image.BOX)


def _rgba(c):
    if c is None:
        return None
    return c if len(c) == 4 else tuple(c) + (255,)


def shadow(size, box, radius, blur, alpha, offset=(0, 2), colour=(0, 0, 0)):
    """A soft drop shadow of a rounded box, as an RGBA image of the given size."""
    m = Image.new("L", size, 0)
    x0, y0, x1, y1 = box
    dx, dy = offset
    ImageDraw.Draw(m).rounded_rectangle([x0 + dx, y0 + dy, x1 + dx - 1, y1 + dy - 1], radius=radius, fill=alpha)
    m = m.filter(ImageFilter.GaussianBlur(blur))
    out = Image.new("RGBA", size, colour + (0,))
    out.putalpha(m)
    return out


def avoid_key_colours(im, colours=(SKY_BLUE,)):
    """Nudges every opaque pixel that equals one of the key colours by one step of blue."""
    im = im.convert("RGBA") if im.mode not in ("RGB", "RGBA") else im
    px = im.load()
    w, h = im.size
    keys = set(colours)
    for y in range(h):
        for x in range(w):
            p = px[x, y]
            if p[:3] in keys and (len(p) == 3 or p[3] == 255):
                nb = p[2] + 1 if p[2] < 255 else p[2] - 1
                px[x, y] = (p[0], p[1], nb) + tuple(p[3:])
    return im
