# Quick start: `make demo` and `make test`. Each installs what is missing, configures and builds.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?=

.PHONY: all setup configure build test demo bench clean test-sanitize fuzz

all: build

setup:
	@bash scripts/setup.sh

configure: setup
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

demo: build
	bash examples/demo.sh $(BUILD)/bin/vocelle

# Debian packages vocelle and vocelle-dev, written to $(BUILD)/.
.PHONY: package
package: build
	cd $(BUILD) && cpack -G DEB

bench: build
	cmake --build $(BUILD) -j $(JOBS) --target bench_all
	bash bench/run.sh $(BUILD)/bin

# The whole suite again with every target instrumented (AddressSanitizer, UndefinedBehaviorSanitizer),
# in its own folder; any report fails the run.
SANITIZE_BUILD ?= build-sanitize
SANITIZER_ENV = ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:check_initialization_order=1 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

test-sanitize: setup
	cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVOCELLE_SANITIZE=ON \
		-DVOCELLE_BUILD_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	$(SANITIZER_ENV) ctest --test-dir $(SANITIZE_BUILD) --output-on-failure -j $(JOBS)

# Every fuzz target for FUZZ_SECONDS each (clang, libFuzzer, both sanitizers) in build-fuzz/;
# fails on any crash, leak, timeout, out-of-memory or sanitizer report.
FUZZ_SECONDS ?= 60

fuzz:
	@bash scripts/setup.sh fuzz
	FUZZ_SECONDS=$(FUZZ_SECONDS) JOBS=$(JOBS) bash fuzz/run.sh

clean:
	rm -rf $(BUILD)
