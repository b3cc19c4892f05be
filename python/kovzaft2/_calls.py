"""The exported calls made with their failures raised as ScanError."""

import ctypes
from typing import Any, Iterable

from . import _header as h
from ._loader import load
from .errors import ScanError

# The library's texts fit with room to spare; a longer one is cut, never overrun.
_TEXT_SIZE = 1024


def last_error_text() -> str:
    """What SCANLASTERROR says of the last failure; empty when it has nothing to say."""
    buffer = ctypes.create_string_buffer(_TEXT_SIZE)
    if load().SCANLASTERROR(buffer, _TEXT_SIZE) not in (h.RC_SCAN_OK, h.RC_SCAN_ERROR_TRUNC):
        return ""
    return buffer.value.decode("latin-1")


def call(name: str, *arguments: Any, accept: Iterable[int] = (h.RC_SCAN_OK,)) -> int:
    """Calls the export; a code other than those accepted raises ScanError with its text."""
    rc = int(getattr(load(), name)(*arguments))
    if rc not in accept:
        raise ScanError(name, rc, last_error_text())
    return rc
