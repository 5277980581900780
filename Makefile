# The two commands a newcomer needs: `make demo` and `make test`.
# Everything else builds on `make build`.

JOBS ?= $(shell nproc)
CMAKE_GEN := -G Ninja
LINUX_DIR := build
ASAN_DIR := build/asan
WIN64_DIR := build/win64
WIN32_DIR := build/win32
BENCH_DIR := build/bench
FUZZ_DIR := build/fuzz
FUZZ_SECONDS ?= 300

.PHONY: all deps build linux asan win64 win32 bridge test test-linux test-asan test-gui demo bench fuzz package clean

all: build

deps:
	@scripts/install-deps

$(LINUX_DIR)/build.ninja: | deps
	cmake -S . -B $(LINUX_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_WIN64_DIR=$(CURDIR)/$(WIN64_DIR)

linux: deps $(LINUX_DIR)/build.ninja
	cmake --build $(LINUX_DIR) -j $(JOBS)

asan: deps
	@test -f $(ASAN_DIR)/build.ninja || cmake -S . -B $(ASAN_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug \
	  -DQUILLON_SANITIZE=ON -DQUILLON_BENCH=OFF -DQUILLON_GUI_TESTS=OFF
	cmake --build $(ASAN_DIR) -j $(JOBS)

win64: deps
	@test -f $(WIN64_DIR)/build.ninja || cmake -S . -B $(WIN64_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake
	cmake --build $(WIN64_DIR) -j $(JOBS)

win32: deps
	@test -f $(WIN32_DIR)/build.ninja || cmake -S . -B $(WIN32_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
	cmake --build $(WIN32_DIR) -j $(JOBS)

build: linux win64 win32

# The USB bridge firmware: build/bridge/quillon-bridge.hex, for scripts/flash-bridge.
bridge: deps $(LINUX_DIR)/build.ninja
	cmake --build $(LINUX_DIR) --target bridge_firmware_size
	@echo "bridge: $(LINUX_DIR)/bridge/quillon-bridge.hex; flash it with scripts/flash-bridge DEVICE [uno|nano|nano-old]"

# Unit, integration and CLI tests; then the same under ASan+UBSan; then the
# Windows program end to end under Wine (needs the win64 build).
test: build asan
	ctest --test-dir $(LINUX_DIR) --output-on-failure -j $(JOBS) -LE gui
	ctest --test-dir $(ASAN_DIR) --output-on-failure -j $(JOBS) -LE gui
	ctest --test-dir $(LINUX_DIR) --output-on-failure -L gui

demo: linux
	@scripts/demo

bench: deps
	@test -f $(BENCH_DIR)/build.ninja || cmake -S . -B $(BENCH_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release \
	  -DQUILLON_TESTS=OFF
	cmake --build $(BENCH_DIR) -j $(JOBS)
	@for b in $(BENCH_DIR)/bin/bench_*; do echo "== $$b"; $$b || exit 1; done

# Builds only the fuzz targets with clang (their libraries are instrumented)
# and runs each for FUZZ_SECONDS.
fuzz: deps
	tests/fuzz/run_fuzz_smoke.sh $(CURDIR) $(CURDIR)/$(FUZZ_DIR) $(FUZZ_SECONDS)

package: build
	@scripts/package

clean:
	rm -rf build
