# Thin front for CMake. `make` builds, `make run` runs on the loopback device,
# `make test` builds and runs every test (plain and sanitized builds).
BUILD ?= build
ASAN_BUILD ?= $(BUILD)-asan
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
ifeq ($(CI),true)
CMAKE_FLAGS += -DCOMTERM_WERROR=ON
endif
ARGS ?=

.PHONY: all run test test-plain test-asan windows test-windows bench clean

all:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCOMTERM_TESTS=ON $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

run:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD) -j $(JOBS) --target comterm
	$(BUILD)/comterm $(if $(ARGS),$(ARGS),--device=loop://)

test: test-plain test-asan

test-plain: all
	ctest --test-dir $(BUILD) --output-on-failure --no-tests=error -j $(JOBS)

test-asan:
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DCOMTERM_SANITIZE=ON -DCOMTERM_TESTS=ON $(CMAKE_FLAGS) >/dev/null
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ctest --test-dir $(ASAN_BUILD) --output-on-failure --no-tests=error -j $(JOBS)

# Cross-builds the Windows executables with MinGW-w64 (32-bit and x86-64).
windows:
	cmake -S . -B $(BUILD)-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release -DCOMTERM_WERROR=ON >/dev/null
	cmake --build $(BUILD)-win32 -j $(JOBS) --target comterm
	cmake -S . -B $(BUILD)-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release -DCOMTERM_WERROR=ON >/dev/null
	cmake --build $(BUILD)-win64 -j $(JOBS) --target comterm

# The Windows end-to-end suite, on each build in turn: its console in tmux, its COM ports
# on pseudo-terminals, its aids built for its own architecture. The test aids and the wine
# prefix live in the build tree. A machine that cannot run 32-bit programs runs no case of
# the i686 build (the suite says so and ends with 77), which is no failure here.
test-windows: windows
	bash tests/windows/run_suite.sh $(BUILD)-win64/comterm.exe $(BUILD)-win64/wine-suite
	bash tests/windows/run_suite.sh $(BUILD)-win32/comterm.exe $(BUILD)-win32/wine-suite || test $$? -eq 77

# Benchmarks: not part of the tests; prints a table of figures.
bench: all
	bash bench/run $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(BUILD)-win32 $(BUILD)-win64
