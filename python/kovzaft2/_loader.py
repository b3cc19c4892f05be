"""Finding and loading the library, and the exported calls' ctypes prototypes."""

import ctypes
import os
import struct
import sys
import threading
from pathlib import Path
from typing import Optional, Union

from . import _header as h

LIBRARY_VARIABLE = "KOVZAFT2_LIBRARY"
_WINDOWS = sys.platform == "win32"
_FILE_NAME = "KOVZAFT2.dll" if _WINDOWS else "libKOVZAFT2.so"
# A process loads only a DLL of its own width: each edition's folder in a tree holding both.
_EDITION = "win64" if struct.calcsize("P") == 8 else "win32"
# The machine field of a PE file's COFF header, by pointer size.
_PE_MACHINES = {0x014C: 4, 0x8664: 8}

_u16, _i16, _u32, _i32 = ctypes.c_uint16, ctypes.c_int16, ctypes.c_uint32, ctypes.c_int32
_p = ctypes.POINTER
_PROTOTYPES = {
    "SCANINIT": (),
    "SCANFREE": (),
    "SCANLASTERROR": (ctypes.c_char_p, _u16),
    "SCANOPEN": (ctypes.c_char_p, _i32, _p(_i32)),
    "SCANCLOSE": (_i32,),
    "SCANSETSEQNUM": (_i32, _i32),
    "SCANPAUSE": (_i32,),
    "SCANKILL": (_i32,),
    "SCANSETPRTTEXT": (_i32, _u32, ctypes.c_char_p, _i32),
    "SCANSETENV": (ctypes.c_char_p, _u16, _p(_u16)),
    "SCANAREAEJECT": (_i32, _p(_p(h.KOV_PAGEHEADER)), ctypes.c_void_p, _p(_u32)),
    "SCANGETDATA": (_i32, ctypes.c_void_p, _p(_u32), _i32),
    "SCANSETPARM": (ctypes.c_char_p, _p(h.ParmRecord), _u16, ctypes.c_void_p),
    "SCANSETSTATE": (_i32, _p(h.ParmRecord)),
    "SCANPARMSDLG": (ctypes.c_char_p, _p(h.ParmRecord)),
    "SCANPARMSDLG2": (ctypes.c_char_p, _p(h.ParmRecord), _i32),
    "SCANQUERYDEVNAMES": (ctypes.c_char_p, _u16),
    "SCANQUERYINFO": (ctypes.c_char_p, _u16, ctypes.c_void_p),
    "SCANQUERYPARM": (_p(h.ParmRecord), _u16, ctypes.c_void_p),
    "SCANQUERYCLT": (_p(h.ParmRecord), _p(h.SCAN_CLT_ENTRY)),
}

_loaded: Optional[ctypes.CDLL] = None
_loaded_path: Optional[str] = None
_lock = threading.Lock()


class LibraryNotFound(OSError):
    """The library could not be found or is not one this Python can load."""


def pe_pointer_size(path: Union[str, Path]) -> Optional[int]:
    """The pointer size (4 or 8) a Windows DLL is built for; None for a file that is not one."""
    try:
        with open(path, "rb") as file:
            dos = file.read(64)
            if len(dos) < 64 or dos[:2] != b"MZ":
                return None
            file.seek(struct.unpack_from("<I", dos, 60)[0])
            pe = file.read(6)
    except OSError:
        return None
    if len(pe) < 6 or pe[:4] != b"PE\0\0":
        return None
    return _PE_MACHINES.get(struct.unpack_from("<H", pe, 4)[0])


def library_file(path: Union[str, Path, None] = None, windows: bool = _WINDOWS,
                 edition: str = _EDITION) -> str:
    """Which file to load: `path`, else $KOVZAFT2_LIBRARY, else the installed library.

    Either may name the library itself or a folder holding it; on Windows a folder may also
    hold both editions, each in its own `win32` or `win64` folder, and the one of this Python's
    width is taken. A Windows DLL of the other width is refused with a clear message.
    """
    name = "KOVZAFT2.dll" if windows else "libKOVZAFT2.so"
    given = path if path is not None else os.environ.get(LIBRARY_VARIABLE)
    if not given:
        # The loader's own search: the installed library, or the DLL beside the program.
        return name
    candidate = Path(given)
    if candidate.is_dir():
        inside = [candidate / name, candidate / edition / name]
        found = next((file for file in inside if file.is_file()), None)
        if found is None:
            raise LibraryNotFound(f"{name} is not in {candidate} (nor in its {edition} folder)")
        candidate = found
    elif not candidate.is_file():
        raise LibraryNotFound(f"the library {candidate} does not exist")
    if windows:
        size = pe_pointer_size(candidate)
        wanted = 8 if edition == "win64" else 4
        if size != wanted:
            built = {4: "a 32-bit", 8: "a 64-bit"}.get(size or 0, "no Windows")
            raise LibraryNotFound(f"{candidate} is {built} DLL; this {wanted * 8}-bit Python "
                                  f"loads only the {edition} edition")
    return str(candidate)


def load(path: Union[str, Path, None] = None) -> ctypes.CDLL:
    """The loaded library, loading it on first use (see library_file for where from).

    A process holds one library: a second load naming another file is refused.
    """
    global _loaded, _loaded_path
    with _lock:
        if _loaded is not None:
            if path is not None and library_file(path) != _loaded_path:
                raise LibraryNotFound(f"the library is loaded already, from {_loaded_path}")
            return _loaded
        file = library_file(path)
        # The calls are stdcall in the 32-bit DLL; WinDLL is right for the x64 one as well.
        loader = getattr(ctypes, "WinDLL") if _WINDOWS else ctypes.CDLL
        try:
            library = loader(file)
        except OSError as failure:
            raise LibraryNotFound(f"cannot load {file}: {failure}") from failure
        for call, arguments in _PROTOTYPES.items():
            function = getattr(library, call)
            function.argtypes = arguments
            function.restype = _u16
        _loaded, _loaded_path = library, file
        return library
