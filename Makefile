# The two commands a new machine needs: `make run` and `make test`.
# Each installs whatever is missing first (Debian and Ubuntu), then builds.

BUILD      ?= build
TEST_BUILD ?= build-test
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
MAKEFLAGS  += --no-print-directory

# Packages to build; the extra ones to run the window, and to test it.
BUILD_PACKAGES = g++ make cmake pkg-config qt6-base-dev libgl-dev
RUN_PACKAGES   = fonts-noto-cjk
TEST_PACKAGES  = libgtest-dev libxcb1-dev xvfb xdotool fonts-noto-cjk locales clang-format \
                 openbox at-spi2-core python3-pyatspi dbus-x11
# Cross-building the Windows program, and running its tests under Wine.
MINGW_PACKAGES   = g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
WINDOWS_PACKAGES = $(MINGW_PACKAGES) googletest wine64
WINE ?= /usr/lib/wine/wine64
# Making the Debian package, and checking it (also part of `make test`).
PACKAGE_BUILD    ?= build-package
PACKAGE_PACKAGES = dpkg-dev file
CHECK_PACKAGES   = lintian appstream desktop-file-utils man-db icoutils python3
# Fuzzing the received-text decoder and the ports file: libFuzzer comes with
# clang's runtime package, which clang only recommends. FUZZ_SECONDS is per
# target (the targets run at once); `make test` fuzzes for FUZZ_TEST_SECONDS.
FUZZ_BUILD        ?= build-fuzz
FUZZ_SECONDS      ?= 300
FUZZ_TEST_SECONDS ?= 15
FUZZ_PACKAGES      = cmake clang-14 libclang-rt-14-dev

.PHONY: all deps deps-run deps-test build run test windows test-windows package test-package \
	test-install bench bench-windows fuzz clean

all: build

deps:
	@./tools/install-missing $(BUILD_PACKAGES)

deps-run: deps
	@./tools/install-missing $(RUN_PACKAGES)

deps-test: deps
	@./tools/install-missing $(TEST_PACKAGES)

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCOMTERM_TESTS=OFF
	cmake --build $(BUILD) -j $(JOBS)

run: deps-run build
	./$(BUILD)/comterm

test: deps-test
	cmake -S . -B $(TEST_BUILD) -DCMAKE_BUILD_TYPE=Debug -DCOMTERM_WERROR=ON -DCOMTERM_SANITIZE=ON
	cmake --build $(TEST_BUILD) -j $(JOBS)
	cd $(TEST_BUILD) && { QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) \
	    --output-log ctest.log; status=$$?; echo "Slowest tests (seconds):"; \
	    awk '/Test +#[0-9]+:/ { s = $$(NF-2); sub(/^[.*]+/, "", s); \
	        printf "%8.2f  %s %s\n", $$(NF-1), $$4, s }' ctest.log | sort -rn | head -5; \
	    exit $$status; }
	$(MAKE) fuzz FUZZ_SECONDS=$(FUZZ_TEST_SECONDS)
	$(MAKE) test-package

# The Windows program: one static comterm.exe per architecture, in
# build-windows-x86_64/ and build-windows-i686/, with the notices of the
# libraries linked into it beside it.
WINDOWS_CONFIG = -DCMAKE_BUILD_TYPE=MinSizeRel -DCOMTERM_WERROR=ON -DCOMTERM_GUI=ON
windows: deps
	@./tools/install-missing $(MINGW_PACKAGES)
	for arch in x86_64 i686; do \
	    cmake -S . -B build-windows-$$arch -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-$$arch.cmake \
	        $(WINDOWS_CONFIG) -DCOMTERM_TESTS=OFF && \
	    cmake --build build-windows-$$arch -j $(JOBS) --target comterm windows_notices || exit 1; \
	done

# The tests that drive the real comterm.exe: its window, its device map and
# its end with the user's session.
WINDOW_TESTS = tst_window_win32 tst_window_win32_send tst_window_win32_exit tst_window_win32_dpi \
	tst_device_map_win32 tst_end_session_win32 tst_window_win32_title
# Their runs: one of them again on three other screen sizes, and the device
# map again where the ANSI code page is UTF-8.
WINDOW_TEST_RUNS = $(WINDOW_TESTS) tst_window_win32_dpi_small_screen tst_window_win32_dpi_200 \
	tst_window_win32_dpi_short_screen tst_device_map_win32_utf8
space := $(subst ,, )
# The tests on Windows builds, under Wine: the serial operations' tests
# (64-bit, against pseudo-terminals, compared with the Linux run; 32-bit,
# built only: this kernel runs no 32-bit code), the text table on the code
# pages, and the window's tests, which drive the 64-bit comterm.exe on an
# Xvfb of their own in the zh_TW locale.
test-windows: deps-test
	@./tools/install-missing $(WINDOWS_PACKAGES)
	cmake -S . -B $(TEST_BUILD) -DCMAKE_BUILD_TYPE=Debug -DCOMTERM_WERROR=ON -DCOMTERM_SANITIZE=ON
	cmake --build $(TEST_BUILD) -j $(JOBS) --target tst_port wine_driver
	for arch in x86_64 i686; do \
	    cmake -S . -B build-windows-$$arch -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-$$arch.cmake \
	        $(WINDOWS_CONFIG) -DCOMTERM_TESTS=ON \
	        -DCOMTERM_WINE_DRIVER=$(CURDIR)/$(TEST_BUILD)/tests/wine_driver \
	        -DCOMTERM_WINE=$(WINE) && \
	    cmake --build build-windows-$$arch -j $(JOBS) --target tst_port tst_text $(WINDOW_TESTS) \
	        || exit 1; \
	done
	./tools/compare-platforms $(TEST_BUILD)/tests/tst_port -- \
	    $(TEST_BUILD)/tests/wine_driver $(WINE) build-windows-x86_64/wineprefix \
	    build-windows-x86_64/tests/tst_port.exe
	$(TEST_BUILD)/tests/wine_driver $(WINE) build-windows-x86_64/wineprefix \
	    build-windows-x86_64/tests/tst_text.exe
	cd build-windows-x86_64 && ctest -R '^($(subst $(space),|,$(WINDOW_TEST_RUNS)))$$' --output-on-failure

# The Debian package comterm_<version>_<arch>.deb in $(PACKAGE_BUILD), and
# the Windows zips there when the Windows executables have been built.
package: deps
	@./tools/install-missing $(PACKAGE_PACKAGES)
	cmake -S . -B $(PACKAGE_BUILD) -DCMAKE_BUILD_TYPE=Release -DCOMTERM_TESTS=OFF
	cmake --build $(PACKAGE_BUILD) -j $(JOBS)
	cd $(PACKAGE_BUILD) && cpack -G DEB
	./packaging/windows-zips $(PACKAGE_BUILD)

# The package's checks: validators, manual page, file list, dependencies, lintian.
test-package: package
	@./tools/install-missing $(CHECK_PACKAGES)
	./packaging/check-package $(PACKAGE_BUILD)

# Installs the package on this machine, starts the installed program under
# the process test, reads its manual page and purges it again (root or sudo;
# for CI machines).
test-install: deps-test package
	@./tools/install-missing $(CHECK_PACKAGES)
	cmake -S . -B $(TEST_BUILD) -DCMAKE_BUILD_TYPE=Debug -DCOMTERM_WERROR=ON -DCOMTERM_SANITIZE=ON
	cmake --build $(TEST_BUILD) -j $(JOBS) --target tst_process
	./packaging/check-package --install $(TEST_BUILD)/tests/tst_process $(PACKAGE_BUILD)

# Benchmarks of the serial operations on a pseudo-terminal (optimised build).
bench: deps-test
	@./tools/install-missing libbenchmark-dev
	cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DCOMTERM_BENCH=ON
	cmake --build build-bench -j $(JOBS) --target bench_serial
	./build-bench/bench/bench_serial --benchmark_out_format=console

# Figures of the Windows program: sizes and imported DLLs of both
# executables, and start-up time under Wine against Wine's own notepad.
bench-windows: deps-test windows
	@./tools/install-missing $(WINDOWS_PACKAGES) xvfb
	cmake -S . -B $(TEST_BUILD) -DCMAKE_BUILD_TYPE=Debug -DCOMTERM_WERROR=ON -DCOMTERM_SANITIZE=ON
	cmake --build $(TEST_BUILD) -j $(JOBS) --target wine_driver
	cmake -S . -B build-windows-x86_64 -DCOMTERM_BENCH=ON
	cmake --build build-windows-x86_64 -j $(JOBS) --target startup_win32
	WINE=$(WINE) DRIVER=$(TEST_BUILD)/tests/wine_driver ./bench/windows.sh

# The received-text decoder and the ports file under libFuzzer with ASan and
# UBSan (fuzz/), built with clang in its own folder; inputs it finds stay in
# $(FUZZ_BUILD)/corpus.
fuzz:
	@./tools/install-missing $(FUZZ_PACKAGES)
	cmake -S fuzz -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	./fuzz/run $(FUZZ_BUILD) $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD) $(TEST_BUILD) $(PACKAGE_BUILD) $(FUZZ_BUILD) build-bench build-windows-*
