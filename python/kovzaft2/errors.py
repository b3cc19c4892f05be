"""The one exception the package raises for a call the library answered with a failure."""

from . import _header as h


def code_name(code: int) -> str:
    """The code's name from the header (`RC_SCAN_INVALID_PARM`), or its value in hexadecimal."""
    return h.RETURN_CODES.get(code, f"0x{code:04x}")


class ScanError(Exception):
    """A call that failed: which call, its return code, the code's name and the library's text.

    `text` is what SCANLASTERROR said right after the call: the code's name or the framework's
    own words (a driver's error number and message).
    """

    def __init__(self, call: str, code: int, text: str) -> None:
        self.call = call
        self.code = code
        self.name = code_name(code)
        self.text = text
        # The text says more than the name only for the framework's own failures.
        said = f": {text}" if text and text != self.name else ""
        super().__init__(f"{call} answered {self.name}{said}")
