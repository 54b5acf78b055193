# Two entry points for a fresh Debian 12 machine:
#   make run    installs what is missing, builds, starts the program
#   make test   installs what is missing, builds, runs the whole suite headless,
#               then builds and runs it again under AddressSanitizer and
#               UndefinedBehaviorSanitizer
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
CTEST       = QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)
# Leaks inside system libraries that the program cannot free: see the file.
SANITIZER_ENV = ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
                LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
                UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

.PHONY: run test setup build build-asan bench screenshots clean

run: build
	$(BUILD)/app/digits

test: build build-asan
	cd $(BUILD) && $(CTEST)
	cd $(ASAN_BUILD) && $(SANITIZER_ENV) $(CTEST)

bench: build
	$(BUILD)/bench/digits_bench

screenshots: build
	./scripts/screenshot $(BUILD) shot docs/start.png \
	  train screen docs/train.png ok digit 3 test shot docs/test.png chart shot docs/chart3d.png \
	  chart hover 200 150 chartshot docs/readout.png

setup:
	./scripts/setup

build: setup
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

build-asan: setup
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDIGITS_SANITIZE=ON -DDIGITS_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
