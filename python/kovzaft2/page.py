"""A scanned page: its 253-byte header decoded, and its data as the library delivered it."""

import io
from pathlib import Path
from typing import Any, List, Optional, Union

from . import _header as h
from . import tiff
from .record import Resolution, compression_name

# The page level the library's patch-code detection gives each sheet.
_PATCH_CODES = {2: "II", 3: "III", 4: "T"}
# Pillow's raw modes for uncompressed rows; one bit is black on white as delivered.
_RAW_MODES = {1: ("1", "1;I"), 4: ("L", "L;4"), 8: ("L", "L"), 24: ("RGB", "RGB")}


def _text(field: bytes) -> str:
    return field.decode("latin-1")


class Page:
    """One page: `header` (a copy of the library's KOV_PAGEHEADER) and `data`.

    `data` is the page's own buffer, filled by the library: uncompressed rows
    (`bytes_per_line` each), Group 3 or 4 data, or a JPEG stream, by `compression`.
    """

    def __init__(self, header: h.KOV_PAGEHEADER, data: bytearray) -> None:
        self.header = header
        self.data = data

    @property
    def sequence(self) -> int:
        return int(self.header.lSeqNumber)

    @property
    def level(self) -> int:
        """1 for a plain page; 2, 3 or 4 for a detected Patch II, III or T sheet."""
        return int(self.header.ucLevel)

    @property
    def patch_code(self) -> Optional[str]:
        """"II", "III" or "T" for a separator sheet the library recognised, else None."""
        return _PATCH_CODES.get(self.level)

    @property
    def side(self) -> str:
        """"front" or "back"."""
        return "front" if self.header.ucSide == 0 else "back"

    @property
    def compression(self) -> str:
        """"none", "g3", "g3-2d", "g4" or "jpeg"."""
        return compression_name(self.header.usCompression)

    @property
    def bits(self) -> int:
        """Bits per dot: 1, 4, 8, 12 or 24."""
        return int(self.header.usBpp)

    @property
    def lines(self) -> int:
        return int(self.header.usLines)

    @property
    def bytes_per_line(self) -> int:
        return int(self.header.usBytesPerLine)

    @property
    def width(self) -> int:
        """Dots per line, from the line's bytes and the bits per dot."""
        return self.bytes_per_line * 8 // self.bits if self.bits else 0

    @property
    def resolution(self) -> Resolution:
        x_denom, y_denom = self.header.ulXResDenom, self.header.ulYResDenom
        return Resolution(self.header.ulXResNum / x_denom if x_denom else 0.0,
                          self.header.ulYResNum / y_denom if y_denom else 0.0)

    @property
    def barcodes(self) -> List[bytes]:
        """The barcode texts found on the page, as bytes in whatever encoding the code used."""
        return [bytes(entry.szText) for entry in self.header.aBarcodes
                if entry.usNumber != 0 and entry.szText]

    @property
    def data_field_1(self) -> str:
        return _text(self.header.szDf1Data)

    @property
    def data_field_2(self) -> str:
        return _text(self.header.szDf2Data)

    def tiff(self) -> bytes:
        """The page as a one-page TIFF file's bytes, its data stored as delivered."""
        return self._tiff_prefix() + bytes(self.data)

    def save(self, path: Union[str, Path]) -> None:
        """Writes the page as a one-page TIFF file, its data stored as delivered."""
        with open(path, "wb") as file:
            file.write(self._tiff_prefix())
            file.write(self.data)

    def image(self) -> Any:
        """The page as a Pillow image, decoded from its data (Pillow is needed for this alone)."""
        from PIL import Image

        if self.compression == "jpeg":
            return Image.open(io.BytesIO(self.data))
        if self.compression != "none":
            picture = Image.open(io.BytesIO(self.tiff()))
            picture.load()
            return picture
        if self.bits not in _RAW_MODES:
            raise ValueError(f"Pillow has no image of {self.bits} bits per dot")
        mode, raw_mode = _RAW_MODES[self.bits]
        return Image.frombuffer(mode, (self.width, self.lines), bytes(self.data), "raw",
                                raw_mode, self.bytes_per_line, 1)

    def _tiff_prefix(self) -> bytes:
        if self.compression == "jpeg":
            image = tiff.describe_jpeg(self.data)
        else:
            image = tiff.page_image(self.width, self.lines, self.bits)
        resolution = ((self.header.ulXResNum, self.header.ulXResDenom or 1),
                      (self.header.ulYResNum, self.header.ulYResDenom or 1))
        return tiff.tiff_prefix(image, self.header.usCompression, resolution, len(self.data))

    def __repr__(self) -> str:
        return (f"<Page {self.sequence}: {self.width}x{self.lines}, {self.bits} bits, "
                f"{self.compression}, {len(self.data)} bytes, level {self.level}>")

