"""What the package's tests share: the library and kovscan that `make test` built, sample
batches kovscan draws, profiles, and the stand-in framework's call switches."""

import ctypes
import itertools
import os
import re
import subprocess
from pathlib import Path
from typing import Iterator

import pytest

import kovzaft2

ROOT = Path(__file__).resolve().parents[2]
HEADER = ROOT / "include" / "kovzaft2.h"


def _required(variable: str) -> Path:
    value = os.environ.get(variable)
    if not value:
        pytest.exit(f"${variable} must name what the build made (make test sets it)", 2)
    return Path(value)


@pytest.fixture(scope="session")
def kovscan() -> Path:
    return _required("KOVSCAN")


@pytest.fixture(scope="session")
def samples(kovscan: Path, tmp_path_factory: pytest.TempPathFactory) -> Path:
    """kovscan's sample batch: its pages and the profile of a virtual scanner feeding them."""
    folder = tmp_path_factory.mktemp("samples") / "batch"
    subprocess.run([str(kovscan), "samples", str(folder)], check=True, capture_output=True)
    return folder


@pytest.fixture
def library() -> Iterator[kovzaft2.Library]:
    _required(kovzaft2._loader.LIBRARY_VARIABLE)
    with kovzaft2.Library() as opened:
        yield opened


_scanner_numbers = itertools.count(1)


def feeder_profile(samples: Path, folder: Path) -> Path:
    """A profile whose virtual scanner feeds the sample pages. The stand-in keeps a scanner's
    feeder for the life of the process, so each profile names a scanner of its own."""
    name = f"PY{next(_scanner_numbers)}"
    folder.mkdir(parents=True, exist_ok=True)
    path = folder / "zaft.ini"
    path.write_text(f"[ZAFT]\nScanner={name}\n[{name}]\nType=VirtualScanner\n"
                    f"Id=KOV Demo Scanner\nImageFolder={samples / 'pages'}\nImageDpi=300\n")
    return path


@pytest.fixture
def feeder(samples: Path, tmp_path: Path) -> Path:
    return feeder_profile(samples, tmp_path / "profile")


class Switches:
    """The stand-in framework's call switches (its test interface), to fail or hold one call."""

    def __init__(self) -> None:
        self._sim = ctypes.CDLL(str(_required("KOVZAFT2_FRAMEWORK")))
        source = (ROOT / "sim" / "services" / "faults" / "switches.h").read_text()
        body = source[source.index("enum class Op"):]
        body = body[:body.index("\n};")]
        self._ops = re.findall(r"^\s+(\w+),", body, re.MULTILINE)

    def _op(self, name: str) -> int:
        return self._ops.index(name)

    def fail_next(self, op: str, k: int = 1) -> None:
        self._sim._ZN3sim8FailNextENS_2OpEj(ctypes.c_size_t(self._op(op)), ctypes.c_uint32(k))

    def hold_next(self, op: str) -> None:
        self._sim._ZN3sim8HoldNextENS_2OpE(ctypes.c_size_t(self._op(op)))

    def wait_until_held(self, op: str) -> None:
        self._sim._ZN3sim13WaitUntilHeldENS_2OpE(ctypes.c_size_t(self._op(op)))

    def release(self, op: str) -> None:
        self._sim._ZN3sim7ReleaseENS_2OpE(ctypes.c_size_t(self._op(op)))

    def live_blocks(self) -> int:
        self._sim._ZN3sim14LiveBlockCountEv.restype = ctypes.c_size_t
        return int(self._sim._ZN3sim14LiveBlockCountEv())

    def live_images(self) -> int:
        self._sim._ZN3sim14LiveImageCountEv.restype = ctypes.c_size_t
        return int(self._sim._ZN3sim14LiveImageCountEv())

    def reset(self) -> None:
        self._sim._ZN3sim13ResetSwitchesEv()


@pytest.fixture
def switches(library: kovzaft2.Library) -> Iterator[Switches]:
    chosen = Switches()
    yield chosen
    chosen.reset()
