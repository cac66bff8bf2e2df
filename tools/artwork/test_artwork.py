"""Checks every generated picture against the formats and sizes the window relies on.

Headers are parsed here byte by byte, independently of the generator; pixel checks use
Pillow and are skipped where it is not installed.

    python3 -m unittest -v test_artwork          (from tools/artwork)
    QUELVO_RESOURCES=<folder> to check another output folder
"""
import os
import struct
import unittest

try:
    from PIL import Image
except ImportError:  # pragma: no cover - the header checks still run
    Image = None

RES = os.environ.get("QUELVO_RESOURCES") or os.path.normpath(
    os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "resources"))

SKY_BLUE = (166, 202, 240)
OLIVE = (128, 128, 0)

ROW_ORDER = ["ListBoxItem_BG.bmp", "ListBoxItem_SUBBG.bmp", "idxs.1", "idxs.2", "ListBoxItem_WP.bmp",
             "ListBoxItem_VE.bmp", "ListBoxItem_RAA.bmp", "ListBoxItem_FileTypeG.bmp", "idxs.4", "idxs.3",
             "idxs.0", "ListBoxItem_FileTypeU.bmp"]
GROUP, ENTRY, HEAD = (0xD6, 0xE7, 0xF9), (0xE4, 0xEE, 0xF9), (255, 255, 255)
ROW_BACKGROUND = dict(zip(ROW_ORDER, [GROUP, ENTRY, ENTRY, ENTRY, HEAD, HEAD, HEAD, GROUP, ENTRY, ENTRY,
                                      ENTRY, GROUP]))

BUTTONS = {"StartScan": (234, 56), "FixNow": (234, 56), "Download": (234, 57), "Cancel": (110, 31),
           "Back": (109, 30), "PageScan": (158, 47), "PageHelp": (158, 47), "PageAbout": (158, 47),
           "Min": (15, 15), "Close": (15, 15)}
PAGES = ["page_start.png", "page_scanning.png", "page_report.png", "page_lookup.png", "page_about.png"]


def path(*parts):
    return os.path.join(RES, *parts)


def read(*parts):
    with open(path(*parts), "rb") as f:
        return f.read()


def row_file(name):
    return name if name.lower().endswith(".bmp") else name + ".bmp"


class Bmp:
    """A parsed uncompressed 24-bit BMP."""

    def __init__(self, data):
        self.data = data
        (self.magic, self.file_size, _, _, self.offset) = struct.unpack_from("<2sIHHI", data, 0)
        (self.info_size, self.width, self.height, self.planes, self.bits, self.compression,
         self.image_size) = struct.unpack_from("<IiiHHII", data, 14)
        self.stride = (self.width * 3 + 3) & ~3

    def pixel(self, x, y):
        """RGB at (x, y), y counted from the top."""
        row = self.height - 1 - y
        i = self.offset + row * self.stride + x * 3
        b, g, r = self.data[i:i + 3]
        return r, g, b

    def pixels(self):
        for y in range(self.height):
            for x in range(self.width):
                yield self.pixel(x, y)


def png_header(data):
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    length, kind = struct.unpack_from(">I4s", data, 8)
    assert kind == b"IHDR"
    w, h, depth, colour = struct.unpack_from(">IIBB", data, 16)
    return w, h, depth, colour


def needs_pillow(test):
    return unittest.skipIf(Image is None, "Pillow (python3-pil) is not installed")(test)


class RowPictures(unittest.TestCase):
    def test_shouldListTheTwelvePicturesInContainerOrder(self):
        names = read("pictures", "order.txt").decode("ascii").splitlines()
        self.assertEqual(names, ROW_ORDER)

    def test_shouldStoreEachPictureAsThe2816ByteBitmapTheListExpects(self):
        for name in ROW_ORDER:
            with self.subTest(name=name):
                data = read("pictures", row_file(name))
                self.assertEqual(len(data), 2816)
                bmp = Bmp(data)
                self.assertEqual(bmp.magic, b"BM")
                self.assertEqual(bmp.file_size, 2816)
                self.assertEqual(bmp.offset, 54)
                self.assertEqual(bmp.info_size, 40)
                self.assertEqual((bmp.width, bmp.height), (30, 30), "bottom-up rows need a positive height")
                self.assertEqual((bmp.planes, bmp.bits, bmp.compression), (1, 24, 0))
                self.assertEqual(bmp.stride, 92)
                self.assertEqual(data[-2:], b"\0\0")
                for row in range(30):
                    pad = data[54 + row * 92 + 90: 54 + row * 92 + 92]
                    self.assertEqual(pad, b"\0\0", "row %d padding" % row)

    def test_shouldPaintEveryPictureOnTheBackgroundOfItsRow(self):
        # The corners are background in every picture; a wrong colour shows as a box in the row.
        for name in ROW_ORDER:
            with self.subTest(name=name):
                bmp = Bmp(read("pictures", row_file(name)))
                bg = ROW_BACKGROUND[name]
                self.assertEqual(bmp.pixel(0, 0), bg)
                self.assertEqual(bmp.pixel(29, 0), bg)
                self.assertEqual(bmp.pixel(0, 28), bg)

    def test_shouldGiveTheTwoTilesAWhiteBottomRowAndNothingElse(self):
        for name in ROW_ORDER[:2]:
            with self.subTest(name=name):
                bmp = Bmp(read("pictures", row_file(name)))
                bg = ROW_BACKGROUND[name]
                for y in range(30):
                    expected = (255, 255, 255) if y == 29 else bg
                    self.assertEqual({bmp.pixel(x, y) for x in range(30)}, {expected}, "row %d" % y)

    def test_shouldDrawSomethingOnEveryPictureButTheTiles(self):
        pictures = {}
        for name in ROW_ORDER[2:]:
            bmp = Bmp(read("pictures", row_file(name)))
            drawn = [p for p in bmp.pixels() if p != ROW_BACKGROUND[name]]
            with self.subTest(name=name):
                self.assertGreater(len(drawn), 60)
            pictures[name] = bytes(bmp.data[54:])
        self.assertEqual(len(set(pictures.values())), len(pictures), "two pictures are identical")

    def test_shouldCentreTheCheckBoxesAndDifferOnlyByTheTick(self):
        empty = Bmp(read("pictures", "idxs.1.bmp"))
        ticked = Bmp(read("pictures", "idxs.2.bmp"))
        inside = [(x, y) for y in range(30) for x in range(30) if empty.pixel(x, y) != ENTRY]
        xs = [x for x, _ in inside]
        ys = [y for _, y in inside]
        width, height = max(xs) - min(xs) + 1, max(ys) - min(ys) + 1
        self.assertIn(width, range(15, 19))
        self.assertIn(height, range(15, 19))
        self.assertLessEqual(abs((min(xs) + max(xs)) / 2 - 14.5), 1)
        self.assertLessEqual(abs((min(ys) + max(ys)) / 2 - 14.5), 1.5)
        self.assertGreater(min(empty.pixel(15, 15)), 225, "the box should be white inside")
        outside = [(x, y) for y in range(30) for x in range(30) if (x, y) not in set(inside)]
        self.assertTrue(all(ticked.pixel(x, y) == ENTRY for x, y in outside))
        blue = [ticked.pixel(x, y) for x, y in inside if ticked.pixel(x, y) != empty.pixel(x, y)]
        self.assertTrue(any(b > r + 80 for r, _, b in blue), "the tick should be blue")


class Buttons(unittest.TestCase):
    def test_shouldDrawEveryButtonAsA24BitBitmapOfItsSize(self):
        for name, size in BUTTONS.items():
            for state in ("Up", "Hot"):
                with self.subTest(button=name, state=state):
                    data = read("buttons", "Bn_%s_%s.bmp" % (name, state))
                    bmp = Bmp(data)
                    self.assertEqual(bmp.magic, b"BM")
                    self.assertEqual((bmp.width, bmp.height), size)
                    self.assertEqual((bmp.bits, bmp.compression), (24, 0))
                    self.assertEqual(bmp.file_size, len(data))
                    self.assertEqual(len(data), bmp.offset + bmp.stride * bmp.height)

    def test_shouldHaveNoPixelInTheTransparentOrKeyColour(self):
        # Olive pixels would not be drawn, sky-blue ones would be holes in the window.
        for name in BUTTONS:
            for state in ("Up", "Hot"):
                with self.subTest(button=name, state=state):
                    bmp = Bmp(read("buttons", "Bn_%s_%s.bmp" % (name, state)))
                    colours = set(bmp.pixels())
                    self.assertNotIn(OLIVE, colours)
                    self.assertNotIn(SKY_BLUE, colours)

    def test_shouldHighlightEveryButtonVisibly(self):
        for name in BUTTONS:
            with self.subTest(button=name):
                up = Bmp(read("buttons", "Bn_%s_Up.bmp" % name))
                hot = Bmp(read("buttons", "Bn_%s_Hot.bmp" % name))
                changed = sum(1 for a, b in zip(up.pixels(), hot.pixels())
                              if sum(abs(p - q) for p, q in zip(a, b)) > 24)
                self.assertGreater(changed, up.width * up.height // 8)


class Window(unittest.TestCase):
    def test_shouldStoreTheBackgroundAsA740By530PngWithAlpha(self):
        self.assertEqual(png_header(read("background.png")), (740, 530, 8, 6))

    def test_shouldStoreTheFivePagesAt565By463(self):
        for page in PAGES:
            with self.subTest(page=page):
                w, h, depth, _ = png_header(read(page))
                self.assertEqual((w, h, depth), (565, 463, 8))

    @needs_pillow
    def test_shouldRoundTheCornersWithFullyTransparentPixels(self):
        alpha = Image.open(path("background.png")).getchannel("A")
        w, h = alpha.size
        self.assertEqual(alpha.getpixel((w // 2, h // 2)), 255)
        corners = {"top left": (0, 0, 1, 1), "top right": (w - 1, 0, -1, 1),
                   "bottom left": (0, h - 1, 1, -1), "bottom right": (w - 1, h - 1, -1, -1)}
        for where, (x0, y0, dx, dy) in corners.items():
            with self.subTest(corner=where):
                self.assertEqual(alpha.getpixel((x0, y0)), 0)
                block = [alpha.getpixel((x0 + dx * i, y0 + dy * j)) for j in range(24) for i in range(24)]
                clear = block.count(0)
                partial = sum(1 for a in block if 0 < a < 255)
                self.assertIn(clear, range(30, 43))
                self.assertGreater(partial, 8, "the rounded edge should be anti-aliased")
        inside = [alpha.getpixel((x, y)) for x in range(20, w - 20, 7) for y in range(20, h - 20, 7)]
        self.assertEqual(set(inside), {255})
        self.assertEqual({alpha.getpixel((x, h // 2)) for x in (0, w - 1)}, {255}, "edges away from corners")

    @needs_pillow
    def test_shouldNeverPaintTheKeyColourOpaque(self):
        surfaces = ["background.png"] + PAGES
        for name in surfaces:
            with self.subTest(picture=name):
                im = Image.open(path(name)).convert("RGBA")
                hits = [p for p in im.getdata() if p[:3] == SKY_BLUE and p[3] == 255]
                self.assertEqual(hits, [])

    @needs_pillow
    def test_shouldKeepTextAreasReadable(self):
        # (page, box where the window writes, dark text expected?)
        areas = [
            ("page_start.png", (136, 344, 304, 16), True),
            ("page_start.png", (32, 231, 410, 30), True),
            ("page_scanning.png", (117, 33, 440, 60), False),
        ] + [("page_scanning.png", (63, top, 433, 16), True) for top in (140, 175, 211, 248, 283, 320, 356, 390)] + [
            ("page_report.png", (10, 108, 544, 286), True),
            ("page_about.png", (48, 90, 441, 55), True),
            ("page_about.png", (55, 278, 169, 20), True),
        ]
        for page, (x, y, w, h), dark_text in areas:
            with self.subTest(page=page, box=(x, y)):
                im = Image.open(path(page)).convert("L").crop((x, y, x + w, y + h))
                lo, hi = im.getextrema()
                if dark_text:
                    self.assertGreater(lo, 200, "black text needs a light ground")
                else:
                    self.assertLess(hi, 110, "white text needs a dark ground")

    @needs_pillow
    def test_shouldKeepTheYellowHeadlineAndTheBlackLineBelowItReadable(self):
        # The count label writes bold yellow and then text in its base colour, black, on one ground.
        def luminance(rgb):
            lin = [c / 255 / 12.92 if c <= 10 else ((c / 255 + 0.055) / 1.055) ** 2.4 for c in rgb]
            return 0.2126 * lin[0] + 0.7152 * lin[1] + 0.0722 * lin[2]

        band = Image.open(path("page_report.png")).convert("RGB").crop((112, 24, 112 + 425, 24 + 66))
        levels = {luminance(c) for _, c in band.getcolors(425 * 66)}
        yellow = luminance((255, 255, 0))
        self.assertGreaterEqual(min((yellow + 0.05) / (lv + 0.05) for lv in levels), 3.0)
        self.assertGreaterEqual(min((lv + 0.05) / 0.05 for lv in levels), 4.5)

    @needs_pillow
    def test_shouldLeaveTheListAndBrowserAreasPlainWhite(self):
        for page, (x, y, w, h) in (("page_report.png", (10, 108, 544, 286)),
                                   ("page_lookup.png", (8, 11, 548, 401))):
            with self.subTest(page=page):
                im = Image.open(path(page)).convert("RGB").crop((x, y, x + w, y + h))
                self.assertEqual(im.getcolors(), [(w * h, (255, 255, 255))])

    @needs_pillow
    def test_shouldPutTheAnimationOnTheWhiteItsEdgesWereSmoothedFor(self):
        # The GIF's soft edges are flattened onto white; any other ground would show a fringe.
        im = Image.open(path("page_scanning.png")).convert("RGB").crop((20, 25, 100, 99))
        self.assertEqual(im.getcolors(), [(80 * 74, (255, 255, 255))])

    @needs_pillow
    def test_shouldMatchButtonsToTheGroundAroundThem(self):
        # A button is an opaque rectangle; its outer pixels must continue the picture it sits on.
        placements = [("StartScan", "page_start.png", 175, 384), ("FixNow", "page_report.png", 307, 400),
                      ("Cancel", "page_report.png", 10, 413), ("Back", "page_lookup.png", 447, 424),
                      ("PageAbout", "background.png", -1, 173), ("Close", "background.png", 712, 3)]
        for name, ground, x, y in placements:
            with self.subTest(button=name):
                g = Image.open(path(ground)).convert("RGB")
                b = Image.open(path("buttons", "Bn_%s_Up.bmp" % name)).convert("RGB")
                gx = max(x + b.width // 2, 0)
                below = g.getpixel((gx, y + b.height))
                edge = b.getpixel((b.width // 2, b.height - 1))
                self.assertLessEqual(max(abs(p - q) for p, q in zip(below, edge)), 40)


def gif_blocks(data):
    """(width, height, frames) where each frame is a dict of its control extension and size."""
    assert data[:6] in (b"GIF89a", b"GIF87a")
    w, h, flags = struct.unpack_from("<HHB", data, 6)
    i = 13
    if flags & 0x80:
        i += 3 * (2 << (flags & 7))
    frames, gce, loop = [], None, None
    while True:
        b = data[i]
        if b == 0x3B:
            break
        if b == 0x21:
            label = data[i + 1]
            i += 2
            chunks = []
            while data[i]:
                chunks.append(data[i + 1:i + 1 + data[i]])
                i += 1 + data[i]
            i += 1
            if label == 0xF9:
                packed, delay, tindex = struct.unpack("<BHB", chunks[0])
                gce = {"delay": delay, "transparent": bool(packed & 1), "disposal": (packed >> 2) & 7}
            elif label == 0xFF and chunks[0][:11] == b"NETSCAPE2.0":
                loop = struct.unpack("<H", chunks[1][1:3])[0]
        elif b == 0x2C:
            fx, fy, fw, fh, fflags = struct.unpack_from("<HHHHB", data, i + 1)
            i += 10
            if fflags & 0x80:
                i += 3 * (2 << (fflags & 7))
            i += 1  # LZW minimum code size
            while data[i]:
                i += 1 + data[i]
            i += 1
            frames.append(dict(gce or {}, box=(fx, fy, fw, fh)))
            gce = None
        else:
            raise AssertionError("bad GIF block 0x%02x at %d" % (b, i))
    return w, h, frames, loop


class Animation(unittest.TestCase):
    def setUp(self):
        self.w, self.h, self.frames, self.loop = gif_blocks(read("scanning.gif"))

    def test_shouldRun14FramesOf5HundredthsForeverAt80By74(self):
        self.assertEqual((self.w, self.h), (80, 74))
        self.assertEqual(len(self.frames), 14)
        self.assertEqual([f["delay"] for f in self.frames], [5] * 14)
        self.assertEqual(self.loop, 0, "loop count 0 means forever")

    def test_shouldClearEachFrameSoTransparentPixelsShowThePage(self):
        for n, f in enumerate(self.frames):
            with self.subTest(frame=n):
                self.assertTrue(f["transparent"])
                self.assertEqual(f["disposal"], 2)

    @needs_pillow
    def test_shouldMoveBetweenFramesAndKeepSeeThroughBorders(self):
        im = Image.open(path("scanning.gif"))
        seen = set()
        for n in range(im.n_frames):
            im.seek(n)
            rgba = im.convert("RGBA")
            seen.add(rgba.tobytes())
            self.assertEqual(rgba.getpixel((0, 0))[3], 0)
            self.assertEqual(rgba.getpixel((79, 73))[3], 0)
            opaque = [p for p in rgba.getdata() if p[3] == 255]
            self.assertNotIn(SKY_BLUE, {p[:3] for p in opaque})
        self.assertEqual(len(seen), 14, "every frame should differ")


class Icon(unittest.TestCase):
    def test_shouldHold32BitImagesOf48_32_24And16Pixels(self):
        data = read("quelvo.ico")
        reserved, kind, count = struct.unpack_from("<HHH", data, 0)
        self.assertEqual((reserved, kind), (0, 1))
        sizes = []
        for n in range(count):
            w, h, colours, _, planes, bits, length, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * n)
            self.assertEqual(bits, 32)
            self.assertLessEqual(offset + length, len(data))
            info_size, dw, dh, dplanes, dbits = struct.unpack_from("<IiiHH", data, offset)
            self.assertEqual((info_size, dw, dh, dbits), (40, w, 2 * h, 32))
            mask_stride = ((w + 31) // 32) * 4
            self.assertEqual(length, 40 + w * h * 4 + mask_stride * h)
            sizes.append((w, h))
        self.assertEqual(sizes, [(48, 48), (32, 32), (24, 24), (16, 16)])

    def test_shouldShipADesktopPictureWithAlpha(self):
        w, h, depth, colour = png_header(read("quelvo.png"))
        self.assertIn((w, h), [(256, 256), (48, 48)])
        self.assertEqual(colour, 6)

    def test_shouldShipTheMenuIconAtEveryThemeSizeItsFolderNames(self):
        for size in (16, 24, 32, 48, 64, 128):
            name = "icons/hicolor/%dx%d/apps/quelvo.png" % (size, size)
            w, h, depth, colour = png_header(read(name))
            self.assertEqual((w, h, colour), (size, size, 6), name)


def help_topics():
    """The topic files that the table of contents names."""
    import re
    folder = os.environ.get("QUELVO_HELP_SOURCES") or path("help")
    with open(os.path.join(folder, "toc.hhc"), encoding="ascii") as f:
        return re.findall(r'name="Local" value="([^"]+)"', f.read())


class Help(unittest.TestCase):
    def check_chm(self, data):
        self.assertEqual(data[:4], b"ITSF")
        topics = help_topics()
        self.assertGreaterEqual(len(topics), 7)
        for topic in topics:
            self.assertIn(("/" + topic).encode("ascii"), data, "topic missing from the help file")

    def test_shouldShipACompiledHelpFileWithEveryTopic(self):
        self.check_chm(read("Help.chm"))

    def test_shouldBuildTheHelpFileWithEveryTopic(self):
        built = os.environ.get("QUELVO_BUILT_HELP")
        if not built:
            self.skipTest("run by CTest after the build")
        with open(built, "rb") as f:
            self.check_chm(f.read())


if __name__ == "__main__":
    unittest.main()
