"""SANE's `test` device through Python beside `scanimage`: the same pages, byte for byte.

SANE reads tests/sane (make test sets SANE_CONFIG_DIR), which lists only the test backend."""

import subprocess
from pathlib import Path

import pytest

import kovzaft2
from kovzaft2 import Record

pytestmark = pytest.mark.sane

PROFILE = """[ZAFT]
Scanner=SANE
[SANE]
Type=SaneScanner
Device=test
Option.test-picture=Grid
Option.read-return-value=Default
Option.read-delay=no
Option.read-limit=no
"""


def pnm_raster(path: Path) -> bytes:
    """The raster of a PNM file as scanimage writes it (P4, P5 or P6, comments allowed). The bits
    after a one-bit row's last dot are whatever the device left there: the library clears them."""
    data = path.read_bytes()
    fields, at = [], 0
    while len(fields) < (3 if data[:2] == b"P4" else 4):
        while data[at:at + 1].isspace():
            at += 1
        if data[at:at + 1] == b"#":
            at = data.index(b"\n", at)
            continue
        end = at
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[at:end])
        at = end
    raster = bytearray(data[at + 1:])
    width = int(fields[1])
    if fields[0] == b"P4" and width % 8:
        row = (width + 7) // 8
        for end in range(row, len(raster) + 1, row):
            raster[end - 1] &= (0xFF << (8 - width % 8)) & 0xFF
    return bytes(raster)


def scanimage_pages(folder: Path, bits: int, dpi: int) -> list:
    """The rasters scanimage writes for the test device's feeder with those settings."""
    folder.mkdir()
    command = ["timeout", "60", "scanimage", "-d", "test", "--source",
               "Automatic Document Feeder", "--test-picture", "Grid", "--mode", "Color" if bits == 24 else "Gray",
               "--depth", "8" if bits == 24 else str(bits), "--resolution", str(dpi), "--format=pnm",
               f"--batch={folder}/p%02d.pnm"]
    subprocess.run(command, capture_output=True)
    return [pnm_raster(file) for file in sorted(folder.iterdir())]


@pytest.mark.parametrize("bits", [8, 24])
def test_the_test_devices_feeder_comes_as_scanimage_writes_it(library, tmp_path, bits):
    (tmp_path / "zaft.ini").write_text(PROFILE)
    with library.open(profile=tmp_path / "zaft.ini") as scanner:
        record = Record.initial().set(resolution=100, bits=bits, adf=1)
        pages = list(scanner.pages(record))
    expected = scanimage_pages(tmp_path / "scanimage", bits, 100)
    assert expected, "scanimage wrote no page"
    assert [bytes(page.data) for page in pages] == expected
    assert all(page.resolution == (100, 100) and page.bits == bits for page in pages)
    assert len(pages) > 1
