"""The window skin: background, the five page pictures and the bitmap buttons.

Every button is drawn over the very part of the background or page it covers, so an opaque
button rectangle blends into what lies around it.
"""
from PIL import Image, ImageDraw

import emblem
from canvas import (Layer, font, vgradient, shadow, avoid_key_colours,
                    NAVY, DEEP_BLUE, ROYAL, BRIGHT, WHITE, INK, GREY_TEXT, OLIVE, SKY_BLUE)

WINDOW = (740, 530)
CORNER_RADIUS = 15          # gives 36 fully transparent pixels per corner
TITLE_H = 59
NAV_W = 165
PAGE_RECT = (165, 59, 565, 463)
PAGE = (565, 463)
CARD_RADIUS = 7

CHROME_TOP = (24, 82, 178)
CHROME_BOTTOM = (10, 42, 104)
BORDER = (6, 26, 66)
FRAME = (188, 206, 232)
HEADLINE = (16, 58, 138)

# Placement of every button on its picture: (name, size, surface, position on that surface).
BUTTONS = {
    "StartScan": ((234, 56), "start", (175, 384)),
    "FixNow": ((234, 56), "report", (307, 400)),
    "Download": ((234, 57), "report", (307, 400)),
    "Cancel": ((110, 31), "report", (10, 413)),
    "Back": ((109, 30), "lookup", (447, 424)),
    "PageScan": ((158, 47), "window", (-1, 80)),
    "PageHelp": ((158, 47), "window", (-1, 126)),
    "PageAbout": ((158, 47), "window", (-1, 173)),
    "Min": ((15, 15), "window", (691, 4)),
    "Close": ((15, 15), "window", (712, 3)),
}


# ---------------------------------------------------------------- text helpers

def draw_text(im, xy, s, px, fill, bold=False, anchor="la"):
    ImageDraw.Draw(im).text(xy, s, font=font(px, bold), fill=fill, anchor=anchor)


def wrap(s, px, width, bold=False):
    f = font(px, bold)
    lines, cur = [], ""
    for word in s.split():
        trial = (cur + " " + word).strip()
        if f.getlength(trial) <= width or not cur:
            cur = trial
        else:
            lines.append(cur)
            cur = word
    if cur:
        lines.append(cur)
    return lines


def paragraph(im, x, y, s, px, fill, width, leading=1.45, bold=False):
    """Word-wrapped text; returns the y below the last line."""
    for line in wrap(s, px, width, bold):
        draw_text(im, (x, y), line, px, fill, bold)
        y += px * leading
    return y


# ---------------------------------------------------------------- background

def _corner_alpha(size, radius):
    k = 8
    m = Image.new("L", (size[0] * k, size[1] * k), 0)
    ImageDraw.Draw(m).rounded_rectangle([0, 0, size[0] * k - 1, size[1] * k - 1], radius=radius * k, fill=255)
    return m.resize(size, Image.BOX)


def background():
    w, h = WINDOW
    im = vgradient(WINDOW, [(0, CHROME_TOP), (1, CHROME_BOTTOM)])
    # Title band: darker, with a soft sheen in its upper half and a bright rule below it.
    im.paste(vgradient((w, TITLE_H), [(0, (12, 40, 98)), (1, (20, 66, 152))]), (0, 0))
    im.alpha_composite(vgradient((w, TITLE_H // 2), [(0, (255, 255, 255, 34)), (1, (255, 255, 255, 6))]), (0, 0))
    ImageDraw.Draw(im).line([(0, TITLE_H - 1), (w, TITLE_H - 1)], fill=(70, 140, 232))
    # Navigation column: a faint lighter strip to the page's left edge.
    im.alpha_composite(vgradient((NAV_W, h - TITLE_H), [(0, (255, 255, 255, 18)), (1, (255, 255, 255, 0))]),
                       (0, TITLE_H))
    # Emblem and product name.
    logo = emblem.icon(40)
    im.alpha_composite(logo, (16, 9))
    draw_text(im, (66, 8), "Quelvo", 27, WHITE, bold=True)
    draw_text(im, (68, 39), "File association checker and repair", 11.5, (172, 204, 246))
    # A large, faint emblem at the foot of the navigation column.
    mark = Layer((120, 111), 4)
    emblem.scene(mark, 0, 0, 1.5, 0.1)
    faint = mark.image()
    faint.putalpha(faint.getchannel("A").point(lambda a: a * 11 // 100))
    im.alpha_composite(faint, (22, 360))
    draw_text(im, (82, 500), "Scan  \u2022  Review  \u2022  Repair", 10.5, (130, 164, 214), anchor="ma")
    # A shadow line where the page card meets the chrome on its right and bottom.
    x0, y0, pw, ph = PAGE_RECT
    im.alpha_composite(shadow(WINDOW, (x0, y0, x0 + pw, y0 + ph), CARD_RADIUS, 3, 110, (1, 2)))
    # Outline along the window's rounded edge.
    edge = Layer(WINDOW, 4)
    edge.rect((0, 0, w, h), outline=BORDER, width=1, radius=CORNER_RADIUS)
    im.alpha_composite(edge.image())
    im.putalpha(Image.composite(im.getchannel("A"), Image.new("L", WINDOW, 0), _corner_alpha(WINDOW, CORNER_RADIUS)))
    return avoid_key_colours(im)


def page_base(bg, fill_stops):
    """The page rectangle cut from the background with a rounded card drawn over it."""
    x, y, w, h = PAGE_RECT
    im = bg.crop((x, y, x + w, y + h)).convert("RGBA")
    im.putalpha(255)
    card = Layer(PAGE, 4)
    card.gradient("rect", (0, 0, w, h), fill_stops, radius=CARD_RADIUS)
    im.alpha_composite(card.image())
    return im


def _panel(im, box, radius, stops, border=None, glow=False):
    L = Layer(im.size, 4)
    if border:
        L.rect(box, fill=border, radius=radius)
        x0, y0, x1, y1 = box
        L.gradient("rect", (x0 + 1, y0 + 1, x1 - 1, y1 - 1), stops, radius=radius - 1)
    else:
        L.gradient("rect", box, stops, radius=radius)
    if glow:
        x0, y0, x1, y1 = box
        L.gradient("rect", (x0 + 2, y0 + 2, x1 - 2, y0 + (y1 - y0) * 0.45),
                   [(0, (255, 255, 255, 40)), (1, (255, 255, 255, 0))], radius=radius - 2)
    im.alpha_composite(L.image())


def _dark_panel(im, box):
    im.alpha_composite(shadow(im.size, box, 9, 4, 90, (0, 3), NAVY))
    _panel(im, box, 9, [(0, (22, 70, 156)), (1, (10, 38, 94))], border=(8, 30, 80), glow=True)


def _frame(im, box, radius=3):
    """A thin frame with a soft shadow around a rectangle that a control will cover."""
    x0, y0, x1, y1 = box
    im.alpha_composite(shadow(im.size, (x0 - 1, y0 - 1, x1 + 1, y1 + 1), radius, 3, 60, (0, 2), NAVY))
    _panel(im, (x0 - 1, y0 - 1, x1 + 1, y1 + 1), radius, [(0, FRAME), (1, FRAME)])
    ImageDraw.Draw(im).rectangle([x0, y0, x1 - 1, y1 - 1], fill=WHITE)


LIGHT_CARD = [(0, (246, 250, 255)), (1, (233, 241, 251))]


def start_page(bg):
    im = page_base(bg, LIGHT_CARD)
    # Hero band with the emblem.
    _panel(im, (14, 14, 551, 212), 8, [(0, WHITE), (1, (238, 245, 253))], border=(214, 226, 244))
    art = Layer((190, 176), 4)
    emblem.scene(art, 8, 4, 2.2, 0.12)
    emblem.badge_tick(art, 150, 140, 17)
    im.alpha_composite(art.image(), (360, 24))
    draw_text(im, (32, 30), "Check your file associations", 22, HEADLINE, bold=True)
    y = paragraph(im, 32, 66, "Quelvo looks at every file extension registered on this computer and "
                  "follows it to the program that opens it. It finds extensions whose registration "
                  "is broken and extensions whose program is missing.", 12.5, INK, 325)
    steps = [("1", "Scan"), ("2", "Review"), ("3", "Repair")]
    sx = 32
    for num, word in steps:
        chip = Layer(im.size, 4)
        chip.ellipse((sx, y + 8, sx + 22, y + 30), fill=ROYAL)
        im.alpha_composite(chip.image())
        draw_text(im, (sx + 11, y + 19), num, 12, WHITE, bold=True, anchor="mm")
        draw_text(im, (sx + 28, y + 19), word, 13, HEADLINE, bold=True, anchor="lm")
        sx += 28 + font(13, True).getlength(word) + 26
    # Panel behind the search instructions and the extension box.
    _panel(im, (20, 222, 545, 300), 7, [(0, (228, 238, 251)), (1, (218, 231, 249))], border=(196, 214, 240))
    _frame(im, (32, 267, 32 + 505, 267 + 21), radius=2)
    # A quiet rule above the ready line and the button.
    ImageDraw.Draw(im).line([(60, 326), (505, 326)], fill=(208, 222, 242))
    return avoid_key_colours(im).convert("RGB")


SCAN_LABEL_TOPS = (140, 175, 211, 248, 283, 320, 356, 390)


def scanning_page(bg):
    im = page_base(bg, LIGHT_CARD)
    _dark_panel(im, (109, 12, 109 + 451, 12 + 89))
    # The animation's tile: flat white where the picture goes, so its edges match.
    _panel(im, (12, 14, 108, 108), 9, [(0, WHITE), (1, WHITE)], border=(200, 216, 240))
    # The list of extensions passing by.
    _panel(im, (32, 114, 533, 428), 8, [(0, WHITE), (1, (250, 252, 255))], border=(200, 216, 240))
    draw_text(im, (46, 120), "EXTENSIONS BEING CHECKED", 9.5, (110, 132, 168), bold=True)
    for i, top in enumerate(SCAN_LABEL_TOPS):
        row = (40, top - 5, 525, top + 20)
        fill = (238, 245, 254) if i % 2 == 0 else (246, 249, 254)
        _panel(im, row, 5, [(0, fill), (1, fill)])
        icon = Layer((14, 16), 8)
        emblem.document(icon, 1, 0.5, 11, 14.5, lines=False, fold=3.5)
        im.alpha_composite(icon.image(), (45, top - 2))
    draw_text(im, (282, 438), "Scanning only reads the registry. Nothing changes until you click Fix Now.",
              11, GREY_TEXT, anchor="ma")
    return avoid_key_colours(im).convert("RGB")


def _headline_panel(im, box):
    # The headline is bold yellow over text in the label's own colour, black: a mid blue
    # keeps both readable (yellow at 3.6:1 or more, black at 4.6:1 or more).
    im.alpha_composite(shadow(im.size, box, 9, 4, 80, (0, 3), NAVY))
    _panel(im, box, 9, [(0, (72, 132, 210)), (1, (58, 116, 196))], border=(34, 82, 164))


def report_page(bg):
    im = page_base(bg, LIGHT_CARD)
    _headline_panel(im, (106, 14, 106 + 439, 14 + 84))
    art = Layer((88, 84), 4)
    emblem.scene(art, 2, 4, 1.0, 0.12)
    im.alpha_composite(art.image(), (12, 14))
    _frame(im, (10, 108, 10 + 544, 108 + 286))
    return avoid_key_colours(im).convert("RGB")


def lookup_page(bg):
    im = page_base(bg, LIGHT_CARD)
    _frame(im, (8, 11, 8 + 548, 11 + 401))
    draw_text(im, (14, 431), "Programs that open the extensions you ticked", 11.5, GREY_TEXT)
    return avoid_key_colours(im).convert("RGB")


def about_page(bg):
    im = page_base(bg, [(0, WHITE), (1, WHITE)])
    logo = emblem.icon(56)
    im.alpha_composite(logo, (46, 16))
    draw_text(im, (116, 20), "About Quelvo", 24, HEADLINE, bold=True)
    draw_text(im, (117, 52), "Checks and repairs file-extension associations", 12.5, GREY_TEXT)
    d = ImageDraw.Draw(im)
    d.line([(48, 80), (517, 80)], fill=(214, 226, 244))
    _panel(im, (40, 160, 525, 262), 8, [(0, (244, 248, 254)), (1, (236, 243, 252))], border=(214, 226, 244))
    y = 172
    for head, text in (("Scan", "reads every extension of the machine-wide registry branch."),
                       ("Review", "groups the results: registry problems, missing programs, valid."),
                       ("Repair", "deletes broken extension keys and finds programs for the rest.")):
        draw_text(im, (58, y), head, 12.5, HEADLINE, bold=True)
        draw_text(im, (126, y), text, 12, INK)
        y += 28
    d.line([(48, 270), (517, 270)], fill=(214, 226, 244))
    mark = Layer((160, 148), 4)
    emblem.scene(mark, 0, 0, 2.0, 0.1)
    faint = mark.image()
    faint.putalpha(faint.getchannel("A").point(lambda a: a * 12 // 100))
    im.alpha_composite(faint, (370, 282))
    draw_text(im, (282, 436), "Help opens the manual; every repair is listed in the report.",
              11, GREY_TEXT, anchor="ma")
    return avoid_key_colours(im).convert("RGB")


# ---------------------------------------------------------------- buttons

def _under(surfaces, name):
    size, surface, (x, y) = BUTTONS[name]
    src = surfaces[surface].convert("RGBA")
    w, h = size
    im = Image.new("RGBA", size)
    # x = -1 reaches one column past the left edge: repeat the first column there.
    for dx in range(w):
        sx = min(max(x + dx, 0), src.width - 1)
        im.paste(src.crop((sx, y, sx + 1, y + h)), (dx, 0))
    return im


def _finish(im):
    im = avoid_key_colours(im.convert("RGB"), (SKY_BLUE, OLIVE))
    return im


def _glyph(L, kind, cx, cy, s, colour):
    """Small white pictograms for the buttons, centred on (cx, cy), s is the half size."""
    if kind == "scan":
        L.ellipse((cx - s * 0.85, cy - s * 0.85, cx + s * 0.45, cy + s * 0.45), outline=colour, width=s * 0.3)
        L.line([(cx + s * 0.28, cy + s * 0.28), (cx + s * 0.9, cy + s * 0.9)], colour, s * 0.34)
    elif kind == "fix":
        L.line([(cx - s * 0.75, cy + s * 0.75), (cx + s * 0.12, cy - s * 0.12)], colour, s * 0.36)
        L.ellipse((cx - s * 0.1, cy - s * 0.95, cx + s * 0.95, cy + s * 0.1), fill=colour)
        L.erase("polygon", [(cx + s * 0.22, cy - s * 0.28), (cx + s * 0.62, cy - s * 1.1),
                            (cx + s * 1.2, cy - s * 0.6), (cx + s * 0.32, cy - s * 0.18)])
    elif kind == "download":
        L.line([(cx, cy - s * 0.9), (cx, cy + s * 0.25)], colour, s * 0.32)
        L.polygon([(cx - s * 0.55, cy - s * 0.05), (cx + s * 0.55, cy - s * 0.05), (cx, cy + s * 0.55)], colour)
        L.rect((cx - s * 0.85, cy + s * 0.72, cx + s * 0.85, cy + s * 0.98), fill=colour)
    elif kind == "help":
        L.ellipse((cx - s, cy - s, cx + s, cy + s), outline=colour, width=s * 0.2)
        L.text((cx, cy + s * 0.06), "?", s * 1.45, colour, bold=True, anchor="mm", family="round")
    elif kind == "about":
        L.ellipse((cx - s, cy - s, cx + s, cy + s), outline=colour, width=s * 0.2)
        L.rect((cx - s * 0.14, cy - s * 0.2, cx + s * 0.14, cy + s * 0.55), fill=colour)
        L.rect((cx - s * 0.15, cy - s * 0.58, cx + s * 0.15, cy - s * 0.32), fill=colour)
    elif kind == "back":
        L.line([(cx + s * 0.6, cy), (cx - s * 0.6, cy)], colour, s * 0.3)
        L.line([(cx - s * 0.05, cy - s * 0.6), (cx - s * 0.65, cy), (cx - s * 0.05, cy + s * 0.6)], colour, s * 0.3)
    elif kind == "cancel":
        L.line([(cx - s * 0.5, cy - s * 0.5), (cx + s * 0.5, cy + s * 0.5)], colour, s * 0.3)
        L.line([(cx + s * 0.5, cy - s * 0.5), (cx - s * 0.5, cy + s * 0.5)], colour, s * 0.3)


def _draw_glyph(im, kind, cx, cy, s, colour):
    g = Layer(im.size, 4)
    _glyph(g, kind, cx, cy, s, colour)
    im.alpha_composite(g.image())


def primary(surfaces, name, word, glyph, hot):
    im = _under(surfaces, name)
    w, h = im.size
    box = (5, 4, w - 5, h - 7)
    im.alpha_composite(shadow(im.size, box, 12, 2.5, 110 if hot else 80, (0, 2), NAVY))
    L = Layer(im.size, 4)
    top, bottom = ((84, 166, 250), (26, 98, 214)) if hot else ((52, 134, 236), (16, 70, 176))
    L.rect(box, fill=(10, 50, 140), radius=12)
    L.gradient("rect", (box[0] + 1, box[1] + 1, box[2] - 1, box[3] - 1), [(0, top), (1, bottom)], radius=11)
    L.gradient("rect", (box[0] + 2, box[1] + 2, box[2] - 2, box[1] + (box[3] - box[1]) * 0.48),
               [(0, (255, 255, 255, 90 if hot else 70)), (1, (255, 255, 255, 14))], radius=10)
    cy = (box[1] + box[3]) / 2
    L.ellipse((box[0] + 10, cy - 15, box[0] + 40, cy + 15), fill=(255, 255, 255, 46))
    im.alpha_composite(L.image())
    _draw_glyph(im, glyph, box[0] + 25, cy, 8.5, WHITE)
    draw_text(im, ((box[0] + 44 + box[2]) / 2 + 2, cy + 1), word, 19, (8, 36, 100, 110), bold=True, anchor="mm")
    draw_text(im, ((box[0] + 44 + box[2]) / 2 + 1, cy), word, 19, WHITE, bold=True, anchor="mm")
    return _finish(im)


def secondary(surfaces, name, word, glyph, hot):
    im = _under(surfaces, name)
    w, h = im.size
    box = (1, 1, w - 1, h - 2)
    im.alpha_composite(shadow(im.size, box, 6, 1.2, 60, (0, 1), NAVY))
    L = Layer(im.size, 4)
    L.rect(box, fill=BRIGHT if hot else (150, 178, 220), radius=6)
    stops = [(0, (226, 240, 255)), (1, (188, 216, 250))] if hot else [(0, WHITE), (1, (228, 236, 248))]
    L.gradient("rect", (box[0] + 1, box[1] + 1, box[2] - 1, box[3] - 1), stops, radius=5)
    tw = font(13, True).getlength(word)
    gx = (w - tw - 18) / 2 + 6
    im.alpha_composite(L.image())
    _draw_glyph(im, glyph, gx, (box[1] + box[3]) / 2, 5.5, ROYAL if hot else DEEP_BLUE)
    draw_text(im, (gx + 11, (box[1] + box[3]) / 2), word, 13, ROYAL if hot else HEADLINE, bold=True, anchor="lm")
    return _finish(im)


def navigation(surfaces, name, word, glyph, hot):
    im = _under(surfaces, name)
    w, h = im.size
    L = Layer(im.size, 4)
    if hot:
        im.alpha_composite(shadow(im.size, (0, 4, w - 4, h - 4), 9, 2.5, 90, (0, 2), NAVY))
        L.rect((-10, 4, w - 4, h - 4), fill=(255, 255, 255, 255), radius=9)
        L.gradient("rect", (-10, 5, w - 5, h - 5), [(0, WHITE), (1, (224, 236, 252))], radius=8)
        L.rect((1, 10, 5, h - 10), fill=BRIGHT, radius=2)
        colour = DEEP_BLUE
    else:
        L.rect((14, h - 2, w - 14, h - 1), fill=(255, 255, 255, 26))
        colour = WHITE
    im.alpha_composite(L.image())
    _draw_glyph(im, glyph, 31, h / 2, 8.5, colour)
    draw_text(im, (52, h / 2), word, 16, colour, bold=True, anchor="lm")
    if hot:
        arrow = Layer(im.size, 4)
        arrow.line([(w - 22, h / 2 - 5), (w - 17, h / 2), (w - 22, h / 2 + 5)], BRIGHT, 2)
        im.alpha_composite(arrow.image())
    return _finish(im)


def caption(surfaces, name, hot):
    im = _under(surfaces, name)
    L = Layer(im.size, 8)
    if hot:
        L.rect((0, 0, 15, 15), fill=(214, 58, 46) if name == "Close" else (64, 140, 236), radius=3)
    else:
        L.rect((0, 0, 15, 15), fill=(255, 255, 255, 34), radius=3)
    if name == "Close":
        L.line([(4.5, 4.5), (10.5, 10.5)], WHITE, 1.6)
        L.line([(10.5, 4.5), (4.5, 10.5)], WHITE, 1.6)
    else:
        L.rect((4, 10, 11, 12), fill=WHITE)
    im.alpha_composite(L.image())
    return _finish(im)


LABELS = {
    "StartScan": ("Start Scan", "scan", primary),
    "FixNow": ("Fix Now", "fix", primary),
    "Download": ("Download", "download", primary),
    "Cancel": ("Cancel", "cancel", secondary),
    "Back": ("Back", "back", secondary),
    "PageScan": ("Scan", "scan", navigation),
    "PageHelp": ("Help", "help", navigation),
    "PageAbout": ("About", "about", navigation),
}


def buttons(surfaces):
    """{file stem: picture} for every button: <name>_Up and <name>_Hot."""
    out = {}
    for name in BUTTONS:
        for state, hot in (("Up", False), ("Hot", True)):
            if name in LABELS:
                word, glyph, make = LABELS[name]
                pic = make(surfaces, name, word, glyph, hot)
            else:
                pic = caption(surfaces, name, hot)
            assert pic.size == BUTTONS[name][0]
            out["Bn_%s_%s" % (name, state)] = pic
    return out


def surfaces():
    bg = background()
    return {
        "window": bg,
        "start": start_page(bg),
        "scanning": scanning_page(bg),
        "report": report_page(bg),
        "lookup": lookup_page(bg),
        "about": about_page(bg),
    }
