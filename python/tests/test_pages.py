"""Pages through Python beside kovscan's, failures, kills from another thread and Ctrl-C, and
what many sessions leave behind."""

import ctypes
import gc
import itertools
import json
import os
import signal
import subprocess
import sys
import threading
import time
from pathlib import Path
from typing import List

import pytest

import kovzaft2
from kovzaft2 import Page, Record, ScanError

from conftest import ROOT, feeder_profile


def sample_record(compression: str, bits: int) -> Record:
    record = Record.initial().set(bits=bits, compression=compression)
    record.patches = record.barcodes = True
    return record


def kovscan_batch(kovscan: Path, samples: Path, folder: Path, compression: str, bits: int) -> dict:
    subprocess.run([str(kovscan), "scan", "--profile", str(samples / "zaft.ini"), "--out",
                    str(folder), "--patches", "--barcodes", "--compression", compression,
                    "--bits", str(bits)], check=True, capture_output=True)
    return json.loads((folder / "manifest.json").read_text())


def delivered_data(path: Path) -> bytes:
    """A kovscan page file's data as delivered: a JPEG file whole, a TIFF's one strip."""
    if path.suffix == ".jpg":
        return path.read_bytes()
    from PIL import Image
    with Image.open(path) as image:
        start, size = image.tag_v2[273][0], image.tag_v2[279][0]
    return path.read_bytes()[start:start + size]


@pytest.mark.parametrize("compression, bits", [("g4", 1), ("jpeg", 8)])
def test_the_sample_batch_comes_as_kovscan_gets_it(library, feeder, samples, kovscan, tmp_path,
                                                   compression, bits):
    with library.open(profile=feeder) as scanner:
        pages = list(scanner.pages(sample_record(compression, bits)))
    manifest = kovscan_batch(kovscan, samples, tmp_path / "kovscan", compression, bits)

    assert len(pages) == len(manifest["pages"]) == 12
    for page, listed in zip(pages, manifest["pages"]):
        header = listed["header"]
        assert (page.sequence, page.level, page.side, page.compression, page.lines, page.width) == (
            header["sequence"], header["level"], header["side"], header["compression"],
            header["lines"], header["width"])
        assert [text.decode() for text in page.barcodes] == header["barcodes"]
        kovscans = tmp_path / "kovscan" / listed["file"]
        assert page.data == delivered_data(kovscans), listed["file"]
        if kovscans.suffix == ".tif":
            page.save(tmp_path / "python.tif")
            # libtiff's own comparison: the same tags and the same image.
            subprocess.run(["tiffcmp", str(kovscans), str(tmp_path / "python.tif")], check=True)
    assert [page.patch_code for page in pages if page.patch_code] == ["II", "T", "III"]


def first_pages(samples: Path, folder: Path, compression: str, bits: int,
                count: int) -> List[Page]:
    """The first pages of the batch, from a scanner of their own (a full feeder)."""
    profile = feeder_profile(samples, folder / f"{compression}-{bits}")
    with kovzaft2.Library() as library, library.open(profile=profile) as scanner:
        return list(itertools.islice(scanner.pages(sample_record(compression, bits)), count))


def test_every_compression_decodes_to_the_same_picture(library, samples, tmp_path):
    library.close()
    plain = [page.image() for page in first_pages(samples, tmp_path, "none", 1, 2)]
    assert plain[0].size == (2544, 3300) and plain[0].mode == "1"
    for compression in ("g3", "g3-2d", "g4"):
        coded = first_pages(samples, tmp_path, compression, 1, 2)
        assert [page.image().tobytes() for page in coded] == [image.tobytes() for image in plain]
        coded[1].save(tmp_path / f"{compression}.tif")
        subprocess.run(["tiffinfo", "-D", str(tmp_path / f"{compression}.tif")], check=True,
                       capture_output=True)
    gray = first_pages(samples, tmp_path, "none", 8, 1)[0].image()
    jpeg = first_pages(samples, tmp_path, "jpeg", 8, 1)[0]
    assert jpeg.image().size == gray.size and gray.mode == "L"
    jpeg.save(tmp_path / "jpeg.tif")
    subprocess.run(["tiffinfo", "-D", str(tmp_path / "jpeg.tif")], check=True, capture_output=True)


def test_a_failing_page_raises_and_stays_in_the_feeder(library, feeder, switches):
    with library.open(profile=feeder) as scanner:
        record = Record.initial().set(bits=1, compression="none")
        scanner.send(record)
        switches.fail_next("Alloc", 3)  # the storage filter's third block
        with pytest.raises(ScanError) as failed:
            scanner.next_page()
        assert failed.value.code == kovzaft2.RC_SCAN_ZAFT_ERROR
        assert "(-4500)" in failed.value.text
        assert switches.live_blocks() == 0
        pages = list(scanner.pages(record))
    assert len(pages) == 12, "the failed page came again"


def scan_in_thread(scanner: kovzaft2.Scanner, pages: list, failures: list) -> threading.Thread:
    def run() -> None:
        try:
            pages.extend(scanner.pages())
        except BaseException as failure:  # noqa: B036 - handed to the test
            failures.append(failure)
    thread = threading.Thread(target=run)
    thread.start()
    return thread


def test_a_kill_from_another_thread_ends_the_run_and_the_next_run_works(library, feeder,
                                                                        switches):
    with library.open(profile=feeder) as scanner:
        # Uncompressed: the run holds inside the storage filter's first block, the scanner
        # still scanning.
        scanner.send(Record.initial().set(bits=1, compression="none"))
        switches.hold_next("Alloc")
        pages: list = []
        failures: list = []
        thread = scan_in_thread(scanner, pages, failures)
        switches.wait_until_held("Alloc")
        scanner.kill()
        switches.release("Alloc")
        thread.join(60)
        assert (pages, failures) == ([], []), "the run ended without a page and without a failure"
        assert switches.live_blocks() == 0
        again = list(scanner.pages())
    assert len(again) == 12, "the killed page stayed in the feeder"


def test_ctrl_c_inside_pages_kills_the_run_and_the_next_run_works(library, feeder, switches):
    with library.open(profile=feeder) as scanner:
        first = next(scanner.pages(Record.initial().set(bits=1, compression="none")))

        def interrupt() -> None:
            switches.wait_until_held("Alloc")
            os.kill(os.getpid(), signal.SIGINT)
            deadline = time.monotonic() + 30
            while not scanner._killed.is_set() and time.monotonic() < deadline:
                time.sleep(0.01)
            switches.release("Alloc")

        switches.hold_next("Alloc")
        helper = threading.Thread(target=interrupt)
        helper.start()
        with pytest.raises(KeyboardInterrupt):
            for _ in scanner.pages():
                pass
        helper.join(60)
        assert switches.live_blocks() == 0
        rest = list(scanner.pages())
    assert first.sequence + 1 == rest[0].sequence, "the interrupted page came again"
    assert len(rest) == 11


def heap_bytes() -> int:
    """Bytes the process holds on its heap: AddressSanitizer's count of live allocations where
    its runtime is loaded (resident memory would count its quarantine), else resident memory."""
    gc.collect()
    try:
        count = ctypes.CDLL(None).__sanitizer_get_current_allocated_bytes
    except AttributeError:
        with open("/proc/self/status") as status:
            return next(int(line.split()[1]) * 1024 for line in status
                        if line.startswith("VmRSS:"))
    count.restype = ctypes.c_size_t
    return int(count())


def test_a_thousand_sessions_leave_nothing_behind(library, feeder, switches):
    library.close()

    def session() -> None:
        with kovzaft2.Library() as opened, opened.open(profile=feeder) as scanner:
            scanner.send(Record.initial())

    for _ in range(100):
        session()
    files, threads, heap = len(os.listdir("/proc/self/fd")), threading.active_count(), heap_bytes()
    for _ in range(900):
        session()
    assert len(os.listdir("/proc/self/fd")) == files
    assert threading.active_count() == threads
    assert len(os.listdir("/proc/self/task")) <= threads + 1
    assert (switches.live_blocks(), switches.live_images()) == (0, 0)
    assert heap_bytes() - heap < 256 * 1024, "the heap grew with the sessions"


def test_the_readme_example_scans_the_feeder_to_tiff_files(feeder):
    readme = (ROOT / "README.md").read_text()
    example = readme[readme.index("<!-- python example -->"):]
    start = example.index("```python\n") + len("```python\n")
    code = example[start:example.index("\n```", start)]
    subprocess.run([sys.executable, "-c", code], cwd=feeder.parent, check=True, timeout=120)
    written = sorted(path.name for path in feeder.parent.glob("page-*.tif"))
    assert len(written) == 12
    assert [name for name in written if not name.endswith("-text.tif")] == [
        "page-0005-II.tif", "page-0009-T.tif", "page-0011-III.tif"]
