# Entry points for people and CI. `make test` works on a fresh Debian machine:
# it installs what is missing, builds, and runs every test twice, plainly and
# under AddressSanitizer + UndefinedBehaviorSanitizer.

JOBS ?= $(shell nproc)
BUILD ?= build
ASAN_BUILD ?= build-asan

.PHONY: all deps build demo test test-plain test-asan bench format clean

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

test: test-plain test-asan

# The main job: a business day on the simulated printer, through the driver.
demo: build
	$(BUILD)/bin/ecf demo $(DEMO_ARGS)

bench: build
	@for b in $(BUILD)/bin/*_bench; do echo "== $$b"; $$b --benchmark_min_time=0.2; done

format:
	find include src emulator signer tools tests bench -name '*.h' -o -name '*.cc' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
