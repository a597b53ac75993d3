# The two commands: `make demo` and `make test`.
NATIVE := build/native
WIN32 := build/win32
JOBS ?= 2

.PHONY: all deps build native win32 test test-native test-wine demo clean

all: build

deps:
	@tools/install-deps.sh

native: deps
	@cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=Debug >/dev/null
	@cmake --build $(NATIVE) -j$(JOBS)

win32: deps
	@cmake -S . -B $(WIN32) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(WIN32) -j$(JOBS)

build: native win32

test-native: native
	cd $(NATIVE) && ctest --output-on-failure -j$(JOBS)

test-wine: win32
	cd $(WIN32) && ctest --output-on-failure

test: test-native test-wine

demo: win32
	@tools/demo.sh

clean:
	rm -rf build dist
