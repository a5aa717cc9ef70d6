# Thin front for CMake. `make` builds, `make run` runs on the loopback device,
# `make test` builds and runs every test (plain and sanitized builds). Each first installs
# the Debian packages it needs (as root), or prints the apt-get line that does.
BUILD ?= build
ASAN_BUILD ?= $(BUILD)-asan
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
ifeq ($(CI),true)
CMAKE_FLAGS += -DCOMTERM_WERROR=ON
endif
ARGS ?=
PREFIX ?= /usr/local
DESTDIR ?=

# The Debian packages the build and the tests need.
BUILD_PACKAGES ?= cmake make g++
TEST_PACKAGES ?= $(BUILD_PACKAGES) libgtest-dev libgmock-dev tmux groff-base ser2net
NEED_PACKAGES = bash tools/need_packages

.PHONY: all run test test-plain test-asan test-packages windows test-windows install deb bench clean

test-packages:
	@$(NEED_PACKAGES) $(TEST_PACKAGES)

all: test-packages
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCOMTERM_TESTS=ON $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

run:
	@$(NEED_PACKAGES) $(BUILD_PACKAGES)
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD) -j $(JOBS) --target comterm
	$(BUILD)/comterm $(if $(ARGS),$(ARGS),--device=loop://)

test: test-plain test-asan

test-plain: all
	ctest --test-dir $(BUILD) --output-on-failure --no-tests=error -j $(JOBS)

test-asan: test-packages
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

# Installs the program and its manual page under $(PREFIX) (staged under $(DESTDIR)).
install:
	@$(NEED_PACKAGES) $(BUILD_PACKAGES)
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD) -j $(JOBS) --target comterm
	DESTDIR=$(DESTDIR) cmake --install $(BUILD) --prefix $(PREFIX)

# The Debian package, $(BUILD)/comterm_VERSION_ARCH.deb (dpkg-shlibdeps finds its
# dependencies).
deb:
	@$(NEED_PACKAGES) $(BUILD_PACKAGES) dpkg-dev
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD) -j $(JOBS) --target comterm
	cd $(BUILD) && cpack -G DEB

# Benchmarks: not part of the tests; prints a table of figures.
bench: all
	bash bench/run $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(BUILD)-win32 $(BUILD)-win64
