#!/usr/bin/env python3
"""Redraws every picture of the window and the report rows into resources/.

    python3 tools/artwork/generate.py [output folder]

Needs Pillow (Debian: python3-pil) and the Liberation fonts (fonts-liberation).
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import formats  # noqa: E402
import rows  # noqa: E402
import emblem  # noqa: E402
import skin  # noqa: E402
from canvas import Layer, WHITE  # noqa: E402


HICOLOR_SIZES = (16, 24, 32, 48, 64, 128)


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def row_pictures(out):
    folder = os.path.join(out, "pictures")
    for name, make in rows.PICTURES:
        write(os.path.join(folder, rows.file_name(name)), formats.bmp24(make(), trailing=2))
    write(os.path.join(folder, "order.txt"), "".join(n + "\n" for n, _ in rows.PICTURES).encode())


def window_art(out):
    surf = skin.surfaces()
    surf["window"].save(os.path.join(out, "background.png"), optimize=True)
    for key, name in (("start", "page_start.png"), ("scanning", "page_scanning.png"),
                      ("report", "page_report.png"), ("lookup", "page_lookup.png"),
                      ("about", "page_about.png")):
        surf[key].save(os.path.join(out, name), optimize=True)
    for stem, pic in skin.buttons(surf).items():
        write(os.path.join(out, "buttons", stem + ".bmp"), formats.bmp24(pic))


def scanning_animation(out):
    frames = []
    for i in range(14):
        L = Layer((80, 74), 4)
        emblem.scene(L, 0, 0, 1.0, i / 14.0)
        frames.append(L.image())
    formats.save_gif(os.path.join(out, "scanning.gif"), frames, 5, WHITE)


def application_icon(out):
    write(os.path.join(out, "quelvo.ico"), formats.ico32([emblem.icon(s) for s in (48, 32, 24, 16)]))
    emblem.icon(256).save(os.path.join(out, "quelvo.png"), optimize=True)
    # The menu entry's icon theme sizes; 256 is quelvo.png itself.
    for size in HICOLOR_SIZES:
        folder = os.path.join(out, "icons", "hicolor", "%dx%d" % (size, size), "apps")
        os.makedirs(folder, exist_ok=True)
        emblem.icon(size).save(os.path.join(folder, "quelvo.png"), optimize=True)


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    out = argv[1] if len(argv) > 1 else os.path.join(here, "..", "..", "resources")
    out = os.path.normpath(out)
    row_pictures(out)
    window_art(out)
    scanning_animation(out)
    application_icon(out)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
