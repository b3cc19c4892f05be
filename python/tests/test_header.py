"""The package's ctypes records, constants and call declarations against the C header, and
where it looks for the library."""

import ctypes
import re
import struct
from pathlib import Path

import pytest

import kovzaft2
from kovzaft2 import _header, _loader

from conftest import HEADER, ROOT

TEXT = HEADER.read_text()
C_SIZES = {"uint8_t": 1, "char": 1, "int16_t": 2, "uint16_t": 2, "int32_t": 4, "uint32_t": 4}


def header_structures():
    """Each typedef'd structure: its fields as (name, C type, element count)."""
    found = {}
    for name, body in re.findall(r"typedef struct (\w+) \{(.*?)\} \1;", TEXT, re.DOTALL):
        fields = []
        for kind, field, count in re.findall(r"^\s*(\w+) (\w+)(?:\[(\w+)\])?;", body, re.MULTILINE):
            number = int(count) if count.isdigit() else getattr(_header, count, None) if count else 1
            fields.append((field, kind, number))
        found[name] = fields
    return found


def test_every_structure_has_the_headers_fields_sizes_and_offsets():
    structures = header_structures()
    assert set(structures) == {kind.__name__ for kind in _header.STRUCTURES}
    for kind in _header.STRUCTURES:
        fields = structures[kind.__name__]
        assert [name for name, *_ in kind._fields_] == [name for name, *_ in fields], kind
        for (name, c_type, count), (_, py_type) in zip(fields, kind._fields_):
            element = C_SIZES.get(c_type) or ctypes.sizeof(getattr(_header, c_type))
            assert ctypes.sizeof(py_type) == element * count, f"{kind.__name__}.{name}"
    pinned = re.findall(r"offsetof\((\w+), (\w+)\) == (\d+)", TEXT)
    assert len(pinned) > 40
    for structure, field, offset in pinned:
        assert getattr(getattr(_header, structure), field).offset == int(offset)
    for structure, size in re.findall(r"sizeof\((\w+)\) == (\w+)", TEXT):
        expected = int(size) if size.isdigit() else getattr(_header, size)
        assert ctypes.sizeof(getattr(_header, structure)) == expected


def test_every_numeric_constant_is_the_headers():
    defines = re.findall(r"^#define (\w+) (0x[0-9a-fA-F]+|\d+)\b", TEXT, re.MULTILINE)
    assert len(defines) > 50
    for name, value in defines:
        assert getattr(kovzaft2, name) == int(value, 0), name
    listed = re.findall(r"X\((RC_SCAN_\w+)\)", TEXT[TEXT.index("#define KOV_RETURN_CODES"):])
    assert list(_header.RETURN_CODES.values()) == listed


def test_every_call_is_declared_with_the_headers_arguments():
    declared = dict(re.findall(r"KOVEXPORT uint16_t KOVAPI (SCAN\w+)\(([^)]*)\)", TEXT))
    for call, arguments in _loader._PROTOTYPES.items():
        assert call in declared
        listed = [part for part in declared[call].split(",") if part.strip() not in ("", "void")]
        assert len(arguments) == len(listed), call


def pe_file(folder: Path, machine: int) -> Path:
    """The start of a Windows DLL of that machine: as far as its COFF header's machine."""
    path = folder / "KOVZAFT2.dll"
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(b"MZ" + bytes(58) + struct.pack("<I", 64) + b"PE\0\0" +
                     struct.pack("<H", machine) + bytes(32))
    return path


def test_windows_takes_the_dll_of_the_pythons_width(tmp_path: Path, monkeypatch):
    win32 = pe_file(tmp_path / "win32", 0x014C)
    win64 = pe_file(tmp_path / "win64", 0x8664)
    assert _loader.library_file(tmp_path, windows=True, edition="win32") == str(win32)
    assert _loader.library_file(tmp_path, windows=True, edition="win64") == str(win64)
    assert _loader.library_file(win64.parent, windows=True, edition="win64") == str(win64)
    with pytest.raises(kovzaft2.LibraryNotFound, match="is a 64-bit DLL; this 32-bit Python"):
        _loader.library_file(win64, windows=True, edition="win32")
    with pytest.raises(kovzaft2.LibraryNotFound, match="is a 32-bit DLL; this 64-bit Python"):
        _loader.library_file(win32, windows=True, edition="win64")
    (tmp_path / "plain.dll").write_bytes(b"not a DLL")
    with pytest.raises(kovzaft2.LibraryNotFound, match="is no Windows DLL"):
        _loader.library_file(tmp_path / "plain.dll", windows=True, edition="win64")
    monkeypatch.delenv(_loader.LIBRARY_VARIABLE, raising=False)
    assert _loader.library_file(None, windows=True) == "KOVZAFT2.dll"


@pytest.mark.parametrize("edition, bits", [("win32", 4), ("win64", 8)])
def test_the_cross_built_dlls_are_told_apart(edition: str, bits: int):
    dll = ROOT / "build" / edition / "bin" / "KOVZAFT2.dll"
    if not dll.is_file():
        pytest.skip(f"no {edition} build here")
    assert _loader.pe_pointer_size(dll) == bits


def test_linux_looks_for_the_library_where_it_is_told(tmp_path: Path, monkeypatch):
    monkeypatch.delenv(_loader.LIBRARY_VARIABLE, raising=False)
    assert _loader.library_file(None, windows=False) == "libKOVZAFT2.so"
    with pytest.raises(kovzaft2.LibraryNotFound, match="does not exist"):
        _loader.library_file(tmp_path / "missing.so", windows=False)
    with pytest.raises(kovzaft2.LibraryNotFound, match="is not in"):
        _loader.library_file(tmp_path, windows=False)
    (tmp_path / "libKOVZAFT2.so").write_bytes(b"")
    monkeypatch.setenv(_loader.LIBRARY_VARIABLE, str(tmp_path))
    assert _loader.library_file(None, windows=False) == str(tmp_path / "libKOVZAFT2.so")
