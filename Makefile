# The two commands: `make demo` and `make test`.
MAKEFLAGS += --no-print-directory
NATIVE := build/native
WIN32 := build/win32
WIN64 := build/win64
FUZZ := build/fuzz
BENCH := build/bench
JOBS ?= 2
# Set WIN_TARGETS=qvrsetup to build only the programs in the two Windows trees.
WIN_TARGETS ?=
FUZZ_SECONDS ?= 60

.PHONY: all deps build native win32 win64 fuzz test test-native test-wine test-fuzz bench dist test-dist demo demo-install wine-timings screenshots clean

all: build

deps:
	@tools/install-deps.sh

native: deps
	@cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=Debug >/dev/null
	@cmake --build $(NATIVE) -j$(JOBS)

win32: deps
	@cmake -S . -B $(WIN32) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(WIN32) -j$(JOBS) $(WIN_TARGETS:%=--target %)

win64: deps
	@cmake -S . -B $(WIN64) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(WIN64) -j$(JOBS) $(WIN_TARGETS:%=--target %)

build: native win32 win64

test-native: native
	cd $(NATIVE) && ctest --output-on-failure -j$(JOBS)

# Each case has a prefix of its own, so the cases of a tree run side by side.
test-wine: native win32 win64
	cd $(WIN32) && ctest --output-on-failure -j$(JOBS)
	cd $(WIN64) && ctest --output-on-failure -j$(JOBS)

fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ) -DQVR_FUZZ=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
	@cmake --build $(FUZZ) -j$(JOBS)

# Each target runs for a bounded time on a scratch copy of its corpus.
test-fuzz: fuzz
	@tools/run-fuzz.sh $(FUZZ) $(FUZZ_SECONDS) command_line inf_reader

# Benchmarks print their figures; they are not part of the tests.
bench: deps
	@cmake -S . -B $(BENCH) -DQVR_BENCH=ON -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(BENCH) -j$(JOBS)
	@for b in $(BENCH)/*_bench; do echo "== $$b"; $$b; done

# Pictures of the real dialogs under Wine on Xvfb, into docs/screenshots.
screenshots: win32
	@tools/screenshots.sh

# The real program's timings under Wine.
wine-timings: win32 win64
	@tools/wine-timings.sh

# Signed when given SIGN_CERT and SIGN_KEY (README, "Releasing").
dist: win32 win64
	@SIGN_CERT="$(SIGN_CERT)" SIGN_KEY="$(SIGN_KEY)" SIGN_PASS_FILE="$(SIGN_PASS_FILE)" \
	  SIGN_TIMESTAMP_URL="$(SIGN_TIMESTAMP_URL)" SIGN_URL="$(SIGN_URL)" tools/dist.sh

test-dist: dist
	@python3 tests/dist/check_dist.py dist/qvrsetup-$$(cat build/win32/version.txt).zip
	@python3 tests/dist/check_release.py dist
	@tests/dist/signing_check.sh
	@tests/dist/two_clones_check.sh

test: test-native test-wine test-fuzz test-dist

demo: win32 win64
	@tools/demo.sh update

demo-install: win32 win64
	@tools/demo.sh install

clean:
	rm -rf build dist
