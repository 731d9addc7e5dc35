# Front door for people and CI. Everything real lives in CMake; this file
# only picks build folders and flags.
JOBS      ?= $(shell nproc 2>/dev/null || echo 2)
RELEASE   := build/release
SANITIZE  := build/sanitize
CMAKE_GEN := -G Ninja -DKESTRIN_WERROR=ON
FUZZ_RUNS ?= 2000

.PHONY: all deps kestrin demo test test-unit fuzz-smoke test-sanitize bench format clean

all: kestrin

deps:
	@./scripts/install-deps.sh

$(RELEASE)/build.ninja: | deps
	cmake -S . -B $(RELEASE) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo

kestrin: $(RELEASE)/build.ninja
	ninja -C $(RELEASE) -j$(JOBS) kestrin

# Builds the demo project into a standalone game and plays it.
demo: kestrin
	$(RELEASE)/kestrin build examples/demo -o $(RELEASE)/demo
	./scripts/play-demo.sh $(RELEASE)/demo

test-unit: $(RELEASE)/build.ninja
	ninja -C $(RELEASE) -j$(JOBS)
	ctest --test-dir $(RELEASE) -j$(JOBS) --output-on-failure

$(SANITIZE)/build.ninja: | deps
	CC=clang CXX=clang++ cmake -S . -B $(SANITIZE) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug \
	    -DKESTRIN_SANITIZE=ON -DKESTRIN_FUZZ=ON

# Every fuzz target over its seed corpus plus a bounded number of mutations.
fuzz-smoke: $(SANITIZE)/build.ninja
	ninja -C $(SANITIZE) -j$(JOBS) fuzz_targets
	./scripts/run-fuzzers.sh $(SANITIZE)/fuzz $(FUZZ_RUNS)

# The README's test command: all tests, then the fuzz targets briefly.
test: test-unit fuzz-smoke

# The same tests under AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize: $(SANITIZE)/build.ninja
	ninja -C $(SANITIZE) -j$(JOBS)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	    ctest --test-dir $(SANITIZE) -j$(JOBS) --output-on-failure

bench: deps
	./scripts/install-deps.sh --bench
	cmake -S . -B $(RELEASE) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	ninja -C $(RELEASE) -j$(JOBS)
	./bench/run.sh $(RELEASE)

format:
	find runner script world graphics sound debug net platform tools tests bench fuzz \
	    -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf build
