# Quick start: `make demo` and `make test`. Each installs what is missing, configures and builds.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?=

.PHONY: all setup configure build test demo bench clean

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

bench: build
	cmake --build $(BUILD) -j $(JOBS) --target bench_all
	bash bench/run.sh $(BUILD)/bin

clean:
	rm -rf $(BUILD)
