#!/usr/bin/env python3
"""Composes full-window previews of the skin, one per page, for checking the look by eye.

    python3 tools/artwork/preview.py [output folder]   (default: /tmp/quelvo-preview)

Sky blue around the corners is the window's colour key: it will be see-through on screen.
"""
import os
import sys

from PIL import Image, ImageDraw

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from canvas import font, SKY_BLUE  # noqa: E402

RES = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "resources"))
PAGE_AT = (165, 59)

# Page, buttons on the page (name, state, x, y), sample labels (x, y, text, px, bold, colour).
PAGES = {
    "start": ("page_start.png", [("StartScan", "Up", 175, 384)], [
        (136, 344, "When you are ready, click the Start Scan button", 13, True, (0, 0, 0)),
        (32, 231, "You can search for a specific file extension or leave the box blank to search all", 12, False,
         (0, 0, 0)),
        (32, 245, "file extensions.", 12, False, (0, 0, 0)),
    ]),
    "scanning": ("page_scanning.png", [], [
        (117, 33, "Status:", 11, True, (255, 255, 255)),
        (117, 55, "Scannning:", 11, True, (255, 255, 255)),
        (117, 76, "Scanned Count:", 11, True, (255, 255, 255)),
        (228, 33, "Analyzing computer registry for file extension problems...", 11, True, (255, 255, 255)),
        (228, 55, ".psc1", 11, True, (255, 255, 255)),
        (228, 76, "268", 11, True, (255, 255, 255)),
    ] + [(63, t, ext, 11, False, (0, 0, 0)) for t, ext in zip(
        (140, 175, 211, 248, 283, 320, 356, 390),
        (".3g2", ".3gp", ".aac", ".ac3", ".accdb", ".ai", ".aif", ".psc1"))]),
    "report": ("page_report.png", [("FixNow", "Up", 307, 400), ("Cancel", "Up", 10, 413)], [
        (112, 26, "12 Problem(s) Detected", 21, True, (255, 255, 0)),
        (112, 52, "It is highly recommended to fix these detected problems below.Click the Fix Now", 12, False,
         (0, 0, 0)),
        (112, 66, "buton to continue.", 12, False, (0, 0, 0)),
    ]),
    "lookup": ("page_lookup.png", [("Back", "Up", 447, 424)], []),
    "about": ("page_about.png", [], [
        (48, 90, "Quelvo", 11, True, (0, 0, 0)),
        (48, 104, "A file association checker.", 11, True, (0, 0, 0)),
        (48, 132, "www.quelvo.example", 11, False, (0, 0, 255)),
        (57, 281, "Product version:  1.0.0.14", 11, False, (0, 0, 0)),
    ]),
}
NAV = [("PageScan", -1, 80), ("PageHelp", -1, 126), ("PageAbout", -1, 173)]


def button(name, state):
    return Image.open(os.path.join(RES, "buttons", "Bn_%s_%s.bmp" % (name, state))).convert("RGBA")


def compose(page, current="PageScan", hover=None):
    pic, btns, labels = PAGES[page]
    win = Image.new("RGBA", (740, 530), SKY_BLUE + (255,))
    win.alpha_composite(Image.open(os.path.join(RES, "background.png")).convert("RGBA"))
    win.alpha_composite(Image.open(os.path.join(RES, pic)).convert("RGBA"), PAGE_AT)
    for name, x, y in NAV:
        state = "Hot" if name in (current, hover) else "Up"
        b = button(name, state)
        win.alpha_composite(b.crop((1, 0, b.width, b.height)) if x < 0 else b, (max(x, 0), y))
    win.alpha_composite(button("Min", "Up"), (691, 4))
    win.alpha_composite(button("Close", "Hot" if hover == "Close" else "Up"), (712, 3))
    for name, state, x, y in btns:
        win.alpha_composite(button(name, "Hot" if hover == name else state), (PAGE_AT[0] + x, PAGE_AT[1] + y))
    d = ImageDraw.Draw(win)
    for x, y, text, px, bold, colour in labels:
        d.text((PAGE_AT[0] + x, PAGE_AT[1] + y), text, font=font(px, bold), fill=colour)
    if page == "start":
        d.rectangle([PAGE_AT[0] + 32, PAGE_AT[1] + 267, PAGE_AT[0] + 536, PAGE_AT[1] + 287],
                    fill=(255, 255, 255), outline=(160, 160, 160))
    if page == "scanning":
        gif = Image.open(os.path.join(RES, "scanning.gif"))
        gif.seek(3)
        win.alpha_composite(gif.convert("RGBA"), (PAGE_AT[0] + 20, PAGE_AT[1] + 25))
    return win


def main(argv):
    out = argv[1] if len(argv) > 1 else "/tmp/quelvo-preview"
    os.makedirs(out, exist_ok=True)
    for page in PAGES:
        current = "PageAbout" if page == "about" else "PageScan"
        compose(page, current).save(os.path.join(out, page + ".png"))
    compose("report", hover="FixNow").save(os.path.join(out, "report_hot.png"))
    compose("start", hover="PageHelp").save(os.path.join(out, "start_help_hot.png"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
