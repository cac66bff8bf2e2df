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


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def row_pictures(out):
    folder = os.path.join(out, "pictures")
    for name, make in rows.PICTURES:
        write(os.path.join(folder, rows.file_name(name)), formats.bmp24(make(), trailing=2))
    write(os.path.join(folder, "order.txt"), "".join(n + "\n" for n, _ in rows.PICTURES).encode())


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    out = argv[1] if len(argv) > 1 else os.path.join(here, "..", "..", "resources")
    out = os.path.normpath(out)
    row_pictures(out)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
