# Kestrine: `make run` builds and starts the program, `make test` builds and runs every test.
# Missing Debian packages are installed first.

PRESET ?= default
# Each preset builds in a folder of its own (CMakePresets.json).
BUILD_DIR := $(if $(filter default,$(PRESET)),build,build-$(PRESET))
ARGS ?=

FUZZ_RUNS ?= 1000000

.PHONY: all deps build run test test-asan clean bench format fuzz package

all: build

deps:
	@bash scripts/install-deps.sh

build: deps
	@cmake --preset $(PRESET) >/dev/null
	@cmake --build --preset $(PRESET)

run: build
	@$(BUILD_DIR)/kestrine $(ARGS)

# The Debian package build/kestrine_<version>_amd64.deb (CPack, packaging/), built in its own
# folder from what it ships alone: no tests, no benchmarks.
package: deps
	@cmake --preset package >/dev/null
	@cmake --build --preset package --target package
	@mkdir -p build && cp build-package/kestrine_*_amd64.deb build/

test: deps
	@PRESET=$(PRESET) bash scripts/run-tests.sh

bench: build
	@bash scripts/install-deps.sh bench
	@rm -f $(BUILD_DIR)/bench.log
	@for b in copy window-copy startup search; do \
	  bash -o pipefail -c "bash bench/$$b.sh 2>&1 | tee -a $(BUILD_DIR)/bench.log" || exit 1; done
	@bash bench/summary.sh $(BUILD_DIR)/bench.log

# Each fuzz target FUZZ_RUNS runs on one core; clang is installed only for this.
fuzz:
	@bash scripts/install-deps.sh fuzz
	@FUZZ_RUNS=$(FUZZ_RUNS) bash scripts/fuzz.sh

clean:
	rm -rf build build-*

format:
	@bash scripts/format.sh
