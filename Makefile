# Every target sets up what it needs itself (Debian packages, MinGW libraries, Wine prefix); each
# step is idempotent, so a second run only checks.
#
#   make test     build native, win64 and win32; run all three test suites
#   make run      start the win64 installer under Wine
#   make dist     the shipped 32-bit installer in build/dist (PAYLOAD=archive.zip to carry another)
#   make bench    native build, then the benchmarks
#   make fuzz     fuzz the extraction engine for FUZZ_SECONDS (default 600); `make test` runs it
#                 for TEST_FUZZ_SECONDS (default 60)
#   make format / format-check / clean / distclean

SHELL := /bin/bash
.SHELLFLAGS := -euo pipefail -c

JOBS ?= 2
FUZZ_SECONDS ?= 600
TEST_FUZZ_SECONDS ?= 60
CTEST_ARGS ?=
NATIVE := build/native
WIN64 := build/win64
WIN32 := build/win32
DIST := build/dist
EXE := app/VorluneSetup.exe
TOOLCHAIN = $(CURDIR)/cmake/toolchain-$(1)-w64-mingw32.cmake
FORMAT_DIRS := app ui payload runtime tests bench fuzz tools

ifneq ($(strip $(PAYLOAD)),)
PAYLOAD_ABS := $(abspath $(PAYLOAD))
PAYLOAD_ARG := -DVORLUNE_PAYLOAD=$(PAYLOAD_ABS)
else
# Back to the default archive when a previous `make dist PAYLOAD=...` left another one cached.
PAYLOAD_ARG := -UVORLUNE_PAYLOAD
endif

.PHONY: all setup deps-win64 deps-win32 wine-prefix native win64 win32 test run dist bench fuzz \
	format format-check clean distclean

all: native win64 win32

setup:
	tools/setup-deps.sh

deps-win64: setup
	tools/build-mingw-deps.sh x86_64-w64-mingw32

deps-win32: setup
	tools/build-mingw-deps.sh i686-w64-mingw32

wine-prefix: setup
	tools/wine-prefix.sh

native: setup
	cmake -S . -B $(NATIVE) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build $(NATIVE) -j $(JOBS)

# The Windows builds run generator tools from the native build.
win64: native deps-win64
	cmake -S . -B $(WIN64) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_TOOLCHAIN_FILE=$(call TOOLCHAIN,x86_64) \
	  -DVORLUNE_HOST_TOOLS_DIR=$(CURDIR)/$(NATIVE)/tools >/dev/null
	cmake --build $(WIN64) -j $(JOBS)

win32: native deps-win32
	@if [ -n "$(PAYLOAD_ABS)" ] && [ ! -f "$(PAYLOAD_ABS)" ]; then \
	  echo "PAYLOAD: no such file: $(PAYLOAD_ABS)" >&2; exit 1; fi
	cmake -S . -B $(WIN32) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=$(call TOOLCHAIN,i686) \
	  -DVORLUNE_HOST_TOOLS_DIR=$(CURDIR)/$(NATIVE)/tools $(PAYLOAD_ARG) >/dev/null
	cmake --build $(WIN32) -j $(JOBS)

# All three suites run even when one fails; the target fails if any did.
test: native win64 win32 wine-prefix
	@fail=0; \
	echo "== native tests"; \
	ctest --test-dir $(NATIVE) --output-on-failure $(CTEST_ARGS) || fail=1; \
	echo "== fuzzing the extraction engine ($(TEST_FUZZ_SECONDS) s)"; \
	tools/fuzz.sh $(TEST_FUZZ_SECONDS) || fail=1; \
	echo "== win64 tests (Wine)"; \
	tools/with-display.sh ctest --test-dir $(WIN64) --output-on-failure $(CTEST_ARGS) || fail=1; \
	echo "== win32 checks"; \
	ctest --test-dir $(WIN32) --output-on-failure $(CTEST_ARGS) || fail=1; \
	echo "== formatting"; \
	$(MAKE) --no-print-directory format-check || fail=1; \
	if [ $$fail = 0 ]; then echo "all tests passed"; else echo "TESTS FAILED" >&2; fi; \
	exit $$fail

run: win64 wine-prefix
	@if [ -n "$${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then \
	  tools/wine-run.sh $(WIN64)/$(EXE); \
	elif [ -x tools/run-headless.sh ]; then \
	  tools/run-headless.sh $(WIN64)/$(EXE); \
	else \
	  tools/with-display.sh tools/wine-run.sh $(WIN64)/$(EXE); \
	fi

dist: win32
	mkdir -p $(DIST)
	cp $(WIN32)/$(EXE) $(DIST)/VorluneSetup.exe
	@echo "$(CURDIR)/$(DIST)/VorluneSetup.exe $$(stat -c %s $(DIST)/VorluneSetup.exe) bytes"

bench: native
	@if [ -x $(NATIVE)/bench/run-bench ]; then \
	  $(NATIVE)/bench/run-bench; \
	else \
	  echo "no benchmarks built ($(NATIVE)/bench/run-bench missing)"; \
	fi

# clang with libFuzzer and the sanitizers, in build/fuzz; minizip instrumented from the sources
# that deps-win64 unpacks.
fuzz: setup deps-win64
	tools/fuzz.sh $(FUZZ_SECONDS)

FORMAT_FILES = $(shell find $(FORMAT_DIRS) -type f \( -name '*.cpp' -o -name '*.h' \) 2>/dev/null)

format:
	@$(if $(FORMAT_FILES),clang-format -i $(FORMAT_FILES),true)

format-check:
	@$(if $(FORMAT_FILES),clang-format --dry-run --Werror $(FORMAT_FILES),true)

clean:
	rm -rf $(NATIVE) $(WIN64) $(WIN32) $(DIST)

# Also the MinGW libraries, their sources and the Wine prefix.
distclean:
	rm -rf build
