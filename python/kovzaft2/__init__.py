"""Scanning through the KOVZAFT2 library from Python.

    import kovzaft2

    with kovzaft2.Library() as library, library.open(profile="zaft.ini") as scanner:
        record = kovzaft2.Record.initial()
        record.set(resolution=300, bits=1, compression="g4")
        record.patches = True
        for page in scanner.pages(record):
            page.save(f"page{page.sequence:04}.tif")

The library is found through Library(path), else $KOVZAFT2_LIBRARY, else the installed
library (libKOVZAFT2.so, or KOVZAFT2.dll of this Python's width on Windows).
"""

from ._header import *  # noqa: F401,F403 - the header's return codes and identifiers
from ._loader import LibraryNotFound, library_file
from .errors import ScanError, code_name
from .page import Page
from .record import COMPRESSIONS, DEVICE, Area, Record, Resolution
from .scanner import Library, QuickControl, Scanner

__all__ = ["Area", "COMPRESSIONS", "DEVICE", "Library", "LibraryNotFound", "Page",
           "QuickControl", "Record", "Resolution", "ScanError", "Scanner", "code_name",
           "library_file"]
