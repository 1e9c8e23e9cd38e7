# zipsfx: `make` builds both platforms, `make test` runs every test, `make demo` shows the main job.
# Each command first installs what a fresh Debian machine lacks (tools/setup.sh).

JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=Release

.PHONY: all deps native win32 win64 asan test unit-native unit-asan unit-wine e2e demo clean format

all: native win32

deps:
	@bash tools/setup.sh

native: deps
	@cmake -S . -B build/native $(CMAKE_FLAGS) >/dev/null
	@cmake --build build/native -j $(JOBS)

# The product. Its unit tests are built only where Wine can run 32-bit programs (elsewhere the
# 64-bit build below runs them).
win32: deps
	@tests=OFF; /usr/lib/wine/wine --version >/dev/null 2>&1 && tests=ON; \
	cmake -S . -B build/win32 $(CMAKE_FLAGS) -DZIPSFX_TESTS=$$tests \
	    -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/toolchain-i686-w64-mingw32.cmake >/dev/null
	@cmake --build build/win32 -j $(JOBS)

# The same sources for 64-bit Windows: what Wine runs where 32-bit code cannot run.
win64: deps
	@cmake -S . -B build/win64 $(CMAKE_FLAGS) \
	    -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/toolchain-x86_64-w64-mingw32.cmake >/dev/null
	@cmake --build build/win64 -j $(JOBS)

asan: deps
	@cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
	    -DZIPSFX_SANITIZE=ON >/dev/null
	@cmake --build build/asan -j $(JOBS)

test: all asan win64
	@bash tests/run-all.sh

demo: all win64
	@bash tools/demo.sh

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
