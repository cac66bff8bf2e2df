"""Writers for the Windows picture formats the window loads, byte for byte."""
import struct

from PIL import Image

_PELS_PER_METRE = 3780  # 96 dpi


def bmp24(im, trailing=0):
    """A bottom-up, uncompressed 24-bit BMP of an RGB picture.

    `trailing` zero bytes follow the pixel data and are counted in the image size field,
    as the row pictures carry two.
    """
    im = im.convert("RGB")
    w, h = im.size
    stride = (w * 3 + 3) & ~3
    px = im.load()
    rows = []
    for y in range(h - 1, -1, -1):
        row = bytearray()
        for x in range(w):
            r, g, b = px[x, y]
            row += bytes((b, g, r))
        row += b"\0" * (stride - w * 3)
        rows.append(bytes(row))
    data = b"".join(rows) + b"\0" * trailing
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data),
                       _PELS_PER_METRE, _PELS_PER_METRE, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(data), 0, 0, 14 + len(info))
    return head + info + data


def ico32(images):
    """An icon file holding one 32-bit BGRA DIB entry (with its AND mask) per RGBA picture."""
    entries = []
    for im in images:
        im = im.convert("RGBA")
        w, h = im.size
        px = im.load()
        xor = bytearray()
        mask_stride = ((w + 31) // 32) * 4
        mask = bytearray()
        for y in range(h - 1, -1, -1):
            bits = bytearray(mask_stride)
            for x in range(w):
                r, g, b, a = px[x, y]
                xor += bytes((b, g, r, a))
                if a == 0:
                    bits[x // 8] |= 0x80 >> (x % 8)
            mask += bits
        info = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
        entries.append((w, h, info + bytes(xor) + bytes(mask)))
    out = bytearray(struct.pack("<HHH", 0, 1, len(entries)))
    offset = 6 + 16 * len(entries)
    for w, h, blob in entries:
        out += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    for _, _, blob in entries:
        out += blob
    return bytes(out)


def save_gif(path, frames, delay_cs, matte):
    """An endlessly looping animated GIF of RGBA frames.

    Fully transparent pixels get the transparent index; the others are flattened onto
    `matte`, the colour the picture will be shown on, so soft edges blend into it. Every
    frame is stored whole and disposed to the background, so the see-through pixels of
    one frame never show the previous one.
    """
    flat = []
    for f in frames:
        m = Image.new("RGBA", f.size, tuple(matte) + (255,))
        m.alpha_composite(f)
        flat.append(m.convert("RGB"))
    strip = Image.new("RGB", (flat[0].width, flat[0].height * len(flat)))
    for i, f in enumerate(flat):
        strip.paste(f, (0, i * f.height))
    shared = strip.quantize(colors=255, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
    # Index 255 is kept for transparency, so no drawn colour can take it.
    pal = shared.getpalette()[: 255 * 3]
    pal += [0] * (255 * 3 - len(pal)) + [255, 0, 255]
    out = []
    for f, src in zip(flat, frames):
        q = f.quantize(palette=shared, dither=Image.Dither.NONE)
        q.putpalette(pal)
        qp = q.load()
        alpha = src.getchannel("A").load()
        for y in range(f.height):
            for x in range(f.width):
                if alpha[x, y] == 0:
                    qp[x, y] = 255
        q.info["transparency"] = 255
        out.append(q)
    out[0].save(path, save_all=True, append_images=out[1:], duration=delay_cs * 10, loop=0,
                disposal=2, transparency=255, optimize=False, background=255)
