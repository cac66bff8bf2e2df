"""The twelve 30 x 30 pictures of the report rows, in their container order."""
from PIL import Image

from canvas import Layer, WHITE

GROUP_BG = (0xD6, 0xE7, 0xF9)   # group rows
ENTRY_BG = (0xE4, 0xEE, 0xF9)   # entry rows
HEAD_BG = WHITE                 # heading rows sit on the list's own colour

SIZE = (30, 30)

RED = [(0, (234, 84, 70)), (1, (190, 32, 26))]
GREEN = [(0, (82, 186, 88)), (1, (34, 138, 52))]
RED_EDGE = (204, 38, 30)
BOX_EDGE = (116, 138, 170)
TICK_BLUE = (20, 92, 204)


def _on(bg, layer, white_bottom=False):
    im = Image.new("RGBA", SIZE, bg + (255,))
    im.alpha_composite(layer.image())
    im = im.convert("RGB")
    if white_bottom:
        for x in range(SIZE[0]):
            im.putpixel((x, SIZE[1] - 1), WHITE)
    return im


def tile(bg):
    return _on(bg, Layer(SIZE), white_bottom=True)


def check_box(ticked):
    L = Layer(SIZE)
    # 16 x 17 box, centred.
    L.rect((7, 6, 23, 23), fill=BOX_EDGE, radius=1.5)
    L.gradient("rect", (8, 7, 22, 22), [(0, (255, 255, 255)), (1, (232, 239, 248))], radius=0.8)
    if ticked:
        L.line([(10.4, 14.4), (13.7, 18.0), (19.8, 9.8)], TICK_BLUE, 2.7)
    return _on(ENTRY_BG, L)


def _document(L):
    page = [(4, 2), (15, 2), (20, 7), (20, 26), (4, 26)]
    L.polygon(page, (128, 136, 148))
    L.gradient("polygon", [(5, 3), (14.6, 3), (19, 7.4), (19, 25), (5, 25)],
               [(0, (252, 252, 253)), (1, (224, 228, 234))])
    # Folded corner.
    L.polygon([(14, 2), (15, 2), (20, 7), (20, 8), (14, 8)], (128, 136, 148))
    L.polygon([(15, 3.2), (18.8, 7), (15, 7)], (206, 212, 222))
    # Wrench across the page: handle, head, and the jaw cut into the head.
    wrench = Layer(SIZE, L.k)
    wrench.line([(7.6, 22.4), (13.6, 14.0)], (98, 106, 120), 2.8)
    wrench.ellipse((11.8, 7.6, 19.0, 14.8), fill=(98, 106, 120))
    wrench.erase("polygon", [(15.0, 10.6), (17.6, 6.2), (20.8, 8.6), (17.0, 12.6)])
    L.paste(wrench)


def _badge_square(L, stops):
    L.rect((16, 15, 30, 29), fill=WHITE, radius=2.5)
    L.gradient("rect", (17, 16, 29, 28), stops, radius=1.8)


def heading(kind):
    L = Layer(SIZE)
    _document(L)
    if kind == "problems":
        _badge_square(L, RED)
        L.line([(20.2, 19.2), (25.8, 24.8)], WHITE, 1.9)
        L.line([(25.8, 19.2), (20.2, 24.8)], WHITE, 1.9)
    elif kind == "valid":
        _badge_square(L, GREEN)
        L.line([(19.4, 22.0), (22.0, 24.8), (26.4, 18.8)], WHITE, 1.9)
    else:
        _triangle(L, (23, 15.2), 12.4, 1.5, halo=True)
    return _on(HEAD_BG, L)


def _triangle(L, apex, width, edge, halo=False):
    """A warning triangle: red edge, white inside, black exclamation mark."""
    ax, ay = apex
    h = width * 0.9
    outer = [(ax, ay), (ax + width / 2, ay + h), (ax - width / 2, ay + h)]
    if halo:
        L.line(outer + [outer[0]], WHITE, edge + 2.4)
    L.line(outer + [outer[0]], RED_EDGE, edge * 1.6)
    L.polygon(outer, RED_EDGE)
    cx = ax
    inset = edge * 1.9
    inner = [(ax, ay + inset * 1.15), (ax + width / 2 - inset, ay + h - edge * 0.9),
             (ax - width / 2 + inset, ay + h - edge * 0.9)]
    L.polygon(inner, WHITE)
    bar_w = max(1.6, width * 0.1)
    top = ay + h * 0.36
    L.rect((cx - bar_w / 2, top, cx + bar_w / 2, ay + h * 0.68), fill=(20, 20, 20), radius=bar_w / 3)
    L.rect((cx - bar_w / 2, ay + h * 0.75, cx + bar_w / 2, ay + h * 0.75 + bar_w), fill=(20, 20, 20),
           radius=bar_w / 3)


def status(kind):
    L = Layer(SIZE)
    if kind == "broken":
        L.rect((6, 6, 24, 24), fill=(160, 24, 18), radius=3)
        L.gradient("rect", (7, 7, 23, 23), RED, radius=2.2)
        L.line([(11, 11), (19, 19)], WHITE, 2.4)
        L.line([(19, 11), (11, 19)], WHITE, 2.4)
    elif kind == "works":
        L.rect((6, 6, 24, 24), fill=(24, 112, 40), radius=3)
        L.gradient("rect", (7, 7, 23, 23), GREEN, radius=2.2)
        L.line([(10.2, 15.4), (13.6, 18.8), (19.8, 11.2)], WHITE, 2.4)
    else:
        L2 = Layer(SIZE)
        _triangle(L2, (15, 4.8), 21.0, 1.5)
        L.paste(L2)
    return _on(ENTRY_BG, L)


def folder():
    L = Layer(SIZE)
    back = [(3, 6.5), (10.5, 6.5), (12.5, 9), (26, 9), (26, 25), (3, 25)]
    L.polygon(back, (22, 70, 150))
    L.gradient("polygon", [(4, 7.5), (10, 7.5), (12, 10), (25, 10), (25, 24), (4, 24)],
               [(0, (54, 116, 206)), (1, (30, 82, 170))])
    # Grey sheets standing in the folder.
    L.rect((7, 4, 22, 20), fill=(150, 156, 166))
    L.rect((8, 5, 21, 20), fill=(236, 238, 242))
    L.rect((9.5, 6.5, 24, 21), fill=(150, 156, 166))
    L.rect((10.5, 7.5, 23, 21), fill=(250, 250, 251))
    for y in (10, 12.5, 15):
        L.rect((12, y, 21, y + 1), fill=(190, 196, 206))
    # Open front flap, tilted towards the viewer.
    flap = [(2.5, 25), (6.5, 13.5), (29, 13.5), (26, 25)]
    L.polygon(flap, (22, 74, 160))
    L.gradient("polygon", [(3.8, 24), (7.3, 14.5), (27.7, 14.5), (25.2, 24)],
               [(0, (112, 176, 246)), (1, (46, 112, 214))])
    return _on(GROUP_BG, L)


def unknown():
    L = Layer(SIZE)
    L.ellipse((5, 5, 25, 25), fill=(20, 70, 160))
    L.gradient("ellipse", (6, 6, 24, 24), [(0, (96, 164, 244)), (1, (28, 92, 196))])
    L.ellipse((8.5, 6.8, 21.5, 14.5), fill=(255, 255, 255, 46))
    L.text((15.1, 15.6), "?", 15.5, WHITE, bold=True, anchor="mm", family="round")
    return _on(GROUP_BG, L)


# Container order: (name, file name, picture maker).
PICTURES = [
    ("ListBoxItem_BG.bmp", lambda: tile(GROUP_BG)),
    ("ListBoxItem_SUBBG.bmp", lambda: tile(ENTRY_BG)),
    ("idxs.1", lambda: check_box(False)),
    ("idxs.2", lambda: check_box(True)),
    ("ListBoxItem_WP.bmp", lambda: heading("problems")),
    ("ListBoxItem_VE.bmp", lambda: heading("valid")),
    ("ListBoxItem_RAA.bmp", lambda: heading("application")),
    ("ListBoxItem_FileTypeG.bmp", folder),
    ("idxs.4", lambda: status("broken")),
    ("idxs.3", lambda: status("works")),
    ("idxs.0", lambda: status("application")),
    ("ListBoxItem_FileTypeU.bmp", unknown),
]


def file_name(name):
    return name if name.lower().endswith(".bmp") else name + ".bmp"
