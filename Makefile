# Two entry points for a fresh Debian 12 machine:
#   make run    installs what is missing, builds, starts the program
#   make test   installs what is missing, builds, runs the whole suite headless
BUILD     ?= build
BUILDTYPE ?= RelWithDebInfo
JOBS      ?= $(shell nproc)

.PHONY: run test setup build bench clean

run: build
	./$(BUILD)/app/digits

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

bench: build
	./$(BUILD)/bench/digits_bench

setup:
	./scripts/setup

build: setup
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(BUILDTYPE)
	cmake --build $(BUILD) -j $(JOBS)

clean:
	rm -rf $(BUILD)
