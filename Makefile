# Entry points for people and CI. `make test` works on a fresh Debian machine:
# it installs what is missing, builds, and runs every test twice, plainly and
# under AddressSanitizer + UndefinedBehaviorSanitizer.

JOBS ?= $(shell nproc)
BUILD ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
WIN64_BUILD ?= build-win64
WIN32_BUILD ?= build-win32
FUZZ_TIME ?= 20
FUZZ_TARGETS = datapacket_fuzz filter_fuzz convert_fuzz printer_answer_fuzz journal_fuzz \
  printer_state_fuzz memory_ini_fuzz scenario_fuzz

.PHONY: all deps build demo test test-plain test-asan test-windows test-win64 build-win32 test-win32 test-win32-scenarios bench soak \
  fuzz format clean

all: build

deps:
	@./scripts/install-deps.sh

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

test-plain: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DZEL_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

test: test-plain test-asan test-windows

# The Windows build: cross-compiled with Debian's MinGW-w64; the tests run
# under wine (scripts/run-windows-tests.sh: each architecture through wine's
# own loader, in a private wine prefix, no display). The 64-bit tests run in
# full; the 32-bit build (the vendor library's own architecture, __stdcall
# entry points) is built, its exports checked, and its platform and scenario
# tests (the driver calling the simulated printer's DLL through its entry
# points) run where the machine runs 32-bit programs. Where wine is missing or
# cannot run, the tests are built and the make says in one line why they were
# not run. Third-party sources come from Debian's source packages.
# RUNS_32BIT=yes|no forces the answer of the 32-bit probe
# (scripts/runs-32bit.sh).
WINDOWS_TESTS = JOBS=$(JOBS) $(if $(RUNS_32BIT),RUNS_32BIT=$(RUNS_32BIT)) ./scripts/run-windows-tests.sh
test-windows: test-win64 test-win32-scenarios

test-win64: deps
	./scripts/windows-sources.sh $(WIN64_BUILD)/sources
	cmake -S . -B $(WIN64_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
	  -DCMAKE_BUILD_TYPE=Release -DZEL_WINDOWS_SOURCES=$(CURDIR)/$(WIN64_BUILD)/sources
	cmake --build $(WIN64_BUILD) -j $(JOBS)
	./scripts/check-windows-exports.sh $(WIN64_BUILD)/bin
	$(WINDOWS_TESTS) 64 $(WIN64_BUILD)

$(WIN32_BUILD)/CMakeCache.txt: | deps
	./scripts/windows-sources.sh $(WIN64_BUILD)/sources
	cmake -S . -B $(WIN32_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake \
	  -DCMAKE_BUILD_TYPE=Release -DZEL_WINDOWS_SOURCES=$(CURDIR)/$(WIN64_BUILD)/sources

# The 32-bit DLLs and programs, and their exports.
build-win32: deps $(WIN32_BUILD)/CMakeCache.txt
	cmake --build $(WIN32_BUILD) -j $(JOBS) --target zel01900 IBMFI32 sign_bema ecf ecf-printer
	./scripts/check-windows-exports.sh $(WIN32_BUILD)/bin

# The part of the 32-bit tests in `make test`: the platform's and the
# scenarios', under Debian's 32-bit wine (wine32:i386, which
# scripts/install-deps.sh installs where the machine runs 32-bit programs).
test-win32-scenarios: build-win32
	cmake --build $(WIN32_BUILD) -j $(JOBS) --target platform_tests scenario_tests
	$(WINDOWS_TESTS) 32 $(WIN32_BUILD) -E "_NOT_BUILT"

# Every 32-bit test under 32-bit wine. Not part of `make test`, for time.
test-win32: build-win32
	cmake --build $(WIN32_BUILD) -j $(JOBS)
	$(WINDOWS_TESTS) 32 $(WIN32_BUILD)

# The main job: a business day on the simulated printer, through the driver.
# Builds only what the demo runs (the host program, the driver and the
# simulated printer), not the test suites.
demo: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target ecf IBMFI32
	$(BUILD)/bin/ecf demo $(DEMO_ARGS)

bench: build
	@for b in $(BUILD)/bin/*_bench; do echo "== $$b"; $$b --benchmark_min_time=0.2; done

# A month of business with faults: 30 fiscal days of sales through the driver
# against the simulated printer, faults on about one vendor call in a hundred
# (fixed seed), once in one process and once with the host killed at random
# points. `make test` runs the same tests for 2 days.
SOAK_DAYS ?= 30
soak: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target scenario_tests IBMFI32
	ZEL_SOAK_DAYS=$(SOAK_DAYS) ZEL_BUILD_BIN=$(CURDIR)/$(BUILD)/bin \
	  $(BUILD)/bin/scenario_tests --gtest_filter='SoakTest.*'

# libFuzzer targets (clang, sanitizers on), each run for FUZZ_TIME seconds,
# starting from the seeds in tests/fuzz/corpus/<target>; what they find is
# kept in $(FUZZ_BUILD)/corpus/<target>. Not part of `make test`.
fuzz: deps
	@command -v clang++ >/dev/null || { echo "make fuzz needs clang (apt-get install clang)"; exit 1; }
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DZEL_FUZZ=ON -DZEL_SANITIZE=ON -DZEL_BENCH=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target $(FUZZ_TARGETS)
	@failed=""; for t in $(FUZZ_TARGETS); do \
	  echo "== $$t"; mkdir -p $(FUZZ_BUILD)/corpus/$$t; \
	  $(FUZZ_BUILD)/bin/$$t -max_total_time=$(FUZZ_TIME) -print_final_stats=1 \
	    -artifact_prefix=$(FUZZ_BUILD)/$$t- $(FUZZ_BUILD)/corpus/$$t \
	    $$(test -d tests/fuzz/corpus/$$t && echo tests/fuzz/corpus/$$t) || failed="$$failed $$t"; \
	done; \
	if [ -n "$$failed" ]; then echo "fuzz: failing input found by:$$failed (see $(FUZZ_BUILD)/*-crash-*)"; exit 1; fi

format:
	find include src emulator signer tools tests bench -name '*.h' -o -name '*.cc' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(WIN64_BUILD) $(WIN32_BUILD)
