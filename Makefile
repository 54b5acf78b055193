# Two entry points (./run and ./test call them, installing make first where
# it is missing):
#   make run    installs what the program needs, builds the program alone in
#               build-run/ and starts it
#   make test   installs everything, builds, runs the whole suite headless,
#               then builds and runs it again under AddressSanitizer and
#               UndefinedBehaviorSanitizer, then the engine's suite on arm64
#               (make test-arm64: cross-built, run under qemu), then builds
#               the Debian package and checks what it installs
# one for packagers:
#   make deb    builds the Debian package into build-deb/ and checks it with lintian
# and one to run before changing platform code:
#   make test-pi  the whole program on arm64 Debian 12 (a Raspberry Pi), built,
#               run and packaged in a cached arm64 root under qemu (scripts/test-pi)
BUILD      ?= build
RUN_BUILD  ?= build-run
ASAN_BUILD ?= build-asan
DEB_BUILD  ?= build-deb
ARM64_BUILD ?= build-arm64
JOBS       ?= $(shell nproc)
CTEST       = QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)
# Leaks inside system libraries that the program cannot free: see the file.
SANITIZER_ENV = ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
                LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
                UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

.PHONY: run test test-arm64 test-pi setup setup-run setup-deb build build-run build-asan bench screenshots deb clean

run: build-run
	$(RUN_BUILD)/app/digits

test: build build-asan
	cd $(BUILD) && $(CTEST)
	cd $(ASAN_BUILD) && $(SANITIZER_ENV) $(CTEST)
	$(MAKE) test-arm64
	$(MAKE) deb && ./tests/package_test.sh $(DEB_BUILD)/digits_*.deb

# The engine and its tests cross-built for arm64, run under qemu-aarch64,
# which is some thirty times slower: without the two full extra runs and the
# check of x86-64's own exponential, which the native suite makes.
ARM64_SKIP = FastLearner.TwoOtherStartsAgreeForAFullRun|ExactnessChecks.ExponentialStaysWithinItsBound
test-arm64: setup
	cmake -S tests/arm64 -B $(ARM64_BUILD) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/tests/arm64/aarch64-linux-gnu.cmake
	cmake --build $(ARM64_BUILD) -j $(JOBS)
	cd $(ARM64_BUILD) && ctest --output-on-failure -j $(JOBS) -E '$(ARM64_SKIP)'

test-pi:
	./scripts/setup test pi
	./scripts/test-pi

bench: build
	$(BUILD)/bench/digits_bench

screenshots: build
	./scripts/screenshot $(BUILD) shot docs/start.png \
	  train screen docs/train.png ok digit 3 test shot docs/test.png chart shot docs/chart3d.png \
	  chart hover 200 150 chartshot docs/readout.png
	./scripts/screenshot $(BUILD) train ok view viewhover 155 130 viewshot docs/network.png

setup:
	./scripts/setup

setup-run:
	./scripts/setup run

# The package needs what the program needs and the packaging tools alone.
setup-deb:
	./scripts/setup run package

# The program without the tests and benchmarks: fewer packages to install,
# far less to compile.
build-run: setup-run
	cmake -S . -B $(RUN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF
	cmake --build $(RUN_BUILD) -j $(JOBS) --target digits

build: setup
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

build-asan: setup
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDIGITS_SANITIZE=ON -DDIGITS_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)

# dpkg-buildpackage leaves its results beside the source tree, so it builds a
# copy of the source (the files git tracks, and new ones it does not ignore)
# in $(DEB_BUILD)/src, and the package lands in $(DEB_BUILD), not outside the
# repository.
deb: setup-deb
	rm -rf $(DEB_BUILD) && mkdir -p $(DEB_BUILD)/src
	git ls-files -z --cached --others --exclude-standard | \
	  tar --null --files-from=- --ignore-failed-read -cf - | tar -xf - -C $(DEB_BUILD)/src
	cd $(DEB_BUILD)/src && DEB_BUILD_OPTIONS=parallel=$(JOBS) dpkg-buildpackage -b -us -uc
	lintian --fail-on error --display-info $(DEB_BUILD)/digits_*.changes

clean:
	rm -rf $(BUILD) $(RUN_BUILD) $(ASAN_BUILD) $(DEB_BUILD) $(ARM64_BUILD)
