# The two commands of the README, and the pieces they are made of.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: setup build test demo bench windows clean

setup:
	@bash tools/setup.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja

build: setup $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

# Every test, the GL ones included, runs under one virtual X server when
# there is no display.
test: build
	bash tools/run-tests.sh $(BUILD)

demo: build
	bash tools/demo.sh $(BUILD)

# The Windows package, cross-compiled: build-win/halcyon-windows.zip.
windows: setup
	bash tools/windows-build.sh

bench: build
	@for b in $(BUILD)/bench_*; do [ -x $$b ] && $$b; done

clean:
	rm -rf $(BUILD) build-*
