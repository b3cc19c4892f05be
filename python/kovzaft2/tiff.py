"""A delivered page as a one-page TIFF file, its data stored as delivered.

Uncompressed and CCITT pages are described by the tags their page header implies, JPEG pages
(compression 7) by the stream's own frame header, the whole stream as the one strip. Pillow
cannot store data that is compressed already without coding it again, hence this writer.
"""

import struct
from typing import List, NamedTuple, Tuple, Union

# Field types.
_SHORT, _LONG, _RATIONAL = 3, 4, 5
_TYPE_SIZES = {_SHORT: 2, _LONG: 4, _RATIONAL: 8}

# The TIFF Compression code and whether two-dimensional, by host compression code.
TIFF_COMPRESSIONS = {3: (1, 0), 0x80: (3, 0), 0x81: (3, 1), 0x82: (4, 0), 0xCA83: (7, 0)}


class TiffImage(NamedTuple):
    width: int
    length: int
    bits_per_sample: int
    samples_per_pixel: int
    photometric: int
    subsampling: Tuple[int, int] = (1, 1)


def describe_jpeg(data: Union[bytes, bytearray]) -> TiffImage:
    """The image of a baseline JPEG stream, from its frame header (SOF0 or SOF1)."""
    at = 2
    if data[:2] != b"\xff\xd8":
        raise ValueError("the page's data is no JPEG stream")
    while at + 4 <= len(data):
        if data[at] != 0xFF:
            raise ValueError("the JPEG stream is broken before its frame header")
        marker = data[at + 1]
        length = struct.unpack_from(">H", data, at + 2)[0]
        if marker in (0xC0, 0xC1):
            if at + 2 + length > len(data) or length < 8:
                break
            bits, lines, width, components = struct.unpack_from(">BHHB", data, at + 4)
            if bits != 8 or components not in (1, 3) or length < 8 + 3 * components:
                raise ValueError("a TIFF holds only 8-bit gray or colour JPEG streams")
            if components == 1:
                return TiffImage(width, lines, 8, 1, 1)
            sampling = data[at + 10]
            return TiffImage(width, lines, 8, 3, 6, (sampling >> 4, sampling & 0x0F))
        if 0xC2 <= marker <= 0xCF and marker not in (0xC4, 0xC8, 0xCC):
            raise ValueError("a TIFF holds only baseline JPEG streams")
        at += 2 + length
    raise ValueError("the JPEG stream has no frame header")


def page_image(width: int, length: int, bits_per_dot: int) -> TiffImage:
    """The image of uncompressed or CCITT data: one bit is black on white, as delivered."""
    if bits_per_dot == 24:
        return TiffImage(width, length, 8, 3, 2)
    return TiffImage(width, length, bits_per_dot, 1, 0 if bits_per_dot == 1 else 1)


def tiff_prefix(image: TiffImage, compression: int, resolution: Tuple[Tuple[int, int], ...],
                data_size: int) -> bytes:
    """What comes before the one strip of a little-endian one-page TIFF: the strip follows.

    `compression` is the host code; `resolution` the x and y dots per inch as (num, denom).
    """
    if compression not in TIFF_COMPRESSIONS:
        raise ValueError(f"no TIFF compression for the host code 0x{compression:x}")
    tiff_code, two_d = TIFF_COMPRESSIONS[compression]
    x_res, y_res = resolution
    entries: List[Tuple[int, int, List[int]]] = [
        (254, _LONG, [2]),  # a page of a document
        (256, _LONG, [image.width]),
        (257, _LONG, [image.length]),
        (258, _SHORT, [image.bits_per_sample] * image.samples_per_pixel),
        (259, _SHORT, [tiff_code]),
        (262, _SHORT, [image.photometric]),
        (266, _SHORT, [1]),
        (273, _LONG, [0]),  # where the strip begins, filled in at the end
        (277, _SHORT, [image.samples_per_pixel]),
        (278, _LONG, [image.length]),
        (279, _LONG, [data_size]),
        (282, _RATIONAL, list(x_res)),
        (283, _RATIONAL, list(y_res)),
        (284, _SHORT, [1]),
        (296, _SHORT, [2]),  # inches
    ]
    if tiff_code == 3:
        entries.append((292, _LONG, [two_d]))
    if image.photometric == 6:
        entries.append((530, _SHORT, list(image.subsampling)))
        # JPEG's YCbCr is full range.
        entries.append((532, _RATIONAL, [0, 1, 255, 1, 128, 1, 255, 1, 128, 1, 255, 1]))
    entries.sort()

    extra_at = 8 + 2 + 12 * len(entries) + 4
    out = bytearray(b"II*\0" + struct.pack("<IH", 8, len(entries)))
    extra = bytearray()
    strip_entry = 0
    for tag, kind, values in entries:
        count = len(values) // 2 if kind == _RATIONAL else len(values)
        packed = struct.pack("<" + ("H" if kind == _SHORT else "I") * len(values), *values)
        if tag == 273:
            strip_entry = len(out)
        if len(packed) <= 4:
            out += struct.pack("<HHI", tag, kind, count) + packed.ljust(4, b"\0")
        else:
            extra += b"\0" * (len(extra) % 2)  # values begin on a word boundary
            out += struct.pack("<HHII", tag, kind, count, extra_at + len(extra))
            extra += packed
    out += struct.pack("<I", 0)  # no further directory
    out += extra + b"\0" * (len(extra) % 2)
    struct.pack_into("<I", out, strip_entry + 8, len(out))
    return bytes(out)
