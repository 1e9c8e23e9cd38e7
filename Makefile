# zipsfx: `make` builds both platforms, `make test` runs every test, `make demo` shows the main job.
# `make deps` installs what a fresh Debian machine lacks (tools/setup.sh, the only step that runs
# apt-get); `make test` and `make demo` run it first, the build targets never do.

JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=Release
# How long `make fuzz` runs each fuzz target, in seconds (`make test` gives each 20).
FUZZ_SECONDS ?= 600

.PHONY: all deps native win32 win64 asan tsan i386 fuzz-build bench test fuzz demo format clean install dist

all: native win32

deps:
	@bash tools/setup.sh

native:
	@cmake -S . -B build/native $(CMAKE_FLAGS) >/dev/null
	@cmake --build build/native -j $(JOBS)

# The product. Its unit tests are built only where Wine can run 32-bit programs (elsewhere the
# 64-bit build below runs them).
# A folder first configured with the posix threading flavour keeps that compiler (CMake does not
# look for it again), and its stub links the pthreads emulation: configure such a folder afresh.
win32:
	@tests=OFF; /usr/lib/wine/wine --version >/dev/null 2>&1 && tests=ON; \
	fresh=; grep -qs '^CMAKE_CXX_COMPILER:.*-posix$$' build/win32/CMakeCache.txt && fresh=--fresh; \
	cmake $$fresh -S . -B build/win32 $(CMAKE_FLAGS) -DZIPSFX_TESTS=$$tests \
	    -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/toolchain-i686-w64-mingw32.cmake >/dev/null
	@cmake --build build/win32 -j $(JOBS)

# The same sources for 64-bit Windows: what Wine runs where 32-bit code cannot run.
win64:
	@cmake -S . -B build/win64 $(CMAKE_FLAGS) \
	    -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/toolchain-x86_64-w64-mingw32.cmake >/dev/null
	@cmake --build build/win64 -j $(JOBS)

asan:
	@cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
	    -DZIPSFX_SANITIZE=ON >/dev/null
	@cmake --build build/asan -j $(JOBS)

# ThreadSanitizer: only the test programs of the threads (tests/CMakeLists.txt, tsan_tests).
tsan:
	@cmake -S . -B build/tsan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
	    -DZIPSFX_TSAN=ON >/dev/null
	@cmake --build build/tsan -j $(JOBS) --target tsan_tests

# 32-bit x86 Linux (g++ -m32): the libraries, the tool, the POSIX stub and the unit tests with a
# 32-bit size_t and long, as in the 32-bit Windows product; `make test` runs them under qemu-i386.
i386:
	@cmake -S . -B build/i386 $(CMAKE_FLAGS) \
	    -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/toolchain-i386-linux-gnu.cmake >/dev/null
	@cmake --build build/i386 -j $(JOBS)

# The libFuzzer targets (tests/fuzz/): clang, everything instrumented, no unit tests.
fuzz-build:
	@cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
	    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DZIPSFX_FUZZ=ON \
	    -DZIPSFX_TESTS=OFF >/dev/null
	@cmake --build build/fuzz -j $(JOBS) --target fuzzers

# bench/inflate_bench: the Deflate decoder against zlib and libdeflate (needs libdeflate-dev).
bench:
	@cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DZIPSFX_BENCH=ON \
	    -DZIPSFX_TESTS=OFF >/dev/null
	@cmake --build build/bench -j $(JOBS) --target inflate_bench

# The builds two at a time, each with JOBS compilers: a configure step or a link runs on one core,
# and the other build's compilers take the other.
test: deps
	@$(MAKE) --no-print-directory -j2 all asan tsan win64 i386 fuzz-build
	@bash tests/run-all.sh

fuzz: fuzz-build
	@bash tests/fuzz/run.sh --all $(FUZZ_SECONDS)

demo: deps
	@$(MAKE) --no-print-directory all win64
	@bash tools/demo.sh

# Installs the tool, its three stubs, the README, the licence and the manual page under PREFIX;
# DESTDIR, when given, is put in front of every path (a staged install).
PREFIX ?= /usr/local
install:
	@$(MAKE) --no-print-directory all win64
	@DESTDIR="$(DESTDIR)" cmake --install build/native --prefix "$(PREFIX)" --strip

# The release files in build/dist: the Debian package, the Linux tarball and the Windows zip.
dist:
	@$(MAKE) --no-print-directory all win64
	@cd build/native && cpack

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
