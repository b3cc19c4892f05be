# The two commands: `make demo` and `make test`.
LINUX_DIR ?= build/linux-asan
WIN_DIR ?= build/win32
BENCH_DIR ?= build/bench
TSAN_DIR ?= build/linux-tsan
DEMO_DIR ?= build/demo
FUZZ_DIR ?= build/fuzz
FUZZ_SECONDS ?= 600
SOAK_DIR ?= build/soak
LINT_DIR ?= build/lint
SOAK_PAGES ?= 20000
JOBS ?= $(shell nproc)

.PHONY: demo test build configure bootstrap clean bench tsan screenshots fuzz soak lint package

# The host program on a generated sample batch: pages, documents (multi-page TIFF, and PDF
# searchable by the text OCR read) named after their invoice numbers, manifest and report.
demo:
	scripts/bootstrap demo
	cmake -S . -B $(DEMO_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DKOV_TESTS=OFF
	cmake --build $(DEMO_DIR) -j $(JOBS) --target kovscan
	$(DEMO_DIR)/tools/kovscan/kovscan samples $(DEMO_DIR)/samples
	rm -rf $(DEMO_DIR)/batch
	$(DEMO_DIR)/tools/kovscan/kovscan scan --profile $(DEMO_DIR)/samples/zaft.ini \
	  --out $(DEMO_DIR)/batch --patches --barcodes --compression g4 --format both --ocr eng \
	  --name-by-barcode '^INV-'

# Linux under the sanitizers, a short run of each fuzz target, then the Windows DLL: its
# exports and a host session in Wine.
test: build
	cd $(LINUX_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 120 -LE sane
	cd $(LINUX_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 120 -L sane --repeat until-pass:3
	cd $(FUZZ_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 300
	cd $(WIN_DIR) && ctest --output-on-failure --timeout 300

build: configure
	cmake --build $(LINUX_DIR) -j $(JOBS)
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target kovzaft2_fuzzers
	cmake --build $(WIN_DIR) -j $(JOBS)

# The DLL's codec and barcode libraries and the TWAIN data source its tests run against are
# built once, from Debian's sources, into the build folder. The DLL's barcode test compares
# it with the Linux build.
configure: bootstrap
	cmake -S . -B $(LINUX_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKOV_SANITIZE=ON
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DKOV_FUZZ=ON -DKOV_TESTS=OFF
	scripts/windows-codecs $(WIN_DIR)/codecs
	scripts/twain-test-source $(WIN_DIR)/twain-source
	cmake -S . -B $(WIN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DKOV_CODEC_PREFIX=$(abspath $(WIN_DIR)/codecs) \
	  -DKOV_TWAIN_SOURCE=$(abspath $(WIN_DIR)/twain-source) \
	  -DKOV_LINUX_BUILD=$(abspath $(LINUX_DIR))

# The Windows package, $(WIN_DIR)/KOVZAFT2-win32.zip: the DLL, its import library, .def and
# header, kovscan.exe and a short guide. Not part of `test` (its test makes a zip of its own).
package: configure
	cmake --build $(WIN_DIR) -j $(JOBS) --target package

# Benchmarks, optimised as shipped; not part of `test`.
bench:
	scripts/bootstrap tests
	cmake -S . -B $(BENCH_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DKOV_BENCH=ON -DKOV_TESTS=OFF
	cmake --build $(BENCH_DIR) -j $(JOBS) --target kovzaft2_bench kovscan_bench
	$(BENCH_DIR)/bench/kovzaft2_bench
	OMP_THREAD_LIMIT=1 $(BENCH_DIR)/bench/kovscan_bench

# The Linux tests under ThreadSanitizer, built with clang (which also keeps the tree free of
# clang's warnings); the stress test runs longer here. Not part of `test`.
tsan:
	scripts/bootstrap tests clang
	CC=clang CXX=clang++ cmake -S . -B $(TSAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKOV_TSAN=ON
	cmake --build $(TSAN_DIR) -j $(JOBS)
	cd $(TSAN_DIR) && KOV_STRESS_SECONDS=30 TSAN_OPTIONS=halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS) --timeout 300 -E include_rules

# Each fuzz target for FUZZ_SECONDS, two at a time on the machine's cores; new inputs stay
# in $(FUZZ_DIR)/fuzz/work/<target>/corpus. Not part of `test`.
fuzz: configure
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target kovzaft2_fuzzers
	cd $(FUZZ_DIR) && KOV_FUZZ_SECONDS=$(FUZZ_SECONDS) \
	  ctest --output-on-failure -j $(JOBS) --timeout $$(($(FUZZ_SECONDS) + 300))

# A long batch of pages through the exported calls, optimised as shipped, each page checked
# and the resident memory followed. Not part of `test`.
soak:
	scripts/bootstrap tests
	cmake -S . -B $(SOAK_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release
	cmake --build $(SOAK_DIR) -j $(JOBS) --target kovzaft2_soak
	$(SOAK_DIR)/tests/soak/kovzaft2_soak $(SOAK_PAGES)

# clang-tidy's checks (.clang-tidy) on every source the Linux build compiles, the tests and
# benchmarks included; any finding fails. Not part of `test`.
lint:
	scripts/bootstrap tests clang
	cmake -S . -B $(LINT_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKOV_BENCH=ON
	run-clang-tidy -p $(LINT_DIR) -quiet -j $(JOBS) '$(CURDIR)/(src|sim|tools|tests|bench)/'

# Everything the tests of both builds need; each other target asks for its own sets.
bootstrap:
	scripts/bootstrap tests windows twain clang

clean:
	rm -rf build

# Pictures of the DLL's two dialogs under Wine, in $(WIN_DIR)/screenshots. Not part of `test`.
screenshots: build
	scripts/dialog-screenshots $(WIN_DIR)
