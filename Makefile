# The two commands: `make test` (and, once the host program exists, `make demo`).
BUILD_DIR ?= build/linux-asan
JOBS ?= $(shell nproc)

.PHONY: test build configure bootstrap clean

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 120

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

configure: bootstrap
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKOV_SANITIZE=ON

bootstrap:
	scripts/bootstrap

clean:
	rm -rf build
