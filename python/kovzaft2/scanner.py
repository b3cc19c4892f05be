"""The library and its one scanner: sessions, runs of pages, kills and the query calls."""

import ctypes
import os
import sys
import threading
from pathlib import Path
from types import TracebackType
from typing import Iterator, List, NamedTuple, Optional, Type, Union

from . import _header as h
from ._calls import call
from ._interrupts import KillOnCtrlC
from ._loader import load
from .errors import ScanError
from .page import Page
from .record import DEVICE, Record

PROFILE_VARIABLE = "ZAFT_PROFILE"
_PAGE_ENDS = (h.RC_SCAN_OK, h.RC_SCAN_MORE_DATA, h.RC_SCAN_ADF_EMPTY)


class QuickControl(NamedTuple):
    index: int
    value: int
    title: str
    range: str


def _set_profile(profile: Union[str, Path]) -> None:
    """Points the framework at the profile. The DLL reads the environment of its own C runtime,
    which on Windows is not the one Python's os.environ writes: both are set there."""
    path = os.fspath(Path(profile).resolve())
    os.environ[PROFILE_VARIABLE] = path
    if sys.platform == "win32":
        ctypes.cdll.msvcrt._putenv(f"{PROFILE_VARIABLE}={path}".encode("mbcs"))


class Library:
    """The library initialised: SCANINIT when made, SCANFREE at close() or the end of `with`.

    `path` names the library file or its folder (else $KOVZAFT2_LIBRARY, else the installed
    library). One process holds one library, initialised once at a time.
    """

    def __init__(self, path: Union[str, Path, None] = None) -> None:
        load(path)
        call("SCANINIT")
        self._open = True

    def close(self) -> None:
        """SCANFREE: closes the scanner if it is open and ends the library's work."""
        if self._open:
            self._open = False
            call("SCANFREE")

    def __enter__(self) -> "Library":
        return self

    def __exit__(self, kind: Optional[Type[BaseException]], error: Optional[BaseException],
                 trace: Optional[TracebackType]) -> None:
        self.close()

    def open(self, profile: Union[str, Path, None] = None, device: str = DEVICE,
             timeout: int = 0) -> "Scanner":
        """Opens the scanner (SCANOPEN) after pointing the framework at `profile`, when given."""
        if profile is not None:
            _set_profile(profile)
        handle = ctypes.c_int32(0)
        call("SCANOPEN", device.encode(), timeout, ctypes.byref(handle))
        return Scanner(handle.value)

    def devices(self) -> List[str]:
        """The device names the library offers (SCANQUERYDEVNAMES)."""
        size = ctypes.c_uint16()
        call("SCANQUERYINFO", None, h.SCAN_INFO_DEVNAMES_SIZE, ctypes.byref(size))
        buffer = ctypes.create_string_buffer(size.value)
        call("SCANQUERYDEVNAMES", buffer, size.value)
        names = buffer.raw.split(b"\0")
        return [name.decode("latin-1") for name in names[:names.index(b"")]]

    def record_size(self, device: str = DEVICE) -> int:
        """The size of the parameter record the library takes (SCANQUERYINFO)."""
        return self._info_number(device, h.SCAN_INFO_PARM_SIZE)

    def quick_controls(self, device: str = DEVICE) -> List[QuickControl]:
        """Every quick control the library describes (SCANQUERYINFO)."""
        return [self.quick_control(index, device)
                for index in range(self._info_number(device, h.SCAN_INFO_QCTRL_COUNT))]

    def quick_control(self, index: int, device: str = DEVICE) -> QuickControl:
        info = h.SCAN_QCTRL_INFO(index)
        call("SCANQUERYINFO", device.encode(), h.SCAN_INFO_QCTRL, ctypes.byref(info))
        return QuickControl(index, int(info.ulValue), info.szTitle.decode("latin-1"),
                            info.szRange.decode("latin-1"))

    def set_save_as(self, on: bool, device: str = DEVICE) -> None:
        """Enables or disables the Save-as dialog (SCANSETENV)."""
        value = ctypes.c_uint16(1 if on else 0)
        call("SCANSETENV", device.encode(), h.SCAN_ENV_SAVEAS, ctypes.byref(value))

    def _info_number(self, device: str, kind: int) -> int:
        value = ctypes.c_uint16()
        call("SCANQUERYINFO", device.encode(), kind, ctypes.byref(value))
        return value.value


class Scanner:
    """The open scanner: SCANCLOSE at close() or the end of `with`."""

    def __init__(self, handle: int) -> None:
        self.handle = handle
        self._sent: Optional[Record] = None
        self._killed = threading.Event()
        # A page scanned whole while Ctrl-C stopped its run, not yet handed over.
        self._finished: Optional[Page] = None

    def close(self) -> None:
        if self.handle != h.SCAN_HANDLE_NONE:
            handle, self.handle = self.handle, h.SCAN_HANDLE_NONE
            call("SCANCLOSE", handle)

    def __enter__(self) -> "Scanner":
        return self

    def __exit__(self, kind: Optional[Type[BaseException]], error: Optional[BaseException],
                 trace: Optional[TracebackType]) -> None:
        self.close()

    def send(self, record: Record) -> None:
        """Sends the record to the scanner (SCANSETSTATE): a new run of pages begins."""
        self._killed.clear()
        call("SCANSETSTATE", self.handle, ctypes.byref(record.raw))
        self._sent = record

    def pages(self, record: Optional[Record] = None) -> Iterator[Page]:
        """The pages of a run, until the feeder is empty or the run is killed.

        With `record`, it is sent first; without, the record sent last serves (sent again when
        a kill ended its run). A failing page raises ScanError. Ctrl-C while a page is scanned
        kills the run and raises KeyboardInterrupt; the scanner is ready for the next run, which
        begins with the page in hand if the scanner had finished it.
        """
        if record is not None or self._killed.is_set():
            if record is None and self._sent is None:
                raise ValueError("no record was sent to the scanner for the run")
            self.send(record if record is not None else self._sent)  # type: ignore[arg-type]
        with KillOnCtrlC(self.kill) as ctrl_c:
            while True:
                page = self._next_page(ctrl_c)
                if page is None:
                    return
                yield page

    def next_page(self) -> Optional[Page]:
        """The next page of the run; None when the feeder is empty or the run was killed.
        Ctrl-C as in pages()."""
        with KillOnCtrlC(self.kill) as ctrl_c:
            return self._next_page(ctrl_c)

    def kill(self) -> None:
        """Ends the page being scanned, or the next one, from any thread (SCANKILL); also closes
        an open settings dialog. The run then ends without an error."""
        self._killed.set()
        load().SCANKILL(self.handle)

    def pause(self) -> None:
        call("SCANPAUSE", self.handle)

    def set_sequence_number(self, number: int) -> None:
        call("SCANSETSEQNUM", self.handle, number)

    def set_printer_text(self, text: str, on: bool = True, sequence_length: int = 0) -> None:
        """The imprinter's text for the pages to come (SCANSETPRTTEXT)."""
        call("SCANSETPRTTEXT", self.handle, sequence_length, text.encode("latin-1"), int(on))

    def _next_page(self, ctrl_c: KillOnCtrlC) -> Optional[Page]:
        if self._finished is not None:
            page, self._finished = self._finished, None
            return page
        page = None
        try:
            with ctrl_c.held():
                page = self._scan_page()
        except ScanError:
            if self._killed.is_set():
                return None
            raise
        except KeyboardInterrupt:
            # A page the scanner finished has left the feeder: it comes first in the next run.
            self._finished = page
            raise
        return page

    def _scan_page(self) -> Optional[Page]:
        """SCANAREAEJECT for the header and the page's size, then its data in place."""
        header = h.KOV_PAGEHEADER()
        header.usHeaderLength = h.PAGE_HEADER_SIZE
        pointer = ctypes.pointer(header)
        size = ctypes.c_uint32(0)
        rc = call("SCANAREAEJECT", self.handle, ctypes.byref(pointer), None, ctypes.byref(size),
                  accept=_PAGE_ENDS)
        if rc == h.RC_SCAN_ADF_EMPTY:
            return None
        data = bytearray(size.value)
        if rc == h.RC_SCAN_MORE_DATA:
            self._take_data(data)
        return Page(header, data)

    def _take_data(self, data: bytearray) -> None:
        """SCANGETDATA into the page's own buffer, each piece where it belongs."""
        # An empty page still has to be taken for the library to let it go.
        target = (ctypes.c_char * max(len(data), 1)).from_buffer(data or bytearray(1))
        base = ctypes.addressof(target)
        received = 0
        while True:
            length = ctypes.c_uint32(len(data) - received)
            rc = call("SCANGETDATA", self.handle, base + received, ctypes.byref(length), 0,
                      accept=(h.RC_SCAN_OK, h.RC_SCAN_NO_DATA))
            received += length.value if rc == h.RC_SCAN_OK else 0
            if received == len(data) or rc == h.RC_SCAN_NO_DATA or length.value == 0:
                break
        del target
        if received != len(data):
            raise ScanError("SCANGETDATA", h.RC_SCAN_NO_DATA,
                            f"the page ended after {received} of its {len(data)} bytes")
