# The two commands: `make demo` and `make test`.
LINUX_DIR ?= build/linux-asan
WIN_DIR ?= build/win32
WIN64_DIR ?= build/win64
BENCH_DIR ?= build/bench
TSAN_DIR ?= build/linux-tsan
DEMO_DIR ?= build/demo
FUZZ_DIR ?= build/fuzz
FUZZ_SECONDS ?= 600
SOAK_DIR ?= build/soak
LINT_DIR ?= build/lint
SOAK_PAGES ?= 20000
JOBS ?= $(shell nproc)
# Whether the 32-bit edition's tests run under 32-bit Wine: only where this machine runs 32-bit
# programs, which a real try tells (some kernels leave 32-bit emulation off). Asked when a
# recipe runs, after bootstrap. The x64 edition's tests run everywhere.
WINE32 = $(shell scripts/runs-32-bit-programs && echo ON || echo OFF)
SKIPPED_32 = 32-bit Windows tests skipped: this machine runs no 32-bit programs

.PHONY: demo test build configure bootstrap clean bench tsan screenshots fuzz soak lint package

# The host program on generated sample batches: pages, documents (multi-page TIFF, and PDF
# searchable by the text OCR read) named after their invoice numbers, manifest and report; then
# both sides of sheets fed turned and skewed, shown upright and straight, blank backs dropped.
demo:
	scripts/bootstrap demo
	cmake -S . -B $(DEMO_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DKOV_TESTS=OFF
	cmake --build $(DEMO_DIR) -j $(JOBS) --target kovscan
	rm -rf $(DEMO_DIR)/samples $(DEMO_DIR)/batch
	$(DEMO_DIR)/tools/kovscan/kovscan samples $(DEMO_DIR)/samples
	$(DEMO_DIR)/tools/kovscan/kovscan scan --profile $(DEMO_DIR)/samples/zaft.ini \
	  --out $(DEMO_DIR)/batch --patches --barcodes --compression g4 --format both --ocr eng \
	  --name-by-barcode '^INV-'
	rm -rf $(DEMO_DIR)/duplex-samples $(DEMO_DIR)/duplex-batch
	$(DEMO_DIR)/tools/kovscan/kovscan samples $(DEMO_DIR)/duplex-samples --plan duplex
	$(DEMO_DIR)/tools/kovscan/kovscan scan --profile $(DEMO_DIR)/duplex-samples/zaft.ini \
	  --out $(DEMO_DIR)/duplex-batch --duplex --rotate auto --deskew --drop-blank --patches \
	  --compression g4 --format both --ocr eng

# Linux under the sanitizers, a short run of each fuzz target, then both Windows editions:
# their files, and their programs under Wine (the 32-bit ones only where they can run).
test: build
	cd $(LINUX_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 120 -LE sane
	cd $(LINUX_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 120 -L sane --repeat until-pass:3
	cd $(FUZZ_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 300
	cd $(WIN64_DIR) && ctest --output-on-failure --timeout 300
	cd $(WIN_DIR) && ctest --output-on-failure --timeout 300
	@[ "$(WINE32)" = ON ] || echo "$(SKIPPED_32)"

build: configure
	cmake --build $(LINUX_DIR) -j $(JOBS)
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target kovzaft2_fuzzers
	cmake --build $(WIN64_DIR) -j $(JOBS)
	cmake --build $(WIN_DIR) -j $(JOBS)

# Each edition's codec and barcode libraries and the TWAIN data source its tests run against
# are built once, from Debian's sources, into its build folder; the 32-bit source only where
# its tests can run. The DLL's barcode test compares it with the Linux build.
configure: bootstrap
	cmake -S . -B $(LINUX_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKOV_SANITIZE=ON
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DKOV_FUZZ=ON -DKOV_TESTS=OFF
	$(call configure_windows,x86_64,$(WIN64_DIR),ON)
	$(if $(filter ON,$(WINE32)),,@echo "$(SKIPPED_32)")
	$(call configure_windows,i686,$(WIN_DIR),$(WINE32))

# One Windows edition: $(1) the processor, $(2) its build folder, $(3) whether its programs run
# under Wine here.
define configure_windows
scripts/windows-codecs $(1) $(2)/codecs
$(if $(filter ON,$(3)),scripts/twain-test-source $(1) $(2)/twain-source)
cmake -S . -B $(2) -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-$(1).cmake -DKOV_CODEC_PREFIX=$(abspath $(2)/codecs) \
  -DKOV_TWAIN_SOURCE=$(abspath $(2)/twain-source) -DKOV_WINE=$(3) \
  -DKOV_LINUX_BUILD=$(abspath $(LINUX_DIR))
endef

# The Windows packages, $(WIN_DIR)/KOVZAFT2-win32.zip and $(WIN64_DIR)/KOVZAFT2-win64.zip: each
# edition's DLL, its import library, .def and header, kovscan.exe and a short guide. Not part
# of `test` (its test makes a zip of its own).
package: configure
	cmake --build $(WIN_DIR) -j $(JOBS) --target package
	cmake --build $(WIN64_DIR) -j $(JOBS) --target package

# Benchmarks, optimised as shipped; not part of `test`.
bench:
	scripts/bootstrap tests
	cmake -S . -B $(BENCH_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DKOV_BENCH=ON -DKOV_TESTS=OFF
	cmake --build $(BENCH_DIR) -j $(JOBS) --target kovzaft2_bench kovscan_bench python_bench
	$(BENCH_DIR)/bench/kovzaft2_bench
	$(BENCH_DIR)/bench/python_bench
	OMP_THREAD_LIMIT=1 $(BENCH_DIR)/bench/kovscan_bench

# The Linux tests under ThreadSanitizer, built with clang (which also keeps the tree free of
# clang's warnings); the stress test runs longer here. Not part of `test`.
tsan:
	scripts/bootstrap tests clang
	CC=clang CXX=clang++ cmake -S . -B $(TSAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKOV_TSAN=ON
	cmake --build $(TSAN_DIR) -j $(JOBS)
	cd $(TSAN_DIR) && KOV_STRESS_SECONDS=30 \
	  TSAN_OPTIONS="halt_on_error=1 suppressions=$(CURDIR)/tests/sanitizers/tsan.supp" \
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
	run-clang-tidy -p $(LINT_DIR) -quiet -j $(JOBS) '$(CURDIR)/(shared|src|sim|tools|tests|bench)/'

# Everything the tests of both builds need; each other target asks for its own sets.
bootstrap:
	scripts/bootstrap tests windows twain clang

clean:
	rm -rf build

# Pictures of the DLL's two dialogs under Wine, in $(WIN64_DIR)/screenshots (the x64 edition,
# whose Wine runs on every machine). Not part of `test`.
screenshots: build
	KOV_WINE_ARCH=win64 scripts/dialog-screenshots $(WIN64_DIR)
