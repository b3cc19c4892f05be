"""The parameter record: the host's 57,546 bytes that carry one scanner's settings."""

import ctypes
from pathlib import Path
from typing import Any, Dict, Iterator, List, NamedTuple, Optional, Tuple, Union

from . import _header as h
from ._calls import call
from .errors import ScanError

DEVICE = "ZAFT Drivers"

# The host compression codes by the names kovscan gives them.
COMPRESSIONS: Dict[str, int] = {
    "none": h.SCAN_COMP_NONE,
    "g3": h.SCAN_COMP_G3_1D,
    "g3-2d": h.SCAN_COMP_G3_2D,
    "g4": h.SCAN_COMP_G4,
    "jpeg": h.SCAN_COMP_JPEG,
}
# The resolutions scanners list most, and every depth the record can carry: what offered()
# tries.
_RESOLUTIONS = (50, 75, 100, 150, 200, 240, 300, 400, 600, 1200)
_DEPTHS = (1, 4, 8, 12, 24)


class Resolution(NamedTuple):
    """Dots per inch across and down the page."""
    x: float
    y: float


class Area(NamedTuple):
    """The scanned area in dots at the record's resolution."""
    x: int
    y: int
    width: int
    length: int


def compression_name(code: int) -> str:
    """The name of a host compression code ("g4"), or the code in hexadecimal."""
    return next((name for name, value in COMPRESSIONS.items() if value == code), f"0x{code:x}")


def _text(field: bytes) -> str:
    return field.decode("latin-1")


def _put_text(record: h.ParmRecord, field: str, text: str) -> None:
    data = text.encode("latin-1")
    size = getattr(type(record), field).size
    if len(data) >= size:
        raise ValueError(f"{field} holds at most {size - 1} bytes, not {len(data)}")
    setattr(record, field, data)


def _switch(field: str, doc: str) -> property:
    def get(self: "Record") -> bool:
        return getattr(self.raw, field) != 0

    def put(self: "Record", on: bool) -> None:
        setattr(self.raw, field, 1 if on else 0)
    return property(get, put, doc=doc)


def _text_field(field: str, doc: str) -> property:
    def get(self: "Record") -> str:
        return _text(getattr(self.raw, field))

    def put(self: "Record", text: str) -> None:
        _put_text(self.raw, field, text)
    return property(get, put, doc=doc)


def _number(field: str, doc: str) -> property:
    def get(self: "Record") -> int:
        return int(getattr(self.raw, field))

    def put(self: "Record", value: int) -> None:
        setattr(self.raw, field, value)
    return property(get, put, doc=doc)


class Record:
    """A parameter record, owned by the host, as the library's calls read and change it.

    The fields of the record itself are plain properties (`driver`, `patch_ii`, `barcodes`,
    ...). The scanning parameters (`resolution`, `bits`, `area`, `compression`, `adf`) are
    the scanner's answer for the record: reading one asks the library (SCANQUERYPARM), setting
    one goes through SCANSETPARM, which refuses a value the scanner does not offer with a
    ScanError (RC_SCAN_INVALID_PARM). Those calls need an initialised Library.
    """

    def __init__(self, data: Union[bytes, bytearray, None] = None) -> None:
        """A fresh (empty) record, or a copy of a whole record's bytes."""
        self.raw = h.ParmRecord()
        if data is not None:
            if len(data) != h.PARM_RECORD_SIZE:
                raise ValueError(f"a parameter record is {h.PARM_RECORD_SIZE} bytes, "
                                 f"not {len(data)}")
            ctypes.memmove(ctypes.addressof(self.raw), bytes(data), h.PARM_RECORD_SIZE)

    @classmethod
    def initial(cls, device: str = DEVICE) -> "Record":
        """The record the library builds for the profile's selected scanner (SCANSETPARM INIT)."""
        record = cls()
        call("SCANSETPARM", device.encode(), ctypes.byref(record.raw), h.SCAN_PARM_INIT, None)
        return record

    @classmethod
    def load(cls, path: Union[str, Path]) -> "Record":
        """A record saved in a file (by save() or kovscan's `record save`): its bytes as they are."""
        data = Path(path).read_bytes()
        if len(data) != h.PARM_RECORD_SIZE:
            raise ValueError(f"{path} is not a saved parameter record ({len(data)} bytes, "
                             f"not {h.PARM_RECORD_SIZE})")
        return cls(data)

    def save(self, path: Union[str, Path]) -> None:
        """Writes the record's bytes, as kovscan keeps records."""
        Path(path).write_bytes(bytes(self))

    def __bytes__(self) -> bytes:
        return ctypes.string_at(ctypes.addressof(self.raw), h.PARM_RECORD_SIZE)

    def __eq__(self, other: object) -> bool:
        return isinstance(other, Record) and bytes(self) == bytes(other)

    def copy(self) -> "Record":
        return Record(bytes(self))

    # ---- The record's own fields ---------------------------------------------------------

    @property
    def size(self) -> int:
        """57546 once the library has built the record; 0 for a fresh one."""
        return int(self.raw.usSize)

    driver = _text_field("szDriver", "The scanner driver the record is for.")
    scanner_id = _text_field("szID", "The scanner's identification when the record was built.")
    old_count = _number("sOldCount", "0 for settings in the current format; else older entries.")
    settings_length = _number("sSettingsLen", "Bytes of settings text in use.")
    feeder = _switch("lFeeder", "True: the feeder; False: the flatbed.")
    discard_state = _switch("lDiscardState", "True: the barcode state is not applied.")
    patch_ii = _switch("p2", "Detect Patch II separator sheets.")
    patch_iii = _switch("p3", "Detect Patch III separator sheets.")
    patch_t = _switch("pt", "Detect Patch T separator sheets.")
    barcodes = _switch("bro", "Search the pages for barcodes.")
    barcode_state = _text_field("szBarcodeState", "The barcode reader's state text.")
    tiff_compression = _number("lCompression", "TIFF Compression of the record: 1, 3, 4 or 6.")
    t4_options = _number("lT4Options", "TIFF T4Options; bit 0 is two-dimensional coding.")

    @property
    def patches(self) -> bool:
        """All three patch codes detected."""
        return self.patch_ii and self.patch_iii and self.patch_t

    @patches.setter
    def patches(self, on: bool) -> None:
        self.patch_ii = self.patch_iii = self.patch_t = on

    @property
    def settings(self) -> List[Tuple[str, str]]:
        """The driver's settings text: (name, value) pairs, read within the field."""
        # Read whole: a c_char array's value would stop at the first name's end.
        area = ctypes.string_at(ctypes.addressof(self.raw) + h.ParmRecord.achSettings.offset,
                                h.PARM_SETTINGS_SIZE)
        return list(_settings_pairs(area))

    # ---- The scanner's parameters for the record -----------------------------------------

    @property
    def resolution(self) -> Resolution:
        value = h.SCAN_RES()
        self._query(h.SCAN_PARM_RES, value)
        return Resolution(value.ulXNum / value.ulXDenom if value.ulXDenom else 0.0,
                          value.ulYNum / value.ulYDenom if value.ulYDenom else 0.0)

    @resolution.setter
    def resolution(self, dpi: Union[int, Tuple[int, int]]) -> None:
        self.set(resolution=dpi)

    @property
    def bits(self) -> int:
        """Bits per dot: 1, 4, 8, 12 or 24."""
        value = ctypes.c_uint16()
        self._query(h.SCAN_PARM_BPP, value)
        return value.value

    @bits.setter
    def bits(self, bits: int) -> None:
        self.set(bits=bits)

    @property
    def area(self) -> Area:
        value = h.SCAN_AREA()
        self._query(h.SCAN_PARM_AREA, value)
        return Area(value.usX, value.usY, value.usWidth, value.usLength)

    @area.setter
    def area(self, area: Tuple[int, int, int, int]) -> None:
        self.set(area=area)

    @property
    def compression(self) -> str:
        """The pages' compression by name: "none", "g3", "g3-2d", "g4" or "jpeg"."""
        value = ctypes.c_uint16()
        self._query(h.SCAN_PARM_COMP, value)
        return compression_name(value.value)

    @compression.setter
    def compression(self, name: str) -> None:
        self.set(compression=name)

    @property
    def adf(self) -> int:
        """-1 the flatbed, 1 the feeder."""
        value = ctypes.c_int16()
        self._query(h.SCAN_PARM_ADF, value)
        return value.value

    @adf.setter
    def adf(self, value: int) -> None:
        self.set(adf=value)

    def version(self) -> int:
        value = ctypes.c_uint32()
        self._query(h.SCAN_PARM_VERSION, value)
        return value.value

    def quick_control(self, index: int) -> int:
        """The value the library keeps for quick control `index`."""
        value = h.SCAN_QCTRL(index, 0)
        self._query(h.SCAN_PARM_QCTRL, value)
        return int(value.ulValue)

    def set_quick_control(self, index: int, value: int, device: str = DEVICE) -> None:
        self._set(device, h.SCAN_PARM_QCTRL, h.SCAN_QCTRL(index, value))

    def set(self, resolution: Union[int, Tuple[int, int], None] = None,
            bits: Optional[int] = None, area: Optional[Tuple[int, int, int, int]] = None,
            compression: Optional[str] = None, adf: Optional[int] = None,
            device: str = DEVICE) -> "Record":
        """Sets each given parameter through SCANSETPARM, in this order; returns the record.

        A value the scanner does not offer raises ScanError (RC_SCAN_INVALID_PARM); the
        parameters set before it stay set.
        """
        if resolution is not None:
            x, y = (resolution, resolution) if isinstance(resolution, int) else resolution
            self._set(device, h.SCAN_PARM_RES, h.SCAN_RES(x, 1, y, 1, 0))
        if bits is not None:
            self._set(device, h.SCAN_PARM_BPP, ctypes.c_uint16(bits))
        if area is not None:
            self._set(device, h.SCAN_PARM_AREA, h.SCAN_AREA(*area))
        if compression is not None:
            if compression not in COMPRESSIONS:
                raise ValueError(f"no compression {compression!r}: one of "
                                 f"{', '.join(COMPRESSIONS)}")
            self._set(device, h.SCAN_PARM_COMP, ctypes.c_uint16(COMPRESSIONS[compression]))
        if adf is not None:
            self._set(device, h.SCAN_PARM_ADF, ctypes.c_int16(adf))
        return self

    def offered(self, parameter: str) -> List[Union[int, str]]:
        """What the scanner takes for "resolution", "bits" or "compression", each tried on a copy."""
        tries = {"resolution": _RESOLUTIONS, "bits": _DEPTHS, "compression": tuple(COMPRESSIONS)}
        if parameter not in tries:
            raise ValueError(f"offered() knows resolution, bits and compression, not {parameter!r}")
        taken: List[Union[int, str]] = []
        for value in tries[parameter]:
            try:
                self.copy().set(**{parameter: value})
            except ScanError as refusal:
                if refusal.code != h.RC_SCAN_INVALID_PARM:
                    raise
                continue
            taken.append(value)
        return taken

    def colour_table(self) -> List[Tuple[int, int, int]]:
        """The 256 entries of the colour table for the record's depth (SCANQUERYCLT)."""
        table = (h.SCAN_CLT_ENTRY * 256)()
        call("SCANQUERYCLT", ctypes.byref(self.raw), table)
        return [(entry.abValue[0], entry.abValue[1], entry.abValue[2]) for entry in table]

    def edit(self, device: str = DEVICE, option: Optional[int] = None) -> bool:
        """Lets the user edit the record in the settings dialog: True on OK, False on cancel.

        `option` given: SCANPARMSDLG2 with that dialog option; else SCANPARMSDLG.
        """
        cancel = (h.RC_SCAN_OK, h.RC_SCAN_DLG_CANCEL)
        if option is None:
            rc = call("SCANPARMSDLG", device.encode(), ctypes.byref(self.raw), accept=cancel)
        else:
            rc = call("SCANPARMSDLG2", device.encode(), ctypes.byref(self.raw), option,
                      accept=cancel)
        return rc == h.RC_SCAN_OK

    def _query(self, parameter: int, value: Any) -> None:
        call("SCANQUERYPARM", ctypes.byref(self.raw), parameter, ctypes.byref(value))

    def _set(self, device: str, parameter: int,
             value: Any) -> None:
        call("SCANSETPARM", device.encode(), ctypes.byref(self.raw), parameter, ctypes.byref(value))


def _settings_pairs(area: bytes) -> Iterator[Tuple[str, str]]:
    """Name and value, each ended by a zero, until an empty name or the area's end."""
    at = 0
    while at < len(area) and area[at] != 0:
        name_end = area.find(b"\0", at)
        name_end = len(area) if name_end < 0 else name_end
        value_end = area.find(b"\0", min(name_end + 1, len(area)))
        value_end = len(area) if value_end < 0 else value_end
        yield _text(area[at:name_end]), _text(area[min(name_end + 1, len(area)):value_end])
        at = value_end + 1
