# Two entry points for a fresh Debian 12 machine:
#   make run    installs what is missing, builds, starts the program
#   make test   installs what is missing, builds, runs the whole suite headless,
#               then builds and runs it again under AddressSanitizer and
#               UndefinedBehaviorSanitizer, then the engine's suite on arm64
#               (make test-arm64: cross-built, run under qemu)
BUILD      ?= build
ASAN_BUILD ?= build-asan
ARM64_BUILD ?= build-arm64
JOBS       ?= $(shell nproc)
CTEST       = QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)
# Leaks inside system libraries that the program cannot free: see the file.
SANITIZER_ENV = ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
                LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
                UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

.PHONY: run test test-arm64 setup build build-asan bench screenshots clean

run: build
	$(BUILD)/app/digits

test: build build-asan
	cd $(BUILD) && $(CTEST)
	cd $(ASAN_BUILD) && $(SANITIZER_ENV) $(CTEST)
	$(MAKE) test-arm64

# The engine and its tests cross-built for arm64, run under qemu-aarch64,
# which is some thirty times slower: without the two full extra runs and the
# check of x86-64's own exponential, which the native suite makes.
ARM64_SKIP = FastLearner.TwoOtherStartsAgreeForAFullRun|ExactnessChecks.ExponentialStaysWithinItsBound
test-arm64: setup
	cmake -S tests/arm64 -B $(ARM64_BUILD) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/tests/arm64/aarch64-linux-gnu.cmake
	cmake --build $(ARM64_BUILD) -j $(JOBS)
	cd $(ARM64_BUILD) && ctest --output-on-failure -j $(JOBS) -E '$(ARM64_SKIP)'

bench: build
	$(BUILD)/bench/digits_bench

screenshots: build
	./scripts/screenshot $(BUILD) shot docs/start.png \
	  train screen docs/train.png ok digit 3 test shot docs/test.png chart shot docs/chart3d.png \
	  chart drag 5 28 36 240 drag 5 28 60 240 hover 70 110 chartshot docs/zoom.png

setup:
	./scripts/setup

build: setup
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

build-asan: setup
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDIGITS_SANITIZE=ON -DDIGITS_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(ARM64_BUILD)
