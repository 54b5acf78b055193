# Two entry points (./run and ./test call them, installing make first where
# it is missing):
#   make run    installs what the program needs, builds the program alone in
#               build-run/ and starts it
#   make test   installs everything, builds, runs the whole suite headless,
#               then builds and runs it again under AddressSanitizer and
#               UndefinedBehaviorSanitizer, then the engine's suite on arm64
#               (make test-arm64: cross-built, run under qemu), then builds
#               the Debian package and checks what it installs, and last the
#               Windows build and its tests under Wine (make test-windows)
# for packagers:
#   make deb      builds the Debian package into build-deb/ and checks it with lintian
#   make windows  cross-builds the program for 64-bit Windows into
#                 build-windows/: the folder digits/, its zip and the installer
#                 (Qt for Windows is built once from Debian's source first:
#                 scripts/windows-qt)
# and one to run before changing platform code:
#   make test-pi  the whole program on arm64 Debian 12 (a Raspberry Pi), built,
#                 run and packaged in a cached arm64 root under qemu (scripts/test-pi)
BUILD      ?= build
RUN_BUILD  ?= build-run
ASAN_BUILD ?= build-asan
DEB_BUILD  ?= build-deb
ARM64_BUILD ?= build-arm64
WINDOWS_BUILD ?= build-windows
WINDOWS_TESTS ?= build-windows-tests
JOBS       ?= $(shell nproc)
CTEST       = QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)
# Leaks inside system libraries that the program cannot free: see the file.
SANITIZER_ENV = ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
                LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
                UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

.PHONY: run test test-arm64 test-pi windows test-windows setup setup-run setup-deb build build-run build-asan bench screenshots deb clean

run: build-run
	$(RUN_BUILD)/app/digits

test: build build-asan
	cd $(BUILD) && $(CTEST)
	cd $(ASAN_BUILD) && $(SANITIZER_ENV) $(CTEST)
	$(MAKE) test-arm64
	$(MAKE) deb && ./tests/package_test.sh $(DEB_BUILD)/digits_*.deb $(BUILD)/tests/wm_close
	$(MAKE) test-windows

# The engine and its tests cross-built for arm64, run under qemu-aarch64,
# which is some thirty times slower: without the two full extra runs and the
# check of x86-64's own exponential, which the native suite makes.
ARM64_SKIP = FastLearner.TwoOtherStartsAgreeForAFullRun|ExactnessChecks.ExponentialStaysWithinItsBound
test-arm64: setup
	cmake -S tests/arm64 -B $(ARM64_BUILD) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/tests/arm64/aarch64-linux-gnu.cmake
	cmake --build $(ARM64_BUILD) -j $(JOBS)
	cd $(ARM64_BUILD) && ctest --output-on-failure -j $(JOBS) -E '$(ARM64_SKIP)'

# The program for 64-bit Windows, cross-built with MinGW-w64 against the Qt
# that scripts/windows-qt builds (and keeps in ~/.cache/digits).
WINDOWS_TOOLCHAIN = $(CURDIR)/windows/x86_64-w64-mingw32.cmake
windows: setup
	qt=$$(./scripts/windows-qt) && \
	cmake -S . -B $(WINDOWS_BUILD) -DCMAKE_TOOLCHAIN_FILE=$(WINDOWS_TOOLCHAIN) \
	  -DDIGITS_WINDOWS_QT=$$qt -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
	  -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DDIGITS_BENCH=OFF && \
	cmake --build $(WINDOWS_BUILD) -j $(JOBS) --target digits && \
	./windows/package $(WINDOWS_BUILD) $$qt \
	  $$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' $(WINDOWS_BUILD)/CMakeCache.txt)

# The engine's suite cross-built for Windows and run under Wine, in a Wine
# prefix of its own: its server and services started first, apart from the
# tests (which ctest would otherwise wait for), and kept between them. Then
# the exps the sigmoids depended on to the last place, against glibc's; then
# the installer into a fresh prefix and the installed program's window on
# Xvfb.
WINE_TESTS_ENV = WINEPREFIX=$(CURDIR)/$(WINDOWS_TESTS)/wine WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
test-windows: windows
	cmake -S tests/windows -B $(WINDOWS_TESTS) -DCMAKE_TOOLCHAIN_FILE=$(WINDOWS_TOOLCHAIN)
	cmake --build $(WINDOWS_TESTS) -j $(JOBS)
	rm -rf $(WINDOWS_TESTS)/exp-last-place
	$(WINE_TESTS_ENV) wineserver -p 60
	$(WINE_TESTS_ENV) wine cmd /c exit >/dev/null 2>&1
	cd $(WINDOWS_TESTS) && ctest --output-on-failure -j $(JOBS)
	/usr/bin/python3 tests/windows/exp_against_glibc.py $(WINDOWS_TESTS)/exp-last-place
	./tests/windows/window_test.sh $(WINDOWS_BUILD)/digits-*-setup.exe

test-pi:
	./scripts/setup test pi
	./scripts/test-pi

bench: build
	$(BUILD)/bench/digits_bench

screenshots: build
	./scripts/screenshot $(BUILD) shot docs/start.png \
	  train screen docs/train.png ok digit 3 test shot docs/test.png chart shot docs/chart3d.png \
	  chart hover 200 150 chartshot docs/readout.png
	./scripts/screenshot $(BUILD) train ok view viewhover 291 116 viewshot docs/network.png
	# The designed run beside one from a zero-mean start with the slope rule
	# (chosen in the Learning section, then "New start"), and the view after it.
	./scripts/screenshot $(BUILD) train screen $(BUILD)/designed.png
	./scripts/screenshot $(BUILD) view viewclick 642 616 viewclick 793 616 viewclick 925 681 key Escape \
	  train screen $(BUILD)/converged.png ok digit 5 test view viewhover 435 181 viewshot docs/learning_view.png
	convert $(BUILD)/designed.png $(BUILD)/converged.png -background white -splice 16x0 +append -chop 16x0 +repage docs/learning.png

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
# repository. The copy names whoever builds it as the maintainer.
deb: setup-deb
	rm -rf $(DEB_BUILD) && mkdir -p $(DEB_BUILD)/src
	git ls-files -z --cached --others --exclude-standard | \
	  tar --null --files-from=- --ignore-failed-read -cf - | tar -xf - -C $(DEB_BUILD)/src
	./scripts/deb-maintainer $(DEB_BUILD)/src/debian
	cd $(DEB_BUILD)/src && DEB_BUILD_OPTIONS=parallel=$(JOBS) dpkg-buildpackage -b -us -uc
	lintian --fail-on error --display-info $(DEB_BUILD)/digits_*.changes

clean:
	rm -rf $(BUILD) $(RUN_BUILD) $(ASAN_BUILD) $(DEB_BUILD) $(ARM64_BUILD) $(WINDOWS_BUILD) $(WINDOWS_TESTS)
