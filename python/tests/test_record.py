"""Records: kovscan's record files, every typed property through the library's calls, refusals."""

import subprocess
import sys
from pathlib import Path

import pytest

import kovzaft2
from kovzaft2 import Record, ScanError


@pytest.fixture
def scanner(library: kovzaft2.Library, samples: Path):
    with library.open(profile=samples / "zaft.ini") as opened:
        yield opened


def test_a_record_kovscan_saved_loads_and_saves_the_same_bytes(scanner, samples, kovscan,
                                                                   tmp_path):
    saved = tmp_path / "kovscan.rec"
    subprocess.run([str(kovscan), "record", "save", str(saved), "--profile",
                    str(samples / "zaft.ini"), "--dpi", "200", "--bits", "1", "--compression",
                    "g4", "--patches", "--barcodes"], check=True, capture_output=True)
    record = Record.load(saved)
    assert (record.size, record.driver, record.scanner_id) == (57546, "KOVDEMO", "KOV Demo Scanner")
    assert record.patches and record.barcodes and record.feeder
    assert (record.resolution, record.bits, record.compression) == ((200, 200), 1, "g4")
    assert ("XResolution", "200/1") in record.settings
    record.save(tmp_path / "again.rec")
    assert (tmp_path / "again.rec").read_bytes() == saved.read_bytes()

    # And back: kovscan reads what Python saved.
    record.patch_t = False
    record.save(tmp_path / "changed.rec")
    shown = subprocess.run([str(kovscan), "record", "show", str(tmp_path / "changed.rec")],
                           check=True, capture_output=True, text=True).stdout
    assert "Patch II 1, Patch III 1, Patch T 0, barcodes 1" in shown


def test_every_parameter_the_scanner_offers_round_trips(scanner):
    record = Record.initial()
    assert record.offered("resolution") == [100, 150, 200, 240, 300, 400, 600]
    assert record.offered("bits") == [1, 8, 24]
    for dpi in record.offered("resolution"):
        record.resolution = dpi
        assert record.resolution == (dpi, dpi)
    for bits in record.offered("bits"):
        record.bits = bits
        assert record.bits == bits
    record.set(resolution=300, bits=1)
    assert record.offered("compression") == ["none", "g3", "g3-2d", "g4"]
    for name in record.offered("compression"):
        record.compression = name
        assert record.compression == name
    record.area = (0, 0, 1200, 1500)
    assert record.area == (0, 0, 1200, 1500)
    for adf in (-1, 1):
        record.adf = adf
        assert record.adf == adf
    record.set_quick_control(1, 99)
    assert record.quick_control(1) == 99
    record.set_quick_control(1, 100)  # 100 and more are ignored
    assert record.quick_control(1) == 99


def test_the_records_own_fields_round_trip_through_its_bytes(scanner):
    record = Record.initial()
    record.patch_ii, record.patch_iii, record.patch_t, record.barcodes = True, False, True, True
    record.barcode_state = "symbologies=Code128;maxresults=2"
    record.discard_state = True
    copy = Record(bytes(record))
    assert copy == record
    assert (copy.patch_ii, copy.patch_iii, copy.patch_t, copy.barcodes) == (True, False, True, True)
    assert copy.barcode_state == "symbologies=Code128;maxresults=2" and copy.discard_state
    with pytest.raises(ValueError, match="at most 59 bytes"):
        record.driver = "D" * 60
    with pytest.raises(ValueError, match="57546 bytes, not 3"):
        Record(b"abc")


def test_refusals_raise_with_the_librarys_code_and_text(library, samples, tmp_path):
    with library.open(profile=tmp_path / "missing.ini"):
        with pytest.raises(ScanError) as refused:
            Record.initial()
    assert refused.value.code == kovzaft2.RC_SCAN_ZAFT_ERROR
    assert refused.value.name == "RC_SCAN_ZAFT_ERROR"
    assert "No scanner is selected" in refused.value.text
    assert "the profile " in str(refused.value)

    with library.open(profile=samples / "zaft.ini"):
        record = Record.initial()
        with pytest.raises(ScanError) as refused:
            record.resolution = 333
        assert (refused.value.call, refused.value.code) == ("SCANSETPARM",
                                                            kovzaft2.RC_SCAN_INVALID_PARM)
        assert record.resolution == (300, 300), "a refused value leaves the record as it was"
        with pytest.raises(ValueError, match="no compression 'lzw'"):
            record.compression = "lzw"
    (tmp_path / "short.rec").write_bytes(bytes(100))
    with pytest.raises(ValueError, match="not a saved parameter record"):
        Record.load(tmp_path / "short.rec")


def test_the_query_calls_answer_what_the_library_offers(library, samples):
    assert library.devices() == ["ZAFT Drivers"]
    assert library.record_size() == 57546
    assert library.quick_controls() == []
    assert library.quick_control(0) == (0, 100, "Title 1", "1,0;99,100")
    with library.open(profile=samples / "zaft.ini"):
        record = Record.initial()
        record.bits = 8
        assert record.colour_table()[:3] == [(0, 0, 0), (1, 1, 1), (2, 2, 2)]
        record.bits = 1
        assert record.colour_table()[:2] == [(0, 0, 0), (255, 255, 255)]


def test_the_library_refuses_calls_before_it_is_initialised(library):
    library.close()
    with pytest.raises(ScanError) as refused:
        library.devices()
    assert refused.value.name == "RC_SCAN_NOT_INITIALIZED"


EDIT = """
import sys, kovzaft2
with kovzaft2.Library() as library, library.open(profile=sys.argv[1]):
    record = kovzaft2.Record.initial()
    print("edited:", record.edit(), record.barcodes, record.patch_ii)
"""


# The bar/patch dialog (1000): barcodes (1006) and Patch II (1002) switched on, then OK (1)
# there and OK or Cancel (2) in the settings dialog.
@pytest.mark.parametrize("answers, outcome", [("1000\n1006\n1002\n1\n1\n", "True True True"),
                                              ("1000\n1006\n1002\n1\n2\n", "False False False")])
def test_the_settings_dialog_edits_the_record_on_ok_only(feeder, answers, outcome):
    # On Linux the dialog is drawn on the terminal and answered from standard input.
    shown = subprocess.run([sys.executable, "-c", EDIT, str(feeder)], input=answers, text=True,
                           capture_output=True, check=True, timeout=60).stdout
    assert shown[shown.rindex("edited: ") + 8:].strip() == outcome
