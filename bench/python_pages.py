"""A Python host's run of pages through the kovzaft2 package, for python_pages_bench: prints,
as JSON, the pages, the seconds from the first page call to the empty feeder, and the resident
memory in MiB after the pages named by --memory-at."""

import argparse
import json
import time

import kovzaft2


def resident_mib() -> float:
    with open("/proc/self/status") as status:
        return next(int(line.split()[1]) / 1024 for line in status if line.startswith("VmRSS:"))


def main() -> None:
    arguments = argparse.ArgumentParser()
    arguments.add_argument("--profile", required=True)
    arguments.add_argument("--bits", type=int, required=True)
    arguments.add_argument("--compression", default="none")
    arguments.add_argument("--detect", action="store_true", help="patch codes and barcodes")
    arguments.add_argument("--memory-at", type=int, nargs="*", default=[])
    options = arguments.parse_args()

    resident = {}
    with kovzaft2.Library() as library, library.open(profile=options.profile) as scanner:
        record = kovzaft2.Record.initial().set(bits=options.bits, compression=options.compression)
        record.patches = record.barcodes = options.detect
        scanner.send(record)
        pages = 0
        start = time.perf_counter()
        for _page in scanner.pages():
            pages += 1
            if pages in options.memory_at:
                resident[pages] = resident_mib()
        seconds = time.perf_counter() - start
    print(json.dumps({"pages": pages, "seconds": seconds, "resident": resident}))


if __name__ == "__main__":
    main()
